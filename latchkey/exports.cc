// The six functions the plug-in binds by name (undecorated through latchkey.def).

#include "hook/player_controls.h"
#include "hook/win32/hook_library.h"
#include "latchkey/watcher.h"
#include "latchkey/window_finder.h"
#include "win32kit/boundary.h"

using tunewell::ProcedureEntry;
using tunewell::latchkey::Watcher;
namespace latchkey = tunewell::latchkey;

namespace {

constexpr auto kNoWindow = []() -> HWND { return nullptr; };

HWND FindInSyncTab(int id, const wchar_t* class_name) {
  return ProcedureEntry(
      [&] { return latchkey::FindControl(Watcher::Instance().ui_thread(), id, class_name); },
      kNoWindow);
}

}  // namespace

extern "C" {

void __cdecl installhook(HookEventCallbackFn callback, void* context) {
  ProcedureEntry([&] { Watcher::Instance().Install(callback, context); }, [] {});
}

int __cdecl GetIPodRootDirectory(char* root) {
  return ProcedureEntry(
      [&] {
        const char drive = root == nullptr ? 0 : Watcher::Instance().IPodDrive();
        if (drive == 0) return 0;
        root[0] = drive, root[1] = ':', root[2] = '\\', root[3] = '\0';
        return 1;
      },
      [] { return 0; });
}

HWND __cdecl GetSyncListViewHWnd(int control_id) {
  return FindInSyncTab(control_id, latchkey::kListViewClass);
}

HWND __cdecl GetSyncSettingsDlgHWnd(void) {
  return ProcedureEntry([] { return latchkey::FindSettingsDialog(); }, kNoWindow);
}

HWND __cdecl GetDeviceSelectionComboWindow(void) {
  return FindInSyncTab(tunewell::kDeviceComboId, latchkey::kComboBoxClass);
}

void __cdecl StopAutomaticSyncProcess(void) {
  ProcedureEntry([] { Watcher::Instance().PostStop(); }, [] {});
}

}  // extern "C"

TUNEWELL_HOOK_EXPORTS_KEEP_THEIR_SIGNATURES();
