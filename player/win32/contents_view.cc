#include "player/win32/contents_view.h"

#include <commctrl.h>
#include <windowsx.h>

#include <chrono>
#include <new>

#include "database/ipod_database.h"
#include "player/win32/player_windows.h"
#include "sync/removal_run.h"
#include "win32kit/boundary.h"
#include "win32kit/scoped_gdi.h"

namespace tunewell {

namespace {

// A list answers CLR_NONE or CLR_DEFAULT for colours it leaves to the system.
COLORREF Solid(COLORREF colour, COLORREF fallback) {
  return (colour & 0xFF000000) != 0 ? fallback : colour;
}

void Fill(HDC dc, const RECT& area, COLORREF colour) {
  ScopedGdiObject<HBRUSH> brush(::CreateSolidBrush(colour));
  ::FillRect(dc, &area, brush.get());
}

// A 9 x 9 box at (x, y + 2) with a minus, and a plus while collapsed.
void DrawExpander(HDC dc, int x, int y, bool expanded, COLORREF frame, COLORREF back) {
  Fill(dc, RECT{x, y + 2, x + 9, y + 11}, back);
  ScopedGdiObject<HPEN> frame_pen(::CreatePen(PS_SOLID, 1, frame));
  ScopedGdiObject<HPEN> sign_pen(::CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  ScopedSelectObject in(dc, frame_pen.get());
  const POINT sides[] = {{x, y + 2}, {x + 8, y + 2}, {x + 8, y + 10}, {x, y + 10}, {x, y + 2}};
  ::Polyline(dc, sides, 5);
  ScopedSelectObject sign(dc, sign_pen.get());
  const POINT minus[] = {{x + 2, y + 6}, {x + 7, y + 6}};
  ::Polyline(dc, minus, 2);
  if (!expanded) {
    const POINT bar[] = {{x + 4, y + 4}, {x + 4, y + 9}};
    ::Polyline(dc, bar, 2);
  }
}

}  // namespace

ContentsView& ContentsView::Instance() {
  // Never destroyed: the player's windows may call into it until the process ends.
  static ContentsView* const view = new ContentsView();
  return *view;
}

LRESULT CALLBACK ContentsView::DeviceListProcedure(HWND list, UINT message, WPARAM wparam,
                                                   LPARAM lparam) {
  ContentsView& view = Instance();
  return ProcedureEntry(
      [&] {
        return view.list_.Serves(list) ? view.ListMessage(list, message, wparam, lparam)
                                       : view.list_.CallOriginal(list, message, wparam, lparam);
      },
      [&] { return view.list_.CallOriginal(list, message, wparam, lparam); });
}

LRESULT CALLBACK ContentsView::EjectHostProcedure(HWND host, UINT message, WPARAM wparam,
                                                  LPARAM lparam) {
  ContentsView& view = Instance();
  return ProcedureEntry(
      [&] { return view.eject_.HostMessage(host, message, wparam, lparam, view.active()); },
      [&] { return view.eject_.CallOriginal(host, message, wparam, lparam); });
}

bool ContentsView::Showing() {
  if (!active_) return false;
  std::string root;
  HWND combo;
  HookBinding* hook;
  {
    std::lock_guard lock(mutex_);
    root = root_;
    combo = combo_;
    hook = hook_;
  }
  // The combo box the refresh found: no search through other threads' windows on each paint.
  if (!::IsWindow(combo) && hook != nullptr) {
    combo = hook->DeviceCombo();
    std::lock_guard lock(mutex_);
    combo_ = combo;
  }
  // Another device chosen: its list is the player's again until the iPod is back.
  return DeviceComboShowsIPod(combo, root);
}

void ContentsView::UpdateToolbarButton(bool any_selected) {
  HWND toolbar;
  {
    std::lock_guard lock(mutex_);
    toolbar = toolbar_;
  }
  if (::IsWindow(toolbar)) {
    ::SendMessageW(toolbar, TB_SETSTATE, kRemoveButtonId,
                   MAKELONG(any_selected ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE, 0));
  }
}

LRESULT ContentsView::ListMessage(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      if (!Showing()) break;
      Click(list, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), (wparam & MK_CONTROL) != 0,
            (wparam & MK_SHIFT) != 0);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      if (!Showing()) break;
      return 0;
    case WM_PRINTCLIENT:
      if (!Showing()) break;
      AdjustItemCount(list);
      PaintRows(list, reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_PAINT: {
      // Painted whenever the list paints, not only when someone asks for WM_PRINTCLIENT.
      if (!Showing()) {
        const LRESULT result = list_.CallOriginal(list, message, wparam, lparam);
        // Shown while the player painted: that paint took the repaint asked for then.
        if (Showing()) ::InvalidateRect(list, nullptr, TRUE);
        return result;
      }
      if (wparam != 0) {
        AdjustItemCount(list);
        PaintRows(list, reinterpret_cast<HDC>(wparam));
        return 0;
      }
      const int items = AdjustItemCount(list);
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(list, &paint);
      RECT area;
      ::GetClientRect(list, &area);
      if (HWND header = ListView_GetHeader(list); header != nullptr && ::IsWindowVisible(header)) {
        RECT bar;
        ::GetWindowRect(header, &bar);
        area.top = bar.bottom - bar.top;
      }
      Fill(dc, area, Solid(ListView_GetBkColor(list), ::GetSysColor(COLOR_WINDOW)));
      const int painted = PaintRows(list, dc);
      ::EndPaint(list, &paint);
      // Rebuilt after the count was set: the rebuild's repaint went into this paint.
      if (painted != items) ::InvalidateRect(list, nullptr, TRUE);
      return 0;
    }
    default:
      break;
  }
  return list_.CallOriginal(list, message, wparam, lparam);
}

int ContentsView::AdjustItemCount(HWND list) {
  int wanted;
  {
    std::lock_guard lock(mutex_);
    wanted = CountVisibleRows(tree_.rows());
  }
  int count = ListView_GetItemCount(list);
  for (; count > wanted; --count) ListView_DeleteItem(list, wanted);
  for (; count < wanted; ++count) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<char*>("");
    ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  return wanted;
}

int ContentsView::PaintRows(HWND list, HDC dc) {
  ScopedSelectObject font(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
  const COLORREF window = ::GetSysColor(COLOR_WINDOW);
  const COLORREF text = Solid(ListView_GetTextColor(list), ::GetSysColor(COLOR_WINDOWTEXT));
  const COLORREF back =
      Solid(ListView_GetTextBkColor(list), Solid(ListView_GetBkColor(list), window));
  RECT client;
  ::GetClientRect(list, &client);
  int column = ListView_GetColumnWidth(list, 0);
  if (column <= 0) column = client.right;
  ::SetBkMode(dc, TRANSPARENT);

  std::lock_guard lock(mutex_);
  const std::vector<size_t> shown = tree_.AssignVisibleIndexes();
  for (size_t v = 0; v < shown.size(); ++v) {
    RECT item{LVIR_BOUNDS, 0, 0, 0};
    if (!::SendMessageW(list, LVM_GETITEMRECT, v, reinterpret_cast<LPARAM>(&item))) break;
    if (item.top >= client.bottom) break;
    const ContentsRow& row = tree_.rows()[shown[v]];
    const bool notice = row.level < 0;
    RECT box{item.left + TextIndent(row.level), item.top,
             notice ? client.right : item.left + column, item.bottom};
    Fill(dc, box, row.selected ? ::GetSysColor(COLOR_HIGHLIGHT) : back);
    ::SetTextColor(dc, row.selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
    if (row.expandable) DrawExpander(dc, box.left - 15, item.top, row.expanded, text, back);
    // Wide text: a title the ANSI code page cannot spell still reads right.
    ::DrawTextW(dc, reinterpret_cast<const wchar_t*>(row.text.c_str()),
                static_cast<int>(row.text.size()), &box,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS |
                    (notice ? DT_CENTER : DT_LEFT));
  }
  return static_cast<int>(shown.size());
}

void ContentsView::Click(HWND list, int x, int y, bool ctrl, bool shift) {
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  const int item =
      static_cast<int>(::SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  RECT bounds{LVIR_BOUNDS, 0, 0, 0};
  if (item >= 0) ::SendMessageW(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&bounds));
  bool any;
  {
    std::lock_guard lock(mutex_);
    tree_.HandleClick(item, bounds.left, bounds.top, x, y, ctrl, shift);
    any = tree_.AnySelected();
  }
  UpdateToolbarButton(any);
  // The next click may come before the next paint.
  AdjustItemCount(list);
  ::InvalidateRect(list, nullptr, TRUE);
}

std::optional<ContentsView::Contents> ContentsView::MakeContents(
    std::optional<OwnedTracks> tracks) {
  if (!tracks) return std::nullopt;
  try {
    TrackArray order;
    order.reserve(tracks->size());
    for (const auto& track : *tracks) order.push_back(track.get());
    std::vector<ContentsRow> rows = BuildRows(order);
    return Contents{std::move(*tracks), std::move(rows)};
  } catch (const std::bad_alloc&) {
    // The player's own list is better than half a tree.
    return std::nullopt;
  }
}

void ContentsView::Show(std::optional<Contents> contents) {
  {
    std::lock_guard lock(mutex_);
    if (contents) {
      tracks_ = std::move(contents->tracks);
      tree_.Reset(std::move(contents->rows));
    } else {
      tree_.Clear();
      tracks_.clear();
    }
    active_ = contents.has_value();
  }
  eject_.Repaint();
  if (HWND list = list_.window()) ::InvalidateRect(list, nullptr, TRUE);
}

void ContentsView::GiveBack() {
  eject_.Restore();
  list_.Remove();
}

void ContentsView::Open() {
  std::lock_guard lock(session_mutex_);
  open_ = true;
}

void ContentsView::Close() {
  {
    std::lock_guard lock(session_mutex_);
    open_ = false;
    ++generation_;
  }
  wake_.notify_all();
  Detach();
}

void ContentsView::Attach(HookBinding& hook) {
  {
    std::lock_guard lock(session_mutex_);
    if (!open_) return;
  }
  GiveBack();
  const std::string root = hook.IPodRoot();
  if (!root.empty() && DeviceComboShowsIPod(hook.DeviceCombo(), root)) {
    Refresh(hook);
  } else {
    Show(std::nullopt);
  }
}

void ContentsView::Detach() {
  Show(std::nullopt);
  GiveBack();
}

bool ContentsView::Refresh(HookBinding& hook) {
  uint64_t generation;
  {
    std::lock_guard lock(session_mutex_);
    if (!open_) return false;
    generation = generation_;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kRefreshWaitMs);
  HWND combo = hook.DeviceCombo();
  std::string root;
  bool found = false, shows = false;
  for (;;) {
    if (!found) found = !(root = hook.IPodRoot()).empty();
    if (found && !shows) shows = DeviceComboShowsIPod(combo, root);
    if (found && shows) break;
    std::unique_lock lock(session_mutex_);
    if (generation_ != generation || std::chrono::steady_clock::now() >= deadline) return false;
    wake_.wait_for(lock, std::chrono::milliseconds(100), [&] { return generation_ != generation; });
  }
  IPodDatabase ipod(Env::Default(), root);
  OwnedTracks tracks;
  const bool read = ipod.ReadTrackList(&tracks).ok();
  // An iPod whose database cannot be read shows the player's own list.
  std::optional<Contents> contents =
      MakeContents(read ? std::optional<OwnedTracks>(std::move(tracks)) : std::nullopt);
  // Found before the lock: the search sends to windows of the interface thread.
  HWND list = hook.SyncListView(kDeviceListId);
  HWND host = FindSyncPaneControl(kEjectHostId), toolbar = FindSyncPaneControl(kSyncToolbarId);

  std::lock_guard lock(session_mutex_);
  // The player let go of the plug-in meanwhile: its windows stay its own.
  if (generation_ != generation) return false;
  {
    std::lock_guard view_lock(mutex_);
    root_ = root;
    combo_ = combo;
    if (toolbar != nullptr) toolbar_ = toolbar;
    hook_ = &hook;
  }
  list_.Install(list, &DeviceListProcedure);
  if (list_.window() != nullptr) eject_.Subclass(host, &EjectHostProcedure);
  Show(std::move(contents));
  return true;
}

Status ContentsView::RemoveSelected(HookBinding& hook) {
  std::vector<TrackInfo> chosen;
  std::string root;
  {
    std::lock_guard lock(mutex_);
    for (const TrackInfo* track : tree_.SelectedTracks()) chosen.push_back(*track);
    root = root_;
  }
  if (chosen.empty() || root.empty()) return Status::Ok();
  IPodDatabase ipod(Env::Default(), root);
  const Status s = RemovePickedTracksFromIPod(
      ipod, [&](const TrackArray& listed) { return MatchTracks(listed, chosen); });
  Refresh(hook);
  return s;
}

}  // namespace tunewell
