#include "player/win32/eject_button.h"

#include <commctrl.h>

#include "player/win32/module.h"

namespace tunewell {

namespace {

// Sent by a worker that restores the host: the tooltip belongs to the interface thread.
// (Registered on first use, not while the loader runs our static initialisers.)
UINT HideTooltipMessage() {
  static const UINT message = ::RegisterWindowMessageA("TunewellHideEjectTooltip");
  return message;
}

SIZE WindowSize(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

void EjectButton::LoadIcon() {
  // The tooltip's class.
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&classes);
  // The icon never changes: made once, and never freed under a paint.
  icon_.reset(::LoadBitmapW(module::Handle(), MAKEINTRESOURCEW(kEjectBitmapId)));
  BITMAP info{};
  if (icon_.get() == nullptr || !::GetObjectW(icon_.get(), sizeof info, &info)) return;
  icon_size_ = {info.bmWidth, info.bmHeight};
  mask_.reset(::CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr));
  ScopedMemoryDC icon_dc(::CreateCompatibleDC(nullptr)), mask_dc(::CreateCompatibleDC(nullptr));
  ScopedSelectObject icon_in(icon_dc.get(), icon_.get()), mask_in(mask_dc.get(), mask_.get());
  // Black source pixels become 1 in the mask, all others 0.
  ::SetBkColor(icon_dc.get(), RGB(0, 0, 0));
  ::BitBlt(mask_dc.get(), 0, 0, info.bmWidth, info.bmHeight, icon_dc.get(), 0, 0, SRCCOPY);
}

void EjectButton::Subclass(HWND host, WNDPROC procedure) {
  std::call_once(icon_once_, [this] { LoadIcon(); });
  host_.Install(host, procedure);
}

void EjectButton::Restore() {
  if (host_.installed()) {
    DWORD_PTR ignored;
    ::SendMessageTimeoutW(host_.window(), HideTooltipMessage(), 0, 0, SMTO_ABORTIFHUNG, 2000,
                          &ignored);
  }
  host_.Remove();
}

void EjectButton::Repaint() const {
  if (HWND host = host_.window()) ::InvalidateRect(host, nullptr, TRUE);
}

LRESULT EjectButton::HostMessage(HWND host, UINT message, WPARAM wparam, LPARAM lparam,
                                 bool view_active) {
  if (message == HideTooltipMessage()) {
    HideTooltip();
    return 0;
  }
  const LRESULT answer = host_.CallOriginal(host, message, wparam, lparam);
  if (!view_active || !host_.Serves(host)) {
    HideTooltip();
    return answer;
  }
  switch (message) {
    case WM_PAINT:
      Paint(host);
      break;
    case WM_MOUSEMOVE:
      if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, host, 1};
        tracking_ = ::TrackMouseEvent(&track) != FALSE;
      }
      TrackHover(host, static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
      break;
    case WM_MOUSEHOVER:
      TrackHover(host, static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
      break;
    case WM_MOUSELEAVE:
      TrackHover(host, -1, -1);
      tracking_ = false;
      break;
    default:
      break;
  }
  return answer;
}

void EjectButton::Paint(HWND host) {
  if (icon_.get() == nullptr || mask_.get() == nullptr) return;
  const SIZE size = WindowSize(host);
  const int x = size.cx - icon_size_.cx - 4, y = (size.cy - icon_size_.cy - 4) / 2;
  ScopedWindowDC dc(host);
  ScopedMemoryDC source(::CreateCompatibleDC(dc.get()));
  {
    ScopedSelectObject in(source.get(), mask_.get());
    ::BitBlt(dc.get(), x, y, icon_size_.cx, icon_size_.cy, source.get(), 0, 0, SRCAND);
  }
  ScopedSelectObject in(source.get(), icon_.get());
  ::BitBlt(dc.get(), x, y, icon_size_.cx, icon_size_.cy, source.get(), 0, 0, SRCPAINT);
}

void EjectButton::TrackHover(HWND host, int x, int y) {
  const SIZE size = WindowSize(host);
  const int top = (size.cy - 16) / 2;
  if (!(x >= size.cx - 16 && x < size.cx && y >= top && y < top + 16)) {
    HideTooltip();
    return;
  }
  // Stays where it first appeared while the pointer moves inside the zone.
  if (tooltip_.valid()) return;
  POINT at{x, y};
  ::ClientToScreen(host, &at);
  tooltip_.reset(::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                   nullptr, nullptr));
  if (!tooltip_.valid()) return;
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.uFlags = TTF_TRACK;
  tool.lpszText = const_cast<char*>(kEjectTooltip);
  ::SendMessageA(tooltip_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageA(tooltip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y + 20));
  ::SendMessageA(tooltip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void EjectButton::HideTooltip() {
  if (!tooltip_.valid()) return;
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  ::SendMessageA(tooltip_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
  tooltip_.reset();
}

}  // namespace tunewell
