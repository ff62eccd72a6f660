#pragma once

// The controls of the stand-in latchkey.dll that tests use besides its six exports.

#include <windows.h>

extern "C" {

// Written by the test only while no event runs; read by it once the event's worker has ended.
struct StandinState {
  int installs;  // installhook calls
  void* context;
  int root_queries;  // GetIPodRootDirectory calls
  int stops;         // StopAutomaticSyncProcess calls
  char root[8];      // what GetIPodRootDirectory reports; "" for no iPod
  HWND sync_list, device_list, settings, combo;
};

// Calls the installed callback with `code` from a thread of the library's own, as the real
// library does; answers the worker handle the callback returned (the caller closes it).
typedef HANDLE(__cdecl* StandinRaiseEventFn)(int code);
typedef StandinState*(__cdecl* StandinStateFn)(void);

}  // extern "C"
