#pragma once

// Windows whose procedure we replace: wide or narrow as each window is, chaining to the one it
// had. The procedure we install is a static function that forwards to a process-wide object, so
// nothing dies under a window that still calls it.
//
// Someone who subclasses after us (the hook library, the player, another plug-in) chains to our
// procedure: we cannot leave that chain without breaking theirs, so ours stays in it and passes
// every message on until it is back on top. A window whose chain still holds ours is never
// subclassed again: ours -> theirs -> ours would call round until the stack overflows.

#include <windows.h>

#include <mutex>
#include <vector>

namespace tunewell {

class WindowSubclass {
 public:
  // From now on acts for `window`, whose procedure becomes `procedure` unless its chain holds
  // ours already, and repaints it; the window acted for before is given back. False when
  // `window` is null or already acted for.
  bool Install(HWND window, WNDPROC procedure);
  // Stops acting for the window: its own procedure is back if ours is on top of its chain, and
  // it is repainted.
  void Remove();
  // The window last installed, kept after Remove; null before the first Install.
  HWND window() const;
  bool installed() const;
  // True while we act for `window`; otherwise our procedure only passes its messages on.
  bool Serves(HWND window) const;
  // The procedure `window` had before ours, or DefWindowProc when unknown.
  LRESULT CallOriginal(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  // A window whose chain holds our procedure, and the procedure ours chains to.
  struct Link {
    HWND window;
    WNDPROC original;
    bool unicode;
  };
  std::vector<Link>::iterator Find(HWND window);

  mutable std::mutex mutex_;
  std::vector<Link> links_;
  WNDPROC ours_ = nullptr;
  HWND window_ = nullptr;
  bool installed_ = false;
};

}  // namespace tunewell
