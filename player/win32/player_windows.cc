#include "player/win32/player_windows.h"

#include <commctrl.h>

#include <cstring>

#include "win32kit/boundary.h"
#include "win32kit/thread_handoff.h"

namespace tunewell {

namespace {

constexpr int kTextBuffer = 260;
constexpr UINT kStateImageMask = 0xF000;
static_assert(kCheckedStateImage == INDEXTOSTATEIMAGEMASK(2));
constexpr char kMenuClass[] = "#32768";

// How long ShowFilePathColumn lets the player and its worker take, in all.
constexpr DWORD kColumnSwitchLimitMs = 5000;
constexpr UINT kSendLimitMs = 4000;

struct Search {
  const char* class_name;
  const char* title;
  HWND found;
};

// The enumeration callbacks run inside the system's code: a throw stops the search instead.
constexpr auto kStopSearch = [] { return BOOL{FALSE}; };

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM param) {
  return ProcedureEntry(
      [&] {
        auto* s = reinterpret_cast<Search*>(param);
        if (s->class_name != nullptr && ClassName(window) != s->class_name) return TRUE;
        if (s->title != nullptr && WindowText(window) != s->title) return TRUE;
        if (s->class_name != nullptr && !::IsWindowVisible(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      kStopSearch);
}

// The first top-level window of `thread` (any thread when 0) of class `class_name` (any when
// null) titled `title` (any when null) that is visible.
HWND FindTopLevel(DWORD thread, const char* class_name, const char* title) {
  Search search{class_name, title, nullptr};
  if (thread != 0) {
    ::EnumThreadWindows(thread, VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  } else {
    ::EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  }
  return search.found;
}

BOOL CALLBACK VisitCustomPage(HWND window, LPARAM param) {
  return ProcedureEntry(
      [&] {
        if (!::IsWindowEnabled(window) || !::IsWindowVisible(window)) return TRUE;
        if (ClassName(window) != kDialogClass) return TRUE;
        const std::string title = WindowText(window);
        if (title != "Custom Sync Settings" && title != "Configure Sync") return TRUE;
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
      },
      kStopSearch);
}

template <typename Find>
HWND Poll(Find find, int tries, DWORD pause_ms) {
  for (int i = 0; i < tries; ++i) {
    if (HWND found = find()) return found;
    ::Sleep(pause_ms);
  }
  return nullptr;
}

// Opens "Choose Columns" from the header's context menu, ticks or unticks "File Path" and
// confirms. The key goes to the menu itself rather than to whatever has the focus, so another
// window never receives it.
void SwitchColumn(HWND header, bool show) {
  const DWORD ui_thread = ::GetWindowThreadProcessId(header, nullptr);
  ::Sleep(150);
  HWND menu = Poll([&] { return FindTopLevel(ui_thread, kMenuClass, nullptr); }, 50, 10);
  if (menu != nullptr) {
    ::PostMessageA(menu, WM_CHAR, 'm', 0);
  } else {
    ::keybd_event('M', 0, 0, 0);
    ::keybd_event('M', 0, KEYEVENTF_KEYUP, 0);
  }
  HWND dialog =
      Poll([&] { return FindTopLevel(ui_thread, nullptr, kChooseColumnsTitle); }, 101, 10);
  if (dialog == nullptr) {
    // Leave no menu open behind us: the player's interface would wait on it.
    if ((menu = FindTopLevel(ui_thread, kMenuClass, nullptr)) != nullptr) {
      ::PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    return;
  }
  HWND list = ::GetDlgItem(dialog, kChooseColumnsListId);
  const int rows = ListRowCount(list);
  for (int row = 0; row < rows; ++row) {
    if (ListCellText(list, row, 0) != kFilePathColumn) continue;
    LVITEMA item{};
    item.stateMask = kStateImageMask;
    item.state = INDEXTOSTATEIMAGEMASK(show ? 2 : 1);
    ::SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    break;
  }
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                        reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)), SMTO_NORMAL,
                        kSendLimitMs, &ignored);
}

}  // namespace

std::string WindowText(HWND window) {
  char text[kTextBuffer] = {};
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassName(HWND window) {
  char name[50] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

HWND FindPlayerWindow() { return FindTopLevel(0, nullptr, kPlayerWindowTitle); }

HWND FindSyncPaneControl(int id) {
  HWND window = FindPlayerWindow();
  if (window != nullptr) window = ::GetDlgItem(window, 0);
  if (window != nullptr) window = ::GetWindow(window, GW_CHILD);
  if (window != nullptr) window = ::GetDlgItem(window, 0);
  return window == nullptr ? nullptr : ::GetDlgItem(window, id);
}

bool DeviceComboShowsIPod(HWND combo, const std::string& ipod_root) {
  if (combo == nullptr || ipod_root.size() < 2) return false;
  const LRESULT selected = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (selected < 0) return false;
  const LRESULT length = ::SendMessageA(combo, CB_GETLBTEXTLEN, selected, 0);
  if (length < 3) return false;
  std::string text(static_cast<size_t>(length) + 1, '\0');
  ::SendMessageA(combo, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::strlen(text.c_str()));
  if (text.size() < 3) return false;
  return text.compare(text.size() - 3, 2, ipod_root, 0, 2) == 0;
}

bool FindFilePathColumn(HWND header, int* index) {
  const int count = static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  bool found = false;
  for (int i = 0; i < count; ++i) {
    char text[kTextBuffer] = {};
    HDITEMA item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text - 1;
    if (!::SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item))) continue;
    if (std::strcmp(text, kFilePathColumn) == 0) {
      *index = i;
      found = true;
    }
  }
  return found;
}

void ShowFilePathColumn(HWND list) {
  HWND header = ::GetWindow(list, GW_CHILD);
  if (header == nullptr) return;
  const ScopedHandle worker = HandOffToThread([header] { SwitchColumn(header, true); });
  if (!worker.valid()) return;
  // The player may hold the right-click until its menu and dialog close: never wait forever.
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(header, WM_RBUTTONDOWN, 0, 0, SMTO_NORMAL, kSendLimitMs, &ignored);
  ::SendMessageTimeoutA(header, WM_RBUTTONUP, 0, 0, SMTO_NORMAL, kSendLimitMs, &ignored);
  ::WaitForSingleObject(worker.get(), kColumnSwitchLimitMs);
}

HWND FindCustomSyncPage(HWND parent) {
  HWND found = nullptr;
  ::EnumChildWindows(parent, VisitCustomPage, reinterpret_cast<LPARAM>(&found));
  return found;
}

int ListRowCount(HWND list) {
  return list == nullptr ? 0 : static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

UINT ListRowStateImage(HWND list, int row) {
  return static_cast<UINT>(::SendMessageA(list, LVM_GETITEMSTATE, row, kStateImageMask)) &
         kStateImageMask;
}

bool ListRowChecked(HWND list, int row) {
  return ListRowStateImage(list, row) == kCheckedStateImage;
}

std::string ListCellText(HWND list, int row, int column) {
  char text[kTextBuffer] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  ::SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

}  // namespace tunewell
