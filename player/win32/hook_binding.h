#pragma once

// The plug-in's side of latchkey.dll: loaded from the plug-in's own folder when first needed,
// never freed, each export looked up by name when used. Without the library or an export a call
// does nothing and answers null or 0.

#include <windows.h>

#include <mutex>
#include <string>

#include "hook/win32/hook_library.h"

namespace tunewell {

class HookBinding {
 public:
  // `plugin` is the module whose folder holds latchkey.dll.
  explicit HookBinding(HMODULE plugin) : plugin_(plugin) {}
  HookBinding(const HookBinding&) = delete;
  HookBinding& operator=(const HookBinding&) = delete;

  // The export `name` as `Fn`, or null.
  template <typename Fn>
  Fn Bind(const char* name) {
    // (Through void(*)(), the one function type every other may be cast from without a word.)
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(BindHookExport(name)));
  }

  // True when installhook was found and called.
  bool InstallHook(HookEventCallbackFn callback, void* context);
  // The mounted iPod's root ("E:\"), or "" when the library reports none or an answer that is
  // not a drive root.
  std::string IPodRoot();
  HWND SyncListView(int control_id);
  HWND SyncSettingsDialog();
  HWND DeviceCombo();
  void StopAutomaticSync();

 private:
  FARPROC BindHookExport(const char* name);

  HMODULE plugin_;
  std::once_flag load_once_;
  HMODULE library_ = nullptr;
};

}  // namespace tunewell
