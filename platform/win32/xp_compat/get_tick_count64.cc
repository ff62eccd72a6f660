// GetTickCount64 for Windows XP, which lacks it: the static winpthreads, which any C++ binary
// here links, imports it. This object defines both the function and the import slot that
// dllimport callers read its address from, so the linker never takes either from kernel32.

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/win32/xp_compat/tick_count64.h"

namespace {

std::atomic<uint64_t> last_tick_count{0};

}  // namespace

extern "C" {

ULONGLONG WINAPI TunewellGetTickCount64() __asm__("_GetTickCount64@0");
ULONGLONG WINAPI TunewellGetTickCount64() {
  return tunewell::ExtendTickCount(last_tick_count,
                                   [] { return static_cast<uint32_t>(::GetTickCount()); });
}

using TickCount64Function = ULONGLONG(WINAPI*)();
extern const TickCount64Function tunewell_imp_GetTickCount64 __asm__("__imp__GetTickCount64@0") =
    TunewellGetTickCount64;

}  // extern "C"
