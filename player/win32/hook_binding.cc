#include "player/win32/hook_binding.h"

#include <cctype>
#include <vector>

namespace tunewell {

std::wstring HookLibraryPath(HMODULE plugin) {
  // Long paths are fine here; the buffer grows until the whole path fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(plugin, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return L"";
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      const size_t slash = path.find_last_of(L"\\/");
      path.resize(slash == std::wstring::npos ? 0 : slash + 1);
      return path +
             std::wstring(hook::kLibraryName, hook::kLibraryName + sizeof hook::kLibraryName - 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

FARPROC HookBinding::BindHookExport(const char* name) {
  std::call_once(load_once_, [this] {
    const std::wstring path = HookLibraryPath(plugin_);
    if (!path.empty()) library_ = ::LoadLibraryW(path.c_str());
  });
  return library_ == nullptr ? nullptr : ::GetProcAddress(library_, name);
}

bool HookBinding::InstallHook(HookEventCallbackFn callback, void* context) {
  const auto install = Bind<InstallHookFn>("installhook");
  if (install == nullptr) return false;
  install(callback, context);
  return true;
}

std::string HookBinding::IPodRoot() {
  const auto get = Bind<GetIPodRootDirectoryFn>("GetIPodRootDirectory");
  if (get == nullptr) return "";
  char root[hook::kRootBufferSize] = {};
  if (get(root) == 0) return "";
  root[sizeof root - 1] = '\0';
  // Anything but a drive root would send the files somewhere else than an iPod.
  const bool drive_root = std::isalpha(static_cast<unsigned char>(root[0])) && root[1] == ':' &&
                          root[2] == '\\' && root[3] == '\0';
  return drive_root ? std::string(root) : "";
}

HWND HookBinding::SyncListView(int control_id) {
  const auto get = Bind<GetSyncListViewHWndFn>("GetSyncListViewHWnd");
  return get == nullptr ? nullptr : get(control_id);
}

HWND HookBinding::SyncSettingsDialog() {
  const auto get = Bind<GetSyncSettingsDlgHWndFn>("GetSyncSettingsDlgHWnd");
  return get == nullptr ? nullptr : get();
}

HWND HookBinding::DeviceCombo() {
  const auto get = Bind<GetDeviceSelectionComboWindowFn>("GetDeviceSelectionComboWindow");
  return get == nullptr ? nullptr : get();
}

void HookBinding::StopAutomaticSync() {
  const auto stop = Bind<StopAutomaticSyncProcessFn>("StopAutomaticSyncProcess");
  if (stop != nullptr) stop();
}

}  // namespace tunewell
