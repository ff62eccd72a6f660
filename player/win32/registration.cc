// DllRegisterServer and DllUnregisterServer: the class key and the player's UI plug-in entry.

#include <shlwapi.h>

#include <string>
#include <vector>

#include "player/win32/module.h"
#include "player/win32/plugin_ui.h"

namespace tunewell {

namespace {

constexpr wchar_t kPluginsKey[] = L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\";
// Background plug-in, has a property page, switched on when installed.
constexpr DWORD kCapabilities = 0xC0000001;

std::wstring ClassKey() { return std::wstring(L"CLSID\\") + kClsidCadenzaText; }
std::wstring PluginKey() { return std::wstring(kPluginsKey) + kClsidCadenzaText; }

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(module::Handle(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return L"";
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

class ScopedKey {
 public:
  ScopedKey() = default;
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ~ScopedKey() {
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  HKEY* Out() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

// Removes `path` and everything below it; a key that is not there is fine. (Not RegDeleteTreeW:
// Windows XP has none.)
LONG DeleteTree(HKEY root, const std::wstring& path) {
  const LONG result = ::SHDeleteKeyW(root, path.c_str());
  return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

LONG SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
  return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// A fresh key: whatever an earlier registration left below it goes first.
LONG CreateFresh(HKEY root, const std::wstring& path, ScopedKey* key) {
  if (const LONG result = DeleteTree(root, path); result != ERROR_SUCCESS) return result;
  return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key->Out(),
                           nullptr);
}

LONG Register() {
  const std::wstring path = ModulePath();
  if (path.empty()) return static_cast<LONG>(::GetLastError());
  ScopedKey class_key, server_key, plugin_key;
  LONG r = CreateFresh(HKEY_CLASSES_ROOT, ClassKey(), &class_key);
  if (r == ERROR_SUCCESS) r = SetText(class_key.get(), nullptr, L"Cadenza Class");
  if (r == ERROR_SUCCESS) {
    r = ::RegCreateKeyExW(class_key.get(), L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr,
                          server_key.Out(), nullptr);
  }
  if (r == ERROR_SUCCESS) r = SetText(server_key.get(), nullptr, path);
  if (r == ERROR_SUCCESS) r = SetText(server_key.get(), L"ThreadingModel", L"Apartment");
  if (r != ERROR_SUCCESS) return r;

  // The player resolves res:// by file name, so the entry names the file as it is installed.
  const std::wstring file = path.substr(path.find_last_of(L"\\/") + 1);
  r = CreateFresh(HKEY_LOCAL_MACHINE, PluginKey(), &plugin_key);
  if (r == ERROR_SUCCESS) {
    r = SetText(plugin_key.get(), L"FriendlyName", L"res://" + file + L"/RT_STRING/#102");
  }
  if (r == ERROR_SUCCESS) {
    r = SetText(plugin_key.get(), L"Description", L"res://" + file + L"/RT_STRING/#103");
  }
  if (r == ERROR_SUCCESS) {
    r = ::RegSetValueExW(plugin_key.get(), L"Capabilities", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&kCapabilities), sizeof kCapabilities);
  }
  return r;
}

LONG Unregister() {
  const LONG r = DeleteTree(HKEY_CLASSES_ROOT, ClassKey());
  const LONG s = DeleteTree(HKEY_LOCAL_MACHINE, PluginKey());
  return r != ERROR_SUCCESS ? r : s;
}

// Tells a running player to look at its plug-ins again, whatever the outcome.
HRESULT Announce(LONG result) {
  const UINT message = ::RegisterWindowMessageA("WMPlayer_PluginAddRemove");
  if (message != 0) ::PostMessageA(HWND_BROADCAST, message, 0, 0);
  return HRESULT_FROM_WIN32(static_cast<DWORD>(result));
}

}  // namespace

}  // namespace tunewell

STDAPI DllRegisterServer() {
  try {
    const LONG result = tunewell::Register();
    // Half an entry would point the player at a class it cannot create.
    if (result != ERROR_SUCCESS) tunewell::Unregister();
    return tunewell::Announce(result);
  } catch (...) {
    return tunewell::Announce(ERROR_OUTOFMEMORY);
  }
}

STDAPI DllUnregisterServer() {
  try {
    return tunewell::Announce(tunewell::Unregister());
  } catch (...) {
    return tunewell::Announce(ERROR_OUTOFMEMORY);
  }
}
