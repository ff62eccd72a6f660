#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace tunewell {

// Owns a kernel handle and closes it once. Move-only. Both INVALID_HANDLE_VALUE (what
// CreateFileW fails with) and null (what most other calls fail with) mean "none".
template <typename Traits>
class GenericScopedHandle {
 public:
  GenericScopedHandle() = default;
  explicit GenericScopedHandle(HANDLE handle) : handle_(handle) {}
  GenericScopedHandle(const GenericScopedHandle&) = delete;
  GenericScopedHandle& operator=(const GenericScopedHandle&) = delete;
  GenericScopedHandle(GenericScopedHandle&& other) noexcept : handle_(other.release()) {}
  GenericScopedHandle& operator=(GenericScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~GenericScopedHandle() { reset(); }

  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

  // Gives up ownership without closing.
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

  // Closes the owned handle (if any) and takes `handle`. Returns false if closing failed.
  bool reset(HANDLE handle = nullptr) {
    bool closed = true;
    if (valid()) closed = Traits::Close(handle_);
    handle_ = handle;
    return closed;
  }

 private:
  HANDLE handle_ = nullptr;
};

struct KernelHandleTraits {
  static bool Close(HANDLE handle) { return ::CloseHandle(handle) != FALSE; }
};

struct FindHandleTraits {
  static bool Close(HANDLE handle) { return ::FindClose(handle) != FALSE; }
};

// Files, events, threads: anything CloseHandle closes.
using ScopedHandle = GenericScopedHandle<KernelHandleTraits>;
// A FindFirstFileW search.
using ScopedFindHandle = GenericScopedHandle<FindHandleTraits>;

}  // namespace tunewell
