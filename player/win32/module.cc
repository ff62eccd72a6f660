#include "player/win32/module.h"

#include <atomic>

namespace tunewell::module {

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

HMODULE Handle() { return g_module; }
void SetHandle(HMODULE module) { g_module = module; }

void AddObject() { ++g_objects; }
void RemoveObject() { --g_objects; }
void AddLock() { ++g_locks; }
void RemoveLock() { --g_locks; }
bool CanUnload() { return g_objects == 0 && g_locks == 0; }

void Pin() {
  HMODULE pinned = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&Pin), &pinned);
}

}  // namespace tunewell::module

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    tunewell::module::SetHandle(instance);
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
