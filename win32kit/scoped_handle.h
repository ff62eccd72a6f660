#pragma once

// Kernel handles and FindFirstFileW searches.

#include <windows.h>

#include "win32kit/scoped_generic.h"

namespace tunewell {

struct KernelHandleTraits {
  static HANDLE InvalidValue() { return nullptr; }
  // CreateFileW fails with INVALID_HANDLE_VALUE, most other calls with null.
  static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Free(HANDLE handle) { return ::CloseHandle(handle) != FALSE; }
};

struct FindHandleTraits {
  static HANDLE InvalidValue() { return INVALID_HANDLE_VALUE; }
  static bool Free(HANDLE handle) { return ::FindClose(handle) != FALSE; }
};

// Files, events, threads: anything CloseHandle closes.
using ScopedHandle = ScopedGeneric<HANDLE, KernelHandleTraits>;
using ScopedFindHandle = ScopedGeneric<HANDLE, FindHandleTraits>;

}  // namespace tunewell
