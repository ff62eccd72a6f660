#pragma once

// The controls of the stand-in latchkey.dll that tests call besides its six exports.

#include <windows.h>

extern "C" {

struct StandinState {
  int installs;  // installhook calls
  void* context;
  int root_queries;  // GetIPodRootDirectory calls
  int stops;         // StopAutomaticSyncProcess calls
};

// Calls the installed callback with `code` from a thread of the library's own, as the real
// library does; answers the worker handle the callback returned (the caller closes it).
typedef HANDLE(__cdecl* StandinRaiseEventFn)(int code);
// "" for no iPod.
typedef void(__cdecl* StandinSetRootFn)(const char* root);
typedef void(__cdecl* StandinSetWindowsFn)(HWND sync_list, HWND device_list, HWND settings,
                                           HWND combo);
typedef StandinState(__cdecl* StandinGetStateFn)(void);

}  // extern "C"
