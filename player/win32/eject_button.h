#pragma once

// The eject icon at the right end of the Sync pane's control 219 while the contents view is
// active, with the tooltip "Eject iPod" while the pointer rests on it. The eject itself is a
// hook event of its own.

#include <windows.h>

#include <mutex>

#include "player/win32/window_subclass.h"
#include "win32kit/scoped_gdi.h"
#include "win32kit/scoped_window.h"

namespace tunewell {

inline constexpr char kEjectTooltip[] = "Eject iPod";
inline constexpr int kEjectBitmapId = 107;

class EjectButton {
 public:
  // Takes over `host` unless it is already ours; `procedure` forwards to HostMessage.
  void Subclass(HWND host, WNDPROC procedure);
  // The host's own procedure.
  LRESULT CallOriginal(HWND host, UINT message, WPARAM wparam, LPARAM lparam) {
    return host_.CallOriginal(host, message, wparam, lparam);
  }
  // Removes the tooltip and gives the host its own procedure back. Sends to the host's thread:
  // never called with a lock held.
  void Restore();
  // Repaints the host, which shows the icon only while the view is active.
  void Repaint() const;
  // The host's messages, on the player's interface thread.
  LRESULT HostMessage(HWND host, UINT message, WPARAM wparam, LPARAM lparam, bool view_active);

 private:
  void LoadIcon();
  void Paint(HWND host);
  void TrackHover(HWND host, int x, int y);
  void HideTooltip();

  WindowSubclass host_;
  std::once_flag icon_once_;
  // Bitmap 107 and its mask: 1 where the icon is black, which lets the host show through.
  ScopedGdiObject<HBITMAP> icon_, mask_;
  SIZE icon_size_{};
  // Made and destroyed on the interface thread, like the host.
  ScopedWindow tooltip_;
  bool tracking_ = false;
};

}  // namespace tunewell
