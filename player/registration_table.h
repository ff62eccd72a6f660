#pragma once

// The registry entries that make the player load Tunewell.dll as a UI plug-in, as plain data:
// DllRegisterServer writes them, DllUnregisterServer removes the keys they own, and the
// installer's rows are generated from them (tunewell_registry_rows prints them). Portable, so
// that a build machine of any kind can read it: texts are ASCII, and the module's file, which
// only the installed system knows, stands as a placeholder.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tunewell::registration {

enum class Root { kClassesRoot, kLocalMachine };

// Placeholders in an entry's text: the module's full path, and its file name.
inline constexpr std::string_view kModulePath = "[ModulePath]";
inline constexpr std::string_view kModuleFile = "[ModuleFile]";

struct Entry {
  enum class Type { kText, kNumber };

  Root root;
  std::string_view key;   // below the root, separated by '\'
  std::string_view name;  // "" for the key's default value
  Type type;
  std::string_view text;  // a kText value (REG_SZ), placeholders and all
  uint32_t number;        // a kNumber value (REG_DWORD)
};

// Every entry, in the order they are written.
std::span<const Entry> Entries();

// The keys the entries own: each entry's key that lies below no other entry's key, in table
// order. Registering deletes them, with everything below, before it writes; unregistering
// deletes them.
struct OwnedKey {
  Root root;
  std::string_view key;
};
std::vector<OwnedKey> OwnedKeys();

// "HKCR" or "HKLM".
std::string_view RootName(Root root);

}  // namespace tunewell::registration
