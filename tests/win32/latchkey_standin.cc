// A stand-in for latchkey.dll: the six exports the plug-in binds by name, plus controls that let
// a test raise hook events and choose what the exports answer.

#include "tests/win32/latchkey_standin.h"

#include <cstring>
#include <mutex>
#include <string>
#include <type_traits>

#include "player/win32/hook_library.h"

#define EXPORT extern "C" __declspec(dllexport)

namespace {

std::mutex g_mutex;
HookEventCallbackFn g_callback = nullptr;
StandinState g_state{};
std::string g_root;
HWND g_sync_list = nullptr, g_device_list = nullptr, g_settings = nullptr, g_combo = nullptr;

}  // namespace

EXPORT void __cdecl installhook(HookEventCallbackFn callback, void* context) {
  std::lock_guard lock(g_mutex);
  g_callback = callback;
  g_state.context = context;
  ++g_state.installs;
}

EXPORT int __cdecl GetIPodRootDirectory(char* root) {
  std::lock_guard lock(g_mutex);
  ++g_state.root_queries;
  if (g_root.empty()) return 0;
  std::strncpy(root, g_root.c_str(), 7);
  root[7] = '\0';
  return 1;
}

EXPORT HWND __cdecl GetSyncListViewHWnd(int id) {
  std::lock_guard lock(g_mutex);
  return id == 204 ? g_sync_list : id == 210 ? g_device_list : nullptr;
}

EXPORT HWND __cdecl GetSyncSettingsDlgHWnd(void) { return g_settings; }
EXPORT HWND __cdecl GetDeviceSelectionComboWindow(void) { return g_combo; }

EXPORT void __cdecl StopAutomaticSyncProcess(void) {
  std::lock_guard lock(g_mutex);
  ++g_state.stops;
}

EXPORT HANDLE __cdecl StandinRaiseEvent(int code) {
  struct Call {
    HookEventCallbackFn callback;
    void* context;
    int code;
    HANDLE worker;
  } call{nullptr, nullptr, code, nullptr};
  {
    std::lock_guard lock(g_mutex);
    call.callback = g_callback;
    call.context = g_state.context;
  }
  if (call.callback == nullptr) return nullptr;
  HANDLE thread = ::CreateThread(
      nullptr, 0,
      [](void* param) -> DWORD {
        auto* c = static_cast<Call*>(param);
        c->worker = c->callback(c->context, c->code);
        return 0;
      },
      &call, 0, nullptr);
  // Code 3 reads the host's windows on this thread: the host keeps pumping meanwhile.
  while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  ::CloseHandle(thread);
  return call.worker;
}

EXPORT void __cdecl StandinSetRoot(const char* root) {
  std::lock_guard lock(g_mutex);
  g_root = root;
}

EXPORT void __cdecl StandinSetWindows(HWND sync_list, HWND device_list, HWND settings, HWND combo) {
  std::lock_guard lock(g_mutex);
  g_sync_list = sync_list;
  g_device_list = device_list;
  g_settings = settings;
  g_combo = combo;
}

EXPORT StandinState __cdecl StandinGetState(void) {
  std::lock_guard lock(g_mutex);
  return g_state;
}

// Every export keeps the signature the plug-in binds it with.
static_assert(std::is_same_v<decltype(&installhook), InstallHookFn>);
static_assert(std::is_same_v<decltype(&GetIPodRootDirectory), GetIPodRootDirectoryFn>);
static_assert(std::is_same_v<decltype(&GetSyncListViewHWnd), GetSyncListViewHWndFn>);
static_assert(std::is_same_v<decltype(&GetSyncSettingsDlgHWnd), GetSyncSettingsDlgHWndFn>);
static_assert(
    std::is_same_v<decltype(&GetDeviceSelectionComboWindow), GetDeviceSelectionComboWindowFn>);
static_assert(std::is_same_v<decltype(&StopAutomaticSyncProcess), StopAutomaticSyncProcessFn>);
