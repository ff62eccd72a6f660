// DllRegisterServer and DllUnregisterServer: the registration table written and removed, with
// calls that Windows XP has.

#include <shlwapi.h>

#include <string>
#include <string_view>

#include "player/registration_table.h"
#include "player/win32/module.h"
#include "win32kit/boundary.h"
#include "win32kit/module_path.h"
#include "win32kit/scoped_key.h"

namespace tunewell {

namespace {

using registration::Entry;

HKEY RootKey(registration::Root root) {
  return root == registration::Root::kClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
}

HRESULT FromWin32(LONG result) { return HRESULT_FROM_WIN32(static_cast<DWORD>(result)); }

// The table's texts are ASCII.
std::wstring Wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

void ReplaceAll(std::wstring* text, std::string_view placeholder, const std::wstring& value) {
  const std::wstring wide = Wide(placeholder);
  for (size_t at = text->find(wide); at != std::wstring::npos;
       at = text->find(wide, at + value.size())) {
    text->replace(at, wide.size(), value);
  }
}

// Removes `path` below `parent` and everything below it; a key that is not there is fine.
// (RegDeleteTreeW came after XP; SHDeleteKeyW is there from Windows 2000 on.)
LONG DeleteKeyTree(HKEY parent, const std::wstring& path) {
  const LONG r = static_cast<LONG>(::SHDeleteKeyW(parent, path.c_str()));
  return r == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : r;
}

LONG Write(const Entry& entry, const std::wstring& module_path, const std::wstring& module_file) {
  HKEY created = nullptr;
  const LONG r = ::RegCreateKeyExW(RootKey(entry.root), Wide(entry.key).c_str(), 0, nullptr, 0,
                                   KEY_SET_VALUE, nullptr, &created, nullptr);
  if (r != ERROR_SUCCESS) return r;
  const ScopedKey key(created);
  const std::wstring name = Wide(entry.name);
  const wchar_t* value_name = name.empty() ? nullptr : name.c_str();
  if (entry.type == Entry::Type::kNumber) {
    const DWORD number = entry.number;
    return ::RegSetValueExW(key.get(), value_name, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&number), sizeof number);
  }
  std::wstring text = Wide(entry.text);
  ReplaceAll(&text, registration::kModulePath, module_path);
  ReplaceAll(&text, registration::kModuleFile, module_file);
  return ::RegSetValueExW(key.get(), value_name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Deletes every owned key, whatever fails; the first failure.
LONG Unregister() {
  LONG first = ERROR_SUCCESS;
  for (const registration::OwnedKey& owned : registration::OwnedKeys()) {
    const LONG r = DeleteKeyTree(RootKey(owned.root), Wide(owned.key));
    if (first == ERROR_SUCCESS) first = r;
  }
  return first;
}

LONG Register() {
  const std::wstring path = ModulePath(module::Handle());
  if (path.empty()) return static_cast<LONG>(::GetLastError());
  const std::wstring file = path.substr(path.find_last_of(L"\\/") + 1);
  // Fresh keys: whatever an earlier registration left below them goes first.
  if (const LONG r = Unregister(); r != ERROR_SUCCESS) return r;
  for (const Entry& entry : registration::Entries()) {
    if (const LONG r = Write(entry, path, file); r != ERROR_SUCCESS) return r;
  }
  return ERROR_SUCCESS;
}

// Tells a running player to look at its plug-ins again, whatever the outcome.
HRESULT Announce(HRESULT result) {
  const UINT message = ::RegisterWindowMessageA("WMPlayer_PluginAddRemove");
  if (message != 0) ::PostMessageA(HWND_BROADCAST, message, 0, 0);
  return result;
}

}  // namespace

}  // namespace tunewell

STDAPI DllRegisterServer() {
  using namespace tunewell;
  const HRESULT result = ComEntry([] { return FromWin32(Register()); });
  // Half an entry would point the player at a class it cannot create.
  if (FAILED(result)) ComEntry([] { return FromWin32(Unregister()); });
  return Announce(result);
}

STDAPI DllUnregisterServer() {
  using namespace tunewell;
  return Announce(ComEntry([] { return FromWin32(Unregister()); }));
}
