#pragma once

// Windows we created. DestroyWindow works only on the window's own thread, so an owner lives and
// is reset there.

#include <windows.h>

#include "win32kit/scoped_generic.h"

namespace tunewell {

struct WindowTraits {
  static HWND InvalidValue() { return nullptr; }
  static bool Free(HWND window) { return ::DestroyWindow(window) != FALSE; }
};

using ScopedWindow = ScopedGeneric<HWND, WindowTraits>;

}  // namespace tunewell
