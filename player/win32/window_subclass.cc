#include "player/win32/window_subclass.h"

#include <algorithm>

#include "player/win32/module.h"

namespace tunewell {

namespace {

WNDPROC Procedure(HWND window, bool unicode) {
  return reinterpret_cast<WNDPROC>(unicode ? ::GetWindowLongPtrW(window, GWLP_WNDPROC)
                                           : ::GetWindowLongPtrA(window, GWLP_WNDPROC));
}

WNDPROC SetProcedure(HWND window, bool unicode, WNDPROC procedure) {
  const auto value = reinterpret_cast<LONG_PTR>(procedure);
  return reinterpret_cast<WNDPROC>(unicode ? ::SetWindowLongPtrW(window, GWLP_WNDPROC, value)
                                           : ::SetWindowLongPtrA(window, GWLP_WNDPROC, value));
}

}  // namespace

std::vector<WindowSubclass::Link>::iterator WindowSubclass::Find(HWND window) {
  return std::find_if(links_.begin(), links_.end(),
                      [window](const Link& link) { return link.window == window; });
}

bool WindowSubclass::Install(HWND window, WNDPROC procedure) {
  if (window == nullptr || Serves(window)) return false;
  Remove();
  // The window will call into this module for as long as it lives.
  module::Pin();
  {
    std::lock_guard lock(mutex_);
    ours_ = procedure;
    auto link = Find(window);
    // Its own procedure back on top: someone took ours out of the chain.
    if (link != links_.end() && Procedure(window, link->unicode) == link->original) {
      links_.erase(link);
      link = links_.end();
    }
    if (link == links_.end()) {
      const bool unicode = ::IsWindowUnicode(window) != FALSE;
      // (A message that comes meanwhile waits for the lock, and so for the link.)
      links_.push_back({window, SetProcedure(window, unicode, procedure), unicode});
    }
    window_ = window;
    installed_ = true;
  }
  ::InvalidateRect(window, nullptr, TRUE);
  return true;
}

void WindowSubclass::Remove() {
  HWND window;
  {
    std::lock_guard lock(mutex_);
    installed_ = false;
    window = window_;
    const auto link = Find(window);
    if (link == links_.end()) return;
    if (Procedure(window, link->unicode) == ours_) {
      SetProcedure(window, link->unicode, link->original);
      links_.erase(link);
    }
  }
  ::InvalidateRect(window, nullptr, TRUE);
}

HWND WindowSubclass::window() const {
  std::lock_guard lock(mutex_);
  return window_;
}

bool WindowSubclass::installed() const {
  std::lock_guard lock(mutex_);
  return installed_;
}

bool WindowSubclass::Serves(HWND window) const {
  std::lock_guard lock(mutex_);
  return installed_ && window_ == window;
}

LRESULT WindowSubclass::CallOriginal(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Link link{window, nullptr, ::IsWindowUnicode(window) != FALSE};
  {
    std::lock_guard lock(mutex_);
    if (const auto found = Find(window); found != links_.end()) link = *found;
  }
  // Not under the lock: the original may send messages to windows of other threads.
  const LRESULT answer =
      link.original == nullptr
          ? (link.unicode ? ::DefWindowProcW : ::DefWindowProcA)(window, message, wparam, lparam)
          : (link.unicode ? ::CallWindowProcW : ::CallWindowProcA)(link.original, window, message,
                                                                   wparam, lparam);
  if (message == WM_NCDESTROY) {
    // Its handle may come back for another window, whose chain does not hold ours.
    std::lock_guard lock(mutex_);
    if (const auto found = Find(window); found != links_.end()) links_.erase(found);
    if (window_ == window) installed_ = false;
  }
  return answer;
}

}  // namespace tunewell
