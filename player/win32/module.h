#pragma once

// What the DLL as a whole must remember: its own module handle (from DllMain) and the counts
// DllCanUnloadNow answers from.

#include <windows.h>

namespace tunewell::module {

// The handle DllMain received; resources, the version block and the folder of latchkey.dll
// come from it, whatever the file is called.
HMODULE Handle();
void SetHandle(HMODULE module);

// Live COM objects and server locks (LockServer, held class objects).
void AddObject();
void RemoveObject();
void AddLock();
void RemoveLock();
bool CanUnload();

// Keeps the module loaded until the process ends. Once the hook library or a player window
// holds a pointer into our code, unloading would leave it pointing at nothing.
void Pin();

}  // namespace tunewell::module
