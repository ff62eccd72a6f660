#include "player/win32/window_subclass.h"

#include "player/win32/module.h"

namespace tunewell {

namespace {

LONG_PTR SetProcedure(HWND window, bool unicode, WNDPROC procedure) {
  const auto value = reinterpret_cast<LONG_PTR>(procedure);
  return unicode ? ::SetWindowLongPtrW(window, GWLP_WNDPROC, value)
                 : ::SetWindowLongPtrA(window, GWLP_WNDPROC, value);
}

}  // namespace

bool WindowSubclass::Install(HWND window, WNDPROC procedure) {
  if (window == nullptr || (installed_ && window_ == window)) return false;
  if (installed_) Remove();
  // The window will call into this module for as long as it lives.
  module::Pin();
  const bool unicode = ::IsWindowUnicode(window) != FALSE;
  unicode_ = unicode;
  window_ = window;
  ours_ = procedure;
  const auto own = unicode ? ::GetWindowLongPtrW(window, GWLP_WNDPROC)
                           : ::GetWindowLongPtrA(window, GWLP_WNDPROC);
  original_ = reinterpret_cast<WNDPROC>(own);
  SetProcedure(window, unicode, procedure);
  installed_ = true;
  ::InvalidateRect(window, nullptr, TRUE);
  return true;
}

void WindowSubclass::Remove() {
  if (!installed_.exchange(false)) return;
  HWND window = window_;
  const auto now = unicode_ ? ::GetWindowLongPtrW(window, GWLP_WNDPROC)
                            : ::GetWindowLongPtrA(window, GWLP_WNDPROC);
  // Someone who subclassed after us still chains to us; cutting them out would break them.
  if (reinterpret_cast<WNDPROC>(now) == ours_.load()) SetProcedure(window, unicode_, original_);
  ::InvalidateRect(window, nullptr, TRUE);
}

LRESULT WindowSubclass::CallOriginal(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam) const {
  WNDPROC original = original_;
  if (unicode_) {
    return original != nullptr ? ::CallWindowProcW(original, window, message, wparam, lparam)
                               : ::DefWindowProcW(window, message, wparam, lparam);
  }
  return original != nullptr ? ::CallWindowProcA(original, window, message, wparam, lparam)
                             : ::DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace tunewell
