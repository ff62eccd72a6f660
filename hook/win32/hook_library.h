#pragma once

// latchkey.dll, the hook library that watches the player's Sync tab: its six exports and the
// callback it calls once per hook event. Shared by the plug-in, the library and the test
// stand-in, so that every side agrees on every signature.
//
// The library declares no calling convention, so these are plain C functions with the compiler's
// default one, __cdecl. On x86_64 there is only one convention; on i686 guessing __stdcall would
// unbalance the caller's stack at the first call.

#include <windows.h>

#include <type_traits>

extern "C" {

// Called on a thread of the library's with the context given to installhook and a HookEvent
// (hook/hook_events.h); answers the handle of the worker it started for the event, or null.
typedef HANDLE(__cdecl* HookEventCallbackFn)(void* context, int event_code);

typedef void(__cdecl* InstallHookFn)(HookEventCallbackFn callback, void* context);
// Nonzero when an iPod volume is mounted; `root` (8 bytes) then holds e.g. "E:\".
typedef int(__cdecl* GetIPodRootDirectoryFn)(char* root);
// `control_id` is kSyncListId or kDeviceListId (hook/player_controls.h).
typedef HWND(__cdecl* GetSyncListViewHWndFn)(int control_id);
typedef HWND(__cdecl* GetSyncSettingsDlgHWndFn)(void);
typedef HWND(__cdecl* GetDeviceSelectionComboWindowFn)(void);
typedef void(__cdecl* StopAutomaticSyncProcessFn)(void);

}  // extern "C"

namespace tunewell::hook {

inline constexpr wchar_t kLibraryName[] = L"latchkey.dll";
// The iPod root buffer: drive letter, colon, backslash, terminating zero, with room to spare.
inline constexpr size_t kRootBufferSize = 8;

}  // namespace tunewell::hook

// Written after a library's definitions of the six exports: each keeps the signature the plug-in
// binds it with, or the library does not build.
#define TUNEWELL_HOOK_EXPORTS_KEEP_THEIR_SIGNATURES()                                             \
  static_assert(std::is_same_v<decltype(&installhook), InstallHookFn>);                           \
  static_assert(std::is_same_v<decltype(&GetIPodRootDirectory), GetIPodRootDirectoryFn>);         \
  static_assert(std::is_same_v<decltype(&GetSyncListViewHWnd), GetSyncListViewHWndFn>);           \
  static_assert(std::is_same_v<decltype(&GetSyncSettingsDlgHWnd), GetSyncSettingsDlgHWndFn>);     \
  static_assert(                                                                                  \
      std::is_same_v<decltype(&GetDeviceSelectionComboWindow), GetDeviceSelectionComboWindowFn>); \
  static_assert(std::is_same_v<decltype(&StopAutomaticSyncProcess), StopAutomaticSyncProcessFn>)
