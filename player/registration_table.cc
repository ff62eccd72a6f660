#include "player/registration_table.h"

#include <algorithm>

namespace tunewell::registration {

namespace {

// The plug-in's class (kClsidCadenza), spelled into the keys below.
#define TUNEWELL_CLASS_ID "{DAE3EFF7-DE72-47E7-943B-941D7C20878C}"
constexpr std::string_view kClassKey = "CLSID\\" TUNEWELL_CLASS_ID;
constexpr std::string_view kServerKey = "CLSID\\" TUNEWELL_CLASS_ID "\\InprocServer32";
constexpr std::string_view kPluginKey =
    "SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\" TUNEWELL_CLASS_ID;
#undef TUNEWELL_CLASS_ID

// Background plug-in, has a property page, switched on when installed.
constexpr uint32_t kCapabilities = 0xC0000001;

constexpr Entry Text(Root root, std::string_view key, std::string_view name,
                     std::string_view text) {
  return {root, key, name, Entry::Type::kText, text, 0};
}

constexpr Entry Number(Root root, std::string_view key, std::string_view name, uint32_t number) {
  return {root, key, name, Entry::Type::kNumber, "", number};
}

// The player resolves res:// by file name, so its entries name the file as it is installed.
constexpr Entry kEntries[] = {
    Text(Root::kClassesRoot, kClassKey, "", "Cadenza Class"),
    Text(Root::kClassesRoot, kServerKey, "", "[ModulePath]"),
    Text(Root::kClassesRoot, kServerKey, "ThreadingModel", "Apartment"),
    Text(Root::kLocalMachine, kPluginKey, "FriendlyName", "res://[ModuleFile]/RT_STRING/#102"),
    Text(Root::kLocalMachine, kPluginKey, "Description", "res://[ModuleFile]/RT_STRING/#103"),
    Number(Root::kLocalMachine, kPluginKey, "Capabilities", kCapabilities),
};

// True when `key` lies strictly below `ancestor`.
bool Below(std::string_view key, std::string_view ancestor) {
  return key.size() > ancestor.size() && key.starts_with(ancestor) && key[ancestor.size()] == '\\';
}

}  // namespace

std::span<const Entry> Entries() { return kEntries; }

std::vector<OwnedKey> OwnedKeys() {
  std::vector<OwnedKey> owned;
  for (const Entry& entry : kEntries) {
    const auto holds = [&](const Entry& other) {
      return other.root == entry.root && Below(entry.key, other.key);
    };
    const auto same = [&](const OwnedKey& key) {
      return key.root == entry.root && key.key == entry.key;
    };
    if (std::none_of(std::begin(kEntries), std::end(kEntries), holds) &&
        std::none_of(owned.begin(), owned.end(), same)) {
      owned.push_back({entry.root, entry.key});
    }
  }
  return owned;
}

std::string_view RootName(Root root) { return root == Root::kClassesRoot ? "HKCR" : "HKLM"; }

}  // namespace tunewell::registration
