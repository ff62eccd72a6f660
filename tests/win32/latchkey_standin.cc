// A stand-in for latchkey.dll: the six exports the plug-in binds by name, plus controls that let
// a test raise hook events and choose what the exports answer.

#include <atomic>
#include <cstring>
#include <thread>

#include "hook/player_controls.h"
#include "hook/win32/hook_library.h"
#include "tests/win32/player_host.h"

#define EXPORT extern "C" __declspec(dllexport)

namespace {

StandinState g_state{};
HookEventCallbackFn g_callback = nullptr;

}  // namespace

EXPORT void __cdecl installhook(HookEventCallbackFn callback, void* context) {
  g_state.context = context;
  ++g_state.installs;
  g_callback = callback;
}

EXPORT int __cdecl GetIPodRootDirectory(char* root) {
  std::atomic_ref(g_state.root_queries).fetch_add(1);
  std::strcpy(root, g_state.root);
  return root[0] != '\0';
}

EXPORT HWND __cdecl GetSyncListViewHWnd(int id) {
  return id == tunewell::kSyncListId     ? g_state.sync_list
         : id == tunewell::kDeviceListId ? g_state.device_list
                                         : nullptr;
}

EXPORT HWND __cdecl GetSyncSettingsDlgHWnd(void) { return g_state.settings; }
EXPORT HWND __cdecl GetDeviceSelectionComboWindow(void) { return g_state.combo; }
EXPORT void __cdecl StopAutomaticSyncProcess(void) { std::atomic_ref(g_state.stops).fetch_add(1); }

EXPORT HANDLE __cdecl StandinRaiseEvent(int code) {
  if (g_callback == nullptr) return nullptr;
  HANDLE worker = nullptr;
  std::atomic<bool> done = false;
  std::thread caller([&] { worker = g_callback(g_state.context, code), done = true; });
  // Code 3 reads the host's windows on that thread: the host keeps pumping meanwhile.
  for (MSG msg; !done; ::Sleep(1)) {
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  caller.join();
  return worker;
}

EXPORT StandinState* __cdecl StandinGetState(void) { return &g_state; }

TUNEWELL_HOOK_EXPORTS_KEEP_THEIR_SIGNATURES();
