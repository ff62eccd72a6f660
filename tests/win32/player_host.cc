#include "tests/win32/player_host.h"

#include <commctrl.h>

#include <fstream>

namespace tunewell::fake {

namespace {

PlayerHost* g_host = nullptr;
WNDPROC g_header_proc = nullptr;
UINT g_add_remove = 0;
constexpr UINT kChooseColumnsCommand = 1;

HWND Child(HWND parent, const char* cls, const char* text, int id, DWORD style = 0) {
  return ::CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 300, 200, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

HWND CheckList(HWND parent, int id, const std::vector<const char*>& columns) {
  HWND list = Child(parent, WC_LISTVIEWA, "", id, LVS_REPORT);
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
  for (size_t i = 0; i < columns.size(); ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(columns[i]);
    column.cx = 100;
    ::SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  return list;
}

int AddRow(HWND list, const std::string& text, bool checked) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = ListView_GetItemCount(list);
  item.pszText = const_cast<char*>(text.c_str());
  const int row = static_cast<int>(::SendMessageA(list, LVM_INSERTITEMA, 0, LPARAM(&item)));
  ListView_SetCheckState(list, row, checked);
  return row;
}

INT_PTR CALLBACK ChooseColumnsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) {
    HWND list = CheckList(dialog, 220, {"Column"});
    for (const char* name : {"Title", "Length", "File Path", "Genre"}) AddRow(list, name, false);
    Child(dialog, "BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
    // Applied before the dialog goes, as the player does on OK.
    if (ListView_GetCheckState(::GetDlgItem(dialog, 220), 2)) g_host->ShowPathColumn();
    ::EndDialog(dialog, IDOK);
    return TRUE;
  }
  return FALSE;
}

void ChooseColumns(HWND owner) {
  struct alignas(4) {
    DLGTEMPLATE dialog;
    WORD menu, cls;
    wchar_t title[16];
  } dialog_template{
      {WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 10, 10, 200, 150}, 0, 0, L"Choose Columns"};
  ::DialogBoxIndirectParamW(nullptr, &dialog_template.dialog, owner, ChooseColumnsProc, 0);
}

LRESULT CALLBACK HeaderProc(HWND header, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_RBUTTONUP) {
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuA(menu, MF_STRING, 2, "&Sort By");
    ::AppendMenuA(menu, MF_STRING, kChooseColumnsCommand, "Choose Colu&mns...");
    const UINT chosen =
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, 20, 20, 0, header, nullptr);
    ::DestroyMenu(menu);
    if (chosen == kChooseColumnsCommand) ChooseColumns(header);
    return 0;
  }
  return ::CallWindowProcA(g_header_proc, header, message, wparam, lparam);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == g_add_remove && g_host != nullptr) ++g_host->add_remove_messages;
  return ::DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

PlayerHost::PlayerHost() {
  g_host = this;
  INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&init);
  g_add_remove = ::RegisterWindowMessageA("WMPlayer_PluginAddRemove");
  WNDCLASSA cls{};
  cls.lpfnWndProc = MainProc;
  cls.lpszClassName = "TunewellTestPlayer";
  ::RegisterClassA(&cls);
  main = ::CreateWindowExA(0, cls.lpszClassName, "Windows Media Player",
                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                           nullptr, nullptr);
  // Player window -> child 0 -> its first child -> child 0 -> the Sync pane's controls.
  HWND pane = Child(Child(Child(main, "STATIC", "", 0), "STATIC", "", 7), "STATIC", "", 0);
  combo = Child(pane, WC_COMBOBOXA, "", 208, CBS_DROPDOWNLIST);
  ::SendMessageA(combo, CB_ADDSTRING, 0, LPARAM("Removable Disk (D:)"));
  ::SendMessageA(combo, CB_ADDSTRING, 0, LPARAM("iPod (E:)"));
  ::SendMessageA(combo, CB_SETCURSEL, 1, 0);
  HWND toolbar = Child(pane, TOOLBARCLASSNAMEA, "", 209);
  ::SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBBUTTON button{I_IMAGENONE, 216, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, INT_PTR(0)};
  ::SendMessageA(toolbar, TB_ADDBUTTONSA, 1, LPARAM(&button));
  Child(pane, "STATIC", "", 219);
  sync_list = CheckList(pane, 204, {"Title", "Length"});
  device_list = CheckList(pane, 210, {"Title"});
  HWND header = ListView_GetHeader(sync_list);
  g_header_proc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HeaderProc)));

  settings = ::CreateWindowExA(0, "#32770", "Sync Settings", WS_POPUP | WS_VISIBLE, 100, 100, 400,
                               300, main, nullptr, nullptr, nullptr);
  settings_box_ = Child(settings, "BUTTON", "Sync automatically", 2122, BS_AUTOCHECKBOX);
  HWND page = Child(settings, "#32770", "Custom Sync Settings", 5);
  Child(page, "BUTTON", "", 2161, BS_AUTOCHECKBOX);
  settings_list_ =
      CheckList(Child(Child(page, "STATIC", "", 2224), "STATIC", "", 3), 1, {"Playlist"});
  for (const char* name : kPlaylists) AddRow(settings_list_, name, false);
}

PlayerHost::~PlayerHost() {
  ::DestroyWindow(settings);
  ::DestroyWindow(main);
  g_host = nullptr;
}

void PlayerHost::AddSyncRow(const std::string& title, const std::string& path, bool checked) {
  paths_.push_back(path);
  AddRow(sync_list, title, checked);
}

void PlayerHost::SetSettings(bool automatic, const std::vector<bool>& ticks) {
  ::SendMessageA(settings_box_, BM_SETCHECK, automatic ? BST_CHECKED : BST_UNCHECKED, 0);
  for (size_t i = 0; i < ticks.size(); ++i) ListView_SetCheckState(settings_list_, i, ticks[i]);
}

bool PlayerHost::HasFilePathColumn() const {
  HWND header = ListView_GetHeader(sync_list);
  char text[64];
  for (int i = 0; i < Header_GetItemCount(header); ++i) {
    HDITEMA item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    if (::SendMessageA(header, HDM_GETITEMA, i, LPARAM(&item)) &&
        std::string(text) == "File Path") {
      return true;
    }
  }
  return false;
}

void PlayerHost::ShowPathColumn() {
  if (HasFilePathColumn()) return;
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<char*>("File Path");
  column.cx = 200;
  ::SendMessageA(sync_list, LVM_INSERTCOLUMNA, 2, reinterpret_cast<LPARAM>(&column));
  for (size_t row = 0; row < paths_.size(); ++row) {
    ListView_SetItemText(sync_list, row, 2, const_cast<char*>(paths_[row].c_str()));
  }
}

bool WaitPumping(HANDLE handle, DWORD ms) {
  const DWORD end = ::GetTickCount() + ms;
  for (;;) {
    const DWORD now = ::GetTickCount();
    if (static_cast<LONG>(end - now) <= 0) return false;
    const DWORD r =
        ::MsgWaitForMultipleObjects(handle ? 1 : 0, &handle, FALSE, end - now, QS_ALLINPUT);
    if (handle != nullptr && r == WAIT_OBJECT_0) return true;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
}

bool SaveScreenshot(HWND window, const std::filesystem::path& file) {
  RECT r;
  ::GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  ::SelectObject(memory, old);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  const DWORD stride = (width * 3 + 3) & ~3u;
  std::vector<char> pixels(stride * height);
  ::GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof info;
  BITMAPFILEHEADER head{0x4D42, static_cast<DWORD>(offset + pixels.size()), 0, 0, offset};
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&head), sizeof head);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), pixels.size());
  return out.good();
}

void Pump(DWORD ms) { WaitPumping(nullptr, ms); }

}  // namespace tunewell::fake
