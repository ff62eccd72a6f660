#pragma once

// latchkey.dll, the hook library that watches the player's Sync tab: its six exports and the
// callback it calls once per hook event. Shared by the plug-in and the test stand-in, so that
// both sides agree on every signature.
//
// The library declares no calling convention, so these are plain C functions with the compiler's
// default one, __cdecl. On x86_64 there is only one convention; on i686 guessing __stdcall would
// unbalance the caller's stack at the first call.

#include <windows.h>

extern "C" {

// Called on a thread of the library's with the context given to installhook; answers the
// handle of the worker it started for the event, or null.
typedef HANDLE(__cdecl* HookEventCallbackFn)(void* context, int event_code);

typedef void(__cdecl* InstallHookFn)(HookEventCallbackFn callback, void* context);
// Nonzero when an iPod volume is mounted; `root` (8 bytes) then holds e.g. "E:\".
typedef int(__cdecl* GetIPodRootDirectoryFn)(char* root);
typedef HWND(__cdecl* GetSyncListViewHWndFn)(int control_id);
typedef HWND(__cdecl* GetSyncSettingsDlgHWndFn)(void);
typedef HWND(__cdecl* GetDeviceSelectionComboWindowFn)(void);
typedef void(__cdecl* StopAutomaticSyncProcessFn)(void);

}  // extern "C"

namespace tunewell::hook {

inline constexpr char kLibraryName[] = "latchkey.dll";
// The iPod root buffer: drive letter, colon, backslash, terminating zero, with room to spare.
inline constexpr size_t kRootBufferSize = 8;

// Control ids GetSyncListViewHWnd understands.
inline constexpr int kSyncListId = 204;
inline constexpr int kDeviceListId = 210;

}  // namespace tunewell::hook
