#pragma once

// One window whose procedure we replace: wide or narrow as the window is, chaining to the one it
// had. The procedure we install is a static function that forwards to a process-wide object, so
// nothing dies under a window that still calls it.

#include <windows.h>

#include <atomic>

namespace tunewell {

class WindowSubclass {
 public:
  // Replaces `window`'s procedure with `procedure` and repaints it. False when `window` is null
  // or already ours.
  bool Install(HWND window, WNDPROC procedure);
  // Puts the window's own procedure back, if ours is still the one it runs, and repaints it.
  void Remove();
  // The window last subclassed, kept after Remove; null before the first Install.
  HWND window() const { return window_.load(); }
  bool installed() const { return installed_.load(); }
  // The window's own procedure, or DefWindowProc before it is known.
  LRESULT CallOriginal(HWND window, UINT message, WPARAM wparam, LPARAM lparam) const;

 private:
  std::atomic<HWND> window_{nullptr};
  std::atomic<WNDPROC> original_{nullptr};
  std::atomic<WNDPROC> ours_{nullptr};
  std::atomic<bool> unicode_{false};
  std::atomic<bool> installed_{false};
};

}  // namespace tunewell
