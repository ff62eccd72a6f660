#include "player/win32/hook_binding.h"

#include <cctype>

#include "win32kit/module_path.h"

namespace tunewell {

FARPROC HookBinding::BindHookExport(const char* name) {
  std::call_once(load_once_, [this] {
    const std::wstring path = PathBesideModule(plugin_, hook::kLibraryName);
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
