// The player's windows, and its object model built on the C form of its interfaces: each vtable
// starts with every slot answering E_NOTIMPL and only the methods the plug-in calls are filled in.
// One node type serves as media item, playlist (a name and items) and playlist array (items).

#define CINTERFACE
#include "tests/win32/player_host.h"
// (after <windows.h>, which they need)
#include <commctrl.h>
#include <wmp.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <utility>

#include "hook/player_controls.h"

namespace tunewell::fake {

namespace {

PlayerHost* g_host = nullptr;
WNDPROC g_header_proc = nullptr;
UINT g_add_remove = 0;
constexpr UINT kChooseColumnsCommand = 1;
constexpr int kStartSyncId = 300, kStopSyncId = 301, kNowPlayingTabId = 310, kSyncTabId = 311;
constexpr RECT kPaneArea = {0, 0, 620, 480};

HWND Child(HWND parent, const char* cls, const char* text, int id, DWORD style = 0,
           RECT at = {0, 0, 620, 440}) {
  return ::CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, at.left, at.top, at.right,
                           at.bottom, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           nullptr, nullptr);
}

HWND CheckList(HWND parent, int id, const std::vector<const char*>& columns,
               RECT at = {0, 0, 300, 200}) {
  HWND list = Child(parent, WC_LISTVIEWA, "", id, LVS_REPORT | WS_BORDER, at);
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
  for (size_t i = 0; i < columns.size(); ++i) AddColumn(list, i, columns[i]);
  return list;
}

INT_PTR CALLBACK ChooseColumnsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) {
    HWND list = CheckList(dialog, kChooseColumnsListId, {"Column"});
    for (const char* name : {"Title", "Length", "File Path", "Genre"}) AddRow(list, name, false);
    Child(dialog, "BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
    // Applied before the dialog goes, as the player does on OK.
    if (ListView_GetCheckState(::GetDlgItem(dialog, kChooseColumnsListId), 2)) {
      g_host->ShowPathColumn();
    }
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
  if (g_host != nullptr && g_host->main_seen) g_host->main_seen(message);
  if (message == g_add_remove && g_host != nullptr) ++g_host->add_remove_messages;
  const int id = message == WM_COMMAND ? LOWORD(wparam) : 0;
  if (id == kSyncTabId || id == kNowPlayingTabId) g_host->ShowSyncTab(id == kSyncTabId);
  return ::DefWindowProcA(window, message, wparam, lparam);
}

// The player's own handlers of the Sync pane's buttons: a sync of its own, and its stop.
LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const int id = message == WM_COMMAND ? LOWORD(wparam) : 0;
  g_host->own_syncs += id == kStartSyncId;
  if (id == kStopSyncId) ++g_host->own_stops, ::EnableWindow(g_host->stop_sync, FALSE);
  if (id == kDeviceComboId && HIWORD(wparam) == CBN_SELCHANGE) {
    g_host->ChooseDevice(static_cast<int>(::SendMessageA(g_host->combo, CB_GETCURSEL, 0, 0)));
  }
  return ::DefWindowProcA(window, message, wparam, lparam);
}

// The settings dialog takes its OK: it closes.
INT_PTR CALLBACK SettingsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message != WM_COMMAND || LOWORD(wparam) != IDOK) return FALSE;
  return ++g_host->settings_oks, ::ShowWindow(dialog, SW_HIDE), TRUE;
}

}  // namespace

void AddColumn(HWND list, int index, const char* text, int width) {
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = width;
  column.pszText = const_cast<char*>(text);
  ::SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
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

PlayerHost::PlayerHost() {
  g_host = this;
  INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&init);
  g_add_remove = ::RegisterWindowMessageA("WMPlayer_PluginAddRemove");
  WNDCLASSA cls{};
  cls.lpfnWndProc = MainProc;
  cls.lpszClassName = "TunewellTestPlayer";
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  ::RegisterClassA(&cls);
  cls.lpfnWndProc = PaneProc;
  cls.lpszClassName = "TunewellTestPane";
  ::RegisterClassA(&cls);
  main = ::CreateWindowExA(0, "TunewellTestPlayer", "Windows Media Player",
                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 560, nullptr, nullptr,
                           nullptr, nullptr);
  // Player window -> child 0 -> its first child -> child 0 (the pane) -> the Sync pane's controls.
  pane_parent_ = Child(Child(main, "STATIC", "", 0, 0, kPaneArea), "STATIC", "", 7, 0, kPaneArea);
  ShowSyncTab(true);
  Child(main, "BUTTON", "Now Playing", kNowPlayingTabId, 0, {10, 488, 90, 26});
  Child(main, "BUTTON", "Sync", kSyncTabId, 0, {110, 488, 90, 26});
  ::UpdateWindow(main);

  settings = ::CreateWindowExA(0, "#32770", "Sync Settings", WS_POPUP | WS_VISIBLE, 100, 100, 400,
                               300, main, nullptr, nullptr, nullptr);
  ::SetWindowLongPtrA(settings, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&SettingsProc));
  settings_box_ = Child(settings, "BUTTON", "Sync automatically", kAutoSyncBoxId, BS_AUTOCHECKBOX,
                        {10, 4, 200, 22});
  HWND page = Child(settings, "#32770", "Custom Sync Settings", 5, 0, {0, 30, 400, 225});
  Child(page, "BUTTON", "", kCustomPageBoxId, BS_AUTOCHECKBOX);
  settings_list_ = CheckList(Child(Child(page, "STATIC", "", kPlaylistHostId), "STATIC", "", 3),
                             kPlaylistListId, {"Playlist"});
  for (int k = 1; k <= 5; ++k) AddRow(settings_list_, "Playlist " + std::to_string(k), false);
  Child(settings, "BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON, {300, 262, 80, 26});
}

// The player rebuilds the Sync pane each time its tab is shown; the device stays chosen.
void PlayerHost::ShowSyncTab(bool shown) {
  if (pane_ != nullptr) ::DestroyWindow(std::exchange(pane_, nullptr));
  combo = toolbar = eject_host = sync_list = device_list = start_sync = stop_sync = nullptr;
  if (!shown) return;
  HWND pane = pane_ = Child(pane_parent_, "TunewellTestPane", "", 0, 0, kPaneArea);
  combo = Child(pane, WC_COMBOBOXA, "", kDeviceComboId, CBS_DROPDOWNLIST, {10, 10, 180, 200});
  for (const char* device : {"Removable Disk (D:)", "iPod (E:)", "iPod (F:)", "iPod (G:)"}) {
    ::SendMessageA(combo, CB_ADDSTRING, 0, LPARAM(device));
  }
  ChooseDevice(device_);
  toolbar = Child(pane, TOOLBARCLASSNAMEA, "", kSyncToolbarId, CCS_NOPARENTALIGN | CCS_NORESIZE,
                  {200, 8, 100, 30});
  ::SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBBUTTON button{I_IMAGENONE, kRemoveButtonId, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, INT_PTR(0)};
  ::SendMessageA(toolbar, TB_ADDBUTTONSA, 1, LPARAM(&button));
  // (SS_NOTIFY: a plain static passes clicks on to its parent)
  eject_host = Child(pane, "STATIC", "", kEjectHostId, SS_NOTIFY, {310, 10, 200, 24});
  sync_list = CheckList(pane, kSyncListId, {"Title", "Length"}, {10, 50, 300, 380});
  device_list = CheckList(pane, kDeviceListId, {"Title"}, {320, 50, 290, 380});
  ListView_SetColumnWidth(device_list, 0, 260);
  start_sync = Child(pane, "BUTTON", "Start Sync", kStartSyncId, 0, {330, 436, 90, 26});
  stop_sync = Child(pane, "BUTTON", "Stop Sync", kStopSyncId, WS_DISABLED, {430, 436, 90, 26});
  HWND header = ListView_GetHeader(sync_list);
  g_header_proc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HeaderProc)));
}

PlayerHost::~PlayerHost() {
  ::DestroyWindow(settings);
  ::DestroyWindow(main);
  g_host = nullptr;
}

namespace {

struct Foreign {
  WNDPROC next;
  UINT counted;
  int passes;
  std::vector<UINT> passing;
};
std::map<HWND, Foreign> g_foreign;

LRESULT CALLBACK ForeignProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Foreign& foreign = g_foreign[window];
  foreign.passes += message == foreign.counted;
  // Come round again: DefWindowProc ends the loop, and a paint.
  if (std::ranges::count(foreign.passing, message) != 0) {
    return ::DefWindowProcA(window, message, wparam, lparam);
  }
  foreign.passing.push_back(message);
  const LRESULT answer = ::CallWindowProcA(foreign.next, window, message, wparam, lparam);
  foreign.passing.pop_back();
  return answer;
}

}  // namespace

void SubclassAfter(HWND window, UINT counted) {
  const auto next = ::SetWindowLongPtrA(window, GWLP_WNDPROC, LONG_PTR(&ForeignProc));
  g_foreign[window] = {reinterpret_cast<WNDPROC>(next), counted, 0, {}};
}

int ForeignPasses(HWND window) { return g_foreign[window].passes; }

void LeaveChain(HWND window) {
  if (::GetWindowLongPtrA(window, GWLP_WNDPROC) == LONG_PTR(&ForeignProc)) {
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, LONG_PTR(g_foreign[window].next));
  }
}

void PlayerHost::AddSyncRow(const std::string& title, const std::string& path, bool checked) {
  paths_.push_back(path);
  AddRow(sync_list, title, checked);
}

void PlayerHost::SetSettings(bool automatic, const std::vector<bool>& ticks) {
  ::SendMessageA(settings_box_, BM_SETCHECK, automatic ? BST_CHECKED : BST_UNCHECKED, 0);
  for (size_t i = 0; i < ticks.size(); ++i) ListView_SetCheckState(settings_list_, i, ticks[i]);
}

// Only ShowPathColumn adds a third column.
bool PlayerHost::HasFilePathColumn() const {
  return Header_GetItemCount(ListView_GetHeader(sync_list)) == 3;
}

void PlayerHost::ShowPathColumn() {
  if (HasFilePathColumn()) return;
  AddColumn(sync_list, 2, "File Path", 200);
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

int Pixels::Count(COLORREF colour, int x0, int y0, int x1, int y1) const {
  int n = 0;
  for (int y = std::max(y0, 0); y < std::min(y1, height); ++y) {
    for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) n += at(x, y) == colour;
  }
  return n;
}

namespace {

// Runs `draw` on a white 24-bit bitmap of the given size and reads it back.
template <typename Draw>
Pixels Render(int width, int height, Draw draw) {
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  RECT all{0, 0, width, height};
  ::FillRect(memory, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  draw(memory, screen);
  ::SelectObject(memory, old);
  BITMAPINFOHEADER info{sizeof info, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<DWORD> bgr(static_cast<size_t>(width) * height);
  ::GetDIBits(memory, bitmap, 0, height, bgr.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  Pixels pixels{width, height, {}};
  for (DWORD p : bgr) pixels.rgb.push_back(RGB(GetBValue(p), GetGValue(p), GetRValue(p)));
  return pixels;
}

}  // namespace

Pixels CaptureScreen(const RECT& r) {
  return Render(r.right - r.left, r.bottom - r.top, [&](HDC memory, HDC screen) {
    ::BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
  });
}

Pixels PrintClient(HWND window) {
  RECT r;
  ::GetClientRect(window, &r);
  return Render(r.right, r.bottom, [&](HDC memory, HDC) {
    ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
  });
}

void SaveScreenshot(const Pixels& pixels, const std::string& name) {
  const char* folder = std::getenv("TUNEWELL_SCREENSHOT_DIR");
  if (folder == nullptr) return;
  BITMAPINFOHEADER info{sizeof info, pixels.width, -pixels.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<DWORD> bgr;
  for (COLORREF c : pixels.rgb) bgr.push_back(RGB(GetBValue(c), GetGValue(c), GetRValue(c)));
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof info;
  const DWORD bytes = static_cast<DWORD>(bgr.size() * sizeof(DWORD));
  BITMAPFILEHEADER head{0x4D42, offset + bytes, 0, 0, offset};
  std::ofstream out(std::filesystem::path(folder) / (name + ".bmp"), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&head), sizeof head);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(reinterpret_cast<const char*>(bgr.data()), bytes);
}

// The object model.

namespace {

struct Node {
  const void* vtbl;
  LONG refs = 0;
  Player::State* player = nullptr;
  MediaSpec media;
  std::vector<Node*> items;
};

}  // namespace

struct Player::State {
  Node *core = nullptr, *playlist_collection = nullptr, *media_collection = nullptr;
  std::deque<Node> nodes;
  std::vector<Node*> media;
  // Playlists the collection lists, in order; removed ones leave it.
  std::vector<Node*> listed;
  // The thread the objects belong to, and the calls that came on another.
  const DWORD thread = ::GetCurrentThreadId();
  std::atomic<int> elsewhere = 0;
  Node* New(const void* vtbl, std::vector<Node*> items = {}, const std::wstring& name = L"") {
    return &nodes.emplace_back(Node{vtbl, 0, this, {name, L"", {}}, std::move(items)});
  }
};

namespace {

// Every method, reference counting included, starts here.
Node* Called(void* self) {
  Node* node = static_cast<Node*>(self);
  if (::GetCurrentThreadId() != node->player->thread) ++node->player->elsewhere;
  return node;
}
#define SELF Called(self)

HRESULT STDMETHODCALLTYPE NotImpl(void* self) { return Called(self), E_NOTIMPL; }
HRESULT HandOut(Node* node, void* out) {
  return ++node->refs, *static_cast<void**>(out) = node, S_OK;
}
HRESULT STDMETHODCALLTYPE QueryInterface(void* self, REFIID, void** out) {
  return HandOut(SELF, out);
}
ULONG STDMETHODCALLTYPE AddRef(void* self) { return ++SELF->refs; }
ULONG STDMETHODCALLTYPE Release(void* self) { return --SELF->refs; }

template <typename Vtbl>
Vtbl Unimplemented() {
  Vtbl vtbl;
  void** slots = reinterpret_cast<void**>(&vtbl);
  std::fill_n(slots, sizeof vtbl / sizeof(void*), reinterpret_cast<void*>(&NotImpl));
  slots[0] = reinterpret_cast<void*>(&QueryInterface);
  slots[1] = reinterpret_cast<void*>(&AddRef);
  slots[2] = reinterpret_cast<void*>(&Release);
  return vtbl;
}

BSTR Text(const std::wstring& text) { return ::SysAllocStringLen(text.data(), text.size()); }
std::wstring Text(BSTR text) { return std::wstring(text, ::SysStringLen(text)); }

HRESULT Count(Node* list, LONG* out) { return *out = static_cast<LONG>(list->items.size()), S_OK; }
HRESULT Item(Node* list, LONG index, void* out) {
  if (index < 0 || static_cast<size_t>(index) >= list->items.size()) return E_INVALIDARG;
  return HandOut(list->items[index], out);
}

const IWMPMediaVtbl kMediaVtbl = [] {
  auto v = Unimplemented<IWMPMediaVtbl>();
  v.get_name = [](IWMPMedia* self, BSTR* out) { return *out = Text(SELF->media.name), S_OK; };
  v.get_sourceURL = [](IWMPMedia* self, BSTR* out) { return *out = Text(SELF->media.url), S_OK; };
  v.get_duration = [](IWMPMedia* self, double* out) { return SELF, *out = 185.5, S_OK; };
  v.getItemInfo = [](IWMPMedia* self, BSTR name, BSTR* out) {
    const auto found = SELF->media.info.find(Text(name));
    *out = Text(found == SELF->media.info.end() ? L"" : found->second);
    return S_OK;
  };
  return v;
}();

const IWMPPlaylistVtbl kPlaylistVtbl = [] {
  auto v = Unimplemented<IWMPPlaylistVtbl>();
  v.get_count = [](IWMPPlaylist* self, LONG* out) { return Count(SELF, out); };
  v.get_Item = [](IWMPPlaylist* self, LONG index, IWMPMedia** out) {
    return Item(SELF, index, out);
  };
  v.appendItem = [](IWMPPlaylist* self, IWMPMedia* media) {
    SELF->items.push_back(reinterpret_cast<Node*>(media));
    return S_OK;
  };
  return v;
}();

const IWMPPlaylistArrayVtbl kArrayVtbl = [] {
  auto v = Unimplemented<IWMPPlaylistArrayVtbl>();
  v.get_count = [](IWMPPlaylistArray* self, LONG* out) { return Count(SELF, out); };
  v.Item = [](IWMPPlaylistArray* self, LONG index, IWMPPlaylist** out) {
    return Item(SELF, index, out);
  };
  return v;
}();

// A new list, of type `vtbl`, of the nodes in `from` named `name` (all of them for null).
HRESULT Named(Node* self, const std::vector<Node*>& from, BSTR name, const void* vtbl, void* out) {
  std::vector<Node*> chosen;
  for (Node* n : from) {
    if (name == nullptr || n->media.name == Text(name)) chosen.push_back(n);
  }
  return HandOut(self->player->New(vtbl, chosen), out);
}

const IWMPPlaylistCollectionVtbl kPlaylistCollectionVtbl = [] {
  auto v = Unimplemented<IWMPPlaylistCollectionVtbl>();
  v.newPlaylist = [](IWMPPlaylistCollection* self, BSTR name, IWMPPlaylist** out) {
    Node* p = SELF->player->New(&kPlaylistVtbl, {}, Text(name));
    SELF->player->listed.push_back(p);
    return HandOut(p, out);
  };
  v.getAll = [](IWMPPlaylistCollection* self, IWMPPlaylistArray** out) {
    return Named(SELF, SELF->player->listed, nullptr, &kArrayVtbl, out);
  };
  v.getByName = [](IWMPPlaylistCollection* self, BSTR name, IWMPPlaylistArray** out) {
    return Named(SELF, SELF->player->listed, name, &kArrayVtbl, out);
  };
  v.remove = [](IWMPPlaylistCollection* self, IWMPPlaylist* playlist) {
    std::erase(SELF->player->listed, reinterpret_cast<Node*>(playlist));
    return S_OK;
  };
  return v;
}();

const IWMPMediaCollectionVtbl kMediaCollectionVtbl = [] {
  auto v = Unimplemented<IWMPMediaCollectionVtbl>();
  v.getByName = [](IWMPMediaCollection* self, BSTR name, IWMPPlaylist** out) {
    return Named(SELF, SELF->player->media, name, &kPlaylistVtbl, out);
  };
  return v;
}();

const IWMPCoreVtbl kCoreVtbl = [] {
  auto v = Unimplemented<IWMPCoreVtbl>();
  v.get_playlistCollection = [](IWMPCore* self, IWMPPlaylistCollection** out) {
    return HandOut(SELF->player->playlist_collection, out);
  };
  v.get_mediaCollection = [](IWMPCore* self, IWMPMediaCollection** out) {
    return HandOut(SELF->player->media_collection, out);
  };
  return v;
}();

}  // namespace

Player::Player() : state_(std::make_unique<State>()) {
  state_->core = state_->New(&kCoreVtbl);
  state_->playlist_collection = state_->New(&kPlaylistCollectionVtbl);
  state_->media_collection = state_->New(&kMediaCollectionVtbl);
}

Player::~Player() = default;

void* Player::core() { return state_->core; }

int Player::AddMedia(MediaSpec media) {
  Node* m = state_->New(&kMediaVtbl);
  m->media = std::move(media);
  state_->media.push_back(m);
  return static_cast<int>(state_->media.size()) - 1;
}

void Player::AddPlaylist(const std::wstring& name, const std::vector<int>& media) {
  Node* p = state_->New(&kPlaylistVtbl, {}, name);
  for (int i : media) p->items.push_back(state_->media[i]);
  state_->listed.push_back(p);
}

int Player::CountPlaylists(const std::wstring& name) const {
  return static_cast<int>(std::count_if(state_->listed.begin(), state_->listed.end(),
                                        [&](Node* p) { return p->media.name == name; }));
}

int Player::TakeCallsElsewhere() { return state_->elsewhere.exchange(0); }

long Player::LiveReferences() const {
  long live = 0;
  for (const Node& n : state_->nodes) live += n.refs;
  return live;
}

}  // namespace tunewell::fake
