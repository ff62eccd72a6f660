#pragma once

// GDI objects, memory device contexts, a window's device context and selections into one.

#include <windows.h>

#include "win32kit/scoped_generic.h"

namespace tunewell {

template <typename T>
struct GdiObjectTraits {
  static T InvalidValue() { return nullptr; }
  static bool Free(T object) { return ::DeleteObject(object) != FALSE; }
};

// Brushes, pens, bitmaps, fonts: anything DeleteObject deletes.
template <typename T>
using ScopedGdiObject = ScopedGeneric<T, GdiObjectTraits<T>>;

struct MemoryDcTraits {
  static HDC InvalidValue() { return nullptr; }
  static bool Free(HDC dc) { return ::DeleteDC(dc) != FALSE; }
};

// A device context from CreateCompatibleDC.
using ScopedMemoryDC = ScopedGeneric<HDC, MemoryDcTraits>;

// GetDC's context, which goes back to its window rather than being deleted.
class ScopedWindowDC {
 public:
  explicit ScopedWindowDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ScopedWindowDC(const ScopedWindowDC&) = delete;
  ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
  ~ScopedWindowDC() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects `object` into `dc` and puts back what was selected before. A null object selects
// nothing.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() {
    if (old_ != nullptr) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace tunewell
