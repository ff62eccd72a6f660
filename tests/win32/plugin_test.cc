// Tunewell.dll loaded into a stand-in player under wine: registration, the COM object's life,
// and hook events raised through the stand-in latchkey.dll against an iPod mapped as E:.
// Run by scripts/plugin-tests.sh, which maps E: and checks the iPod's databases afterwards.
// Each test sets up the plug-in and the iPod it needs, so any order or selection runs.
// Last, the progress dialog driven as a sync run drives it.

#include <gtest/gtest.h>
#include <windows.h>
// (after <windows.h>, which it needs)
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <utility>

#include "cli/silent_mp3.h"
#include "database/empty_database.h"
#include "database/ipod_database.h"
#include "hook/player_controls.h"
#include "player/win32/auto_sync_selection.h"
#include "player/win32/player_thread.h"
#include "player/win32/player_windows.h"
#include "player/win32/plugin_ui.h"
#include "player/win32/sync_controller.h"
#include "sync/auto_sync_file.h"
#include "sync/win32/progress_dialog.h"
#include "tests/support/ipod_tree.h"
#include "tests/win32/player_host.h"

namespace tunewell {
namespace {

namespace fs = std::filesystem;
constexpr char kRoot[] = "E:\\";
const std::wstring kPluginKey =
    std::wstring(L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\") + kClsidCadenzaText;

HRESULT Call(HMODULE module, const char* name) {
  return fake::Export<HRESULT(WINAPI*)()>(module, name)();
}

int MusicFiles() { return fixture::CountMusicFiles(Env::Default(), kRoot); }

// A text or DWORD value as text.
std::string RegText(HKEY root, const std::wstring& key, const wchar_t* name) {
  union {
    wchar_t text[512];
    DWORD number;
  } value{};
  DWORD size = sizeof value, type = 0;
  if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, &value,
                     &size)) {
    return "<missing>";
  }
  return type == REG_DWORD ? std::to_string(value.number) : fs::path(value.text).string();
}

LONG_PTR Procedure(HWND window) {
  return ::IsWindowUnicode(window) ? ::GetWindowLongPtrW(window, GWLP_WNDPROC)
                                   : ::GetWindowLongPtrA(window, GWLP_WNDPROC);
}

// Subkeys and values of a key; none when it is missing.
std::pair<unsigned long, unsigned long> KeyShape(HKEY root, const std::wstring& key) {
  HKEY opened;
  DWORD subkeys = 0, values = 0;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
  ::RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
  ::RegCloseKey(opened);
  return {subkeys, values};
}

// Everything one process holds: the plug-in and the stand-ins are process-wide, as in the player.
class PluginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(::GetFileAttributesA("E:\\iPod_Control"), INVALID_FILE_ATTRIBUTES)
        << "E: must be an iPod folder (scripts/plugin-tests.sh maps it)";
    latchkey = ::LoadLibraryW((fake::HostFolder() / "latchkey.dll").c_str());
    plugin = ::LoadLibraryW((fake::HostFolder() / "Tunewell.dll").c_str());
    ASSERT_TRUE(latchkey && plugin);
    raise = fake::Export<StandinRaiseEventFn>(latchkey, "StandinRaiseEvent");
    state = fake::Export<StandinStateFn>(latchkey, "StandinGetState")();
    host = new fake::PlayerHost();
    own_list_procedure = Procedure(host->device_list);
    own_host_procedure = Procedure(host->eject_host);
    player = new fake::Player();
    *state = {0,          nullptr, 0, 0, "E:\\", host->sync_list, host->device_list, host->settings,
              host->combo};
    MakeLibrary();
  }

  // The player as every test finds it: E: its iPod, in the combo box too, no "File Path" column,
  // no stop counted. Whatever else a test needs (the plug-in attached, its view, a fresh iPod) it
  // sets up.
  void SetUp() override {
    SetRoot(kRoot);
    host->ChooseDevice(1);
    ListView_DeleteColumn(host->sync_list, 2);
    state->stops = 0;
  }
  // The player takes the view off its lists and lets go of the plug-in. Every call on its
  // objects, reference counting included, came on its own thread.
  void TearDown() override {
    if (attached != nullptr) {
      RaiseAndWait(8);
      attached->SetCore(nullptr);
      std::exchange(attached, nullptr)->Release();
    }
    EXPECT_EQ(player->TakeCallsElsewhere(), 0);
  }

  // The plug-in as the player creates it and hands it the core.
  static void Attach() {
    attached = CreatePlugin();
    ASSERT_EQ(attached->SetCore(static_cast<IWMPCore*>(player->core())), S_OK);
  }
  // E: as `tunewell init --shuffle` makes it: empty databases and twenty music folders.
  static void FreshIPod() {
    for (const auto& entry : fs::directory_iterator(kRoot)) fs::remove_all(entry.path());
    const fixture::IPodTree tree{20, BuildEmptyITunesDb(), BuildEmptyITunesSd()};
    ASSERT_TRUE(fixture::WriteIPodTree(Env::Default(), kRoot, tree).ok());
  }

  // Source files and the player's library: each playlist "Playlist k" holds its own song and
  // Morning.
  static void MakeLibrary() {
    const fs::path music = fs::temp_directory_path() / "tunewell-plugin-test";
    fs::remove_all(music);
    auto add = [&](const std::string& title, const std::string& file,
                   const wchar_t* album = L"Album", const wchar_t* artist = L"Artist") {
      const fs::path path = music / file;
      fs::create_directories(path.parent_path());
      std::ofstream(path, std::ios::binary) << cli::SilentMp3(40);
      return player->AddMedia({std::wstring(title.begin(), title.end()),
                               path.wstring(),
                               {{L"FileType", path.extension() == ".wma" ? L"wma" : L"mp3"},
                                {L"Author", artist},
                                {L"WM/AlbumTitle", album},
                                {L"WM/TrackNumber", L"3"}}});
    };
    // Sync list rows: checked, a WMA, one song twice from two folders, one that no library item
    // has, one unchecked.
    const struct {
      const char *title, *file;
      bool in_library, checked;
    } rows[] = {
        {"Morning", "a\\morning.mp3", true, true}, {"Rain", "a\\rain.wma", true, true},
        {"Same", "a\\same.mp3", true, true},       {"Same", "b\\same.mp3", true, true},
        {"Ghost", "c\\ghost.mp3", false, true},    {"Unchecked", "a\\unchecked.mp3", true, false}};
    for (const auto& row : rows) {
      if (row.in_library) add(row.title, row.file);
      host->AddSyncRow(row.title, (music / row.file).string(), row.checked);
    }
    for (int k = 1; k <= 5; ++k) {
      const std::string n = std::to_string(k);
      player->AddPlaylist(L"Playlist " + std::wstring(n.begin(), n.end()),
                          {add("List song " + n, "p\\" + n + ".mp3", L"Lists", L"Lister"), 0});
    }
  }

  static void SetRoot(const char* root) { std::strcpy(state->root, root); }

  // Raises `code` through the stand-in and waits a minute at most for the worker, calling
  // `meanwhile` every 20 ms; false when no worker was started.
  static bool RaiseAndWait(int code, const std::function<void()>& meanwhile = nullptr) {
    HANDLE worker = raise(code);
    if (worker == nullptr) return false;
    int waited = 0;
    while (!fake::WaitPumping(worker, 20) && (waited += 20) < 60000) {
      if (meanwhile) meanwhile();
    }
    EXPECT_LT(waited, 60000) << "event " << code;
    ::CloseHandle(worker);
    return true;
  }

  static IWMPPluginUI* CreatePlugin(IClassFactory** factory_out = nullptr,
                                    HMODULE module = plugin) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(fake::Export<LPFNGETCLASSOBJECT>(module, "DllGetClassObject")(
                  kClsidCadenza, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    IWMPPluginUI* ui = nullptr;  // as the player asks for it
    EXPECT_EQ(factory->CreateInstance(nullptr, kIidWmpPluginUI, reinterpret_cast<void**>(&ui)),
              S_OK);
    factory_out != nullptr ? void(*factory_out = factory) : void(factory->Release());
    return ui;
  }

  static void SetAutoSync(const std::vector<std::string>& names) {
    ASSERT_TRUE(WriteAutoSyncSelection(Env::Default(), kRoot, names).ok());
  }
  static std::string AutoSyncBytes() {
    AutoSyncFile file(Env::Default());
    return file.Read(kRoot) == AutoSyncFile::ReadResult::kAbsent ? "<absent>" : file.data();
  }

  static inline HMODULE latchkey = nullptr, plugin = nullptr;
  static inline StandinRaiseEventFn raise = nullptr;
  static inline StandinState* state = nullptr;
  static inline fake::PlayerHost* host = nullptr;
  static inline fake::Player* player = nullptr;
  // The plug-in attached to the player, until the test's end.
  static inline IWMPPluginUI* attached = nullptr;
  static inline LONG_PTR own_list_procedure = 0, own_host_procedure = 0;
};

// Tunewell.dll, and a renamed copy in a folder of its own without the hook library beside it:
// each registers its own file, once however often asked, and unregisters what it owns; the
// object holds the module while it lives, and only a hooked module stays pinned after it.
TEST_F(PluginTest, RegistrationAndObjectLife) {
  const std::wstring class_key = std::wstring(L"CLSID\\") + kClsidCadenzaText;
  const std::wstring server = class_key + L"\\InprocServer32";
  const fs::path alone = fs::temp_directory_path() / "tunewell-alone";
  fs::create_directories(alone);
  fs::copy_file(fake::HostFolder() / "Tunewell.dll", alone / "Renamed.dll",
                fs::copy_options::overwrite_existing);
  for (const fs::path& dll : {fake::HostFolder() / "Tunewell.dll", alone / "Renamed.dll"}) {
    SCOPED_TRACE(dll.string());
    const bool hooked = dll.parent_path() == fake::HostFolder();
    HMODULE module = hooked ? plugin : ::LoadLibraryW(dll.c_str());
    ASSERT_NE(module, nullptr);
    host->add_remove_messages = 0;
    ASSERT_EQ(Call(module, "DllRegisterServer"), S_OK);
    ASSERT_EQ(Call(module, "DllRegisterServer"), S_OK);
    const std::string res = "res://" + dll.filename().string() + "/RT_STRING/#";
    const struct {
      HKEY root;
      std::wstring key;
      const wchar_t* name;
      std::string value;
    } values[] = {{HKEY_CLASSES_ROOT, class_key, nullptr, "Cadenza Class"},
                  {HKEY_CLASSES_ROOT, server, nullptr, dll.string()},
                  {HKEY_CLASSES_ROOT, server, L"ThreadingModel", "Apartment"},
                  {HKEY_LOCAL_MACHINE, kPluginKey, L"FriendlyName", res + "102"},
                  {HKEY_LOCAL_MACHINE, kPluginKey, L"Description", res + "103"},
                  {HKEY_LOCAL_MACHINE, kPluginKey, L"Capabilities", std::to_string(0xC0000001u)}};
    for (const auto& v : values) EXPECT_EQ(RegText(v.root, v.key, v.name), v.value);
    // One copy: one subkey and one value under the class, none and three under the entry.
    EXPECT_EQ(KeyShape(HKEY_CLASSES_ROOT, class_key), std::make_pair(1ul, 1ul));
    EXPECT_EQ(KeyShape(HKEY_LOCAL_MACHINE, kPluginKey), std::make_pair(0ul, 3ul));
    ASSERT_EQ(Call(module, "DllUnregisterServer"), S_OK);
    EXPECT_EQ(KeyShape(HKEY_CLASSES_ROOT, class_key), std::make_pair(0ul, 0ul));
    EXPECT_EQ(KeyShape(HKEY_LOCAL_MACHINE, kPluginKey), std::make_pair(0ul, 0ul));
    EXPECT_GT(KeyShape(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins").first +
                  KeyShape(HKEY_CLASSES_ROOT, L"CLSID").first,
              1ul);
    fake::Pump(200);
    EXPECT_EQ(host->add_remove_messages, 3);

    IClassFactory* factory = nullptr;
    IWMPPluginUI* ui = CreatePlugin(&factory, module);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(Call(module, "DllCanUnloadNow"), S_FALSE);
    factory->Release();
    EXPECT_EQ(Call(module, "DllCanUnloadNow"), S_FALSE);
    const StandinState before = *state;
    EXPECT_EQ(ui->SetCore(nullptr), S_OK);
    EXPECT_EQ(state->installs, before.installs);
    auto* core = static_cast<IWMPCore*>(player->core());
    EXPECT_EQ(ui->SetCore(core), S_OK);
    const StandinState first = *state;
    // The hook goes in once per process, whichever object came first.
    EXPECT_EQ(first.installs, hooked ? 1 : before.installs);
    EXPECT_NE(first.context, nullptr);
    // A second core while attached: the hook keeps its one, live context.
    EXPECT_EQ(ui->SetCore(core), S_OK);
    EXPECT_EQ(std::tie(state->installs, state->context), std::tie(first.installs, first.context));
    VARIANT value{};
    EXPECT_EQ(ui->GetProperty(L"Name", nullptr), E_POINTER);
    EXPECT_EQ(ui->GetProperty(L"Name", &value), E_NOTIMPL);
    EXPECT_EQ(ui->SetCore(nullptr), S_OK);
    EXPECT_EQ(player->LiveReferences(), 0);
    EXPECT_EQ(ui->Release(), 0u);
    EXPECT_EQ(Call(module, "DllCanUnloadNow"), S_OK);
    EXPECT_TRUE(::FreeLibrary(module));
    EXPECT_EQ(::GetModuleHandleW(dll.filename().c_str()) != nullptr, hooked);
  }
}

TEST_F(PluginTest, PropertyPageShowsTheModulesVersion) {
  IWMPPluginUI* ui = CreatePlugin();
  std::string version;
  std::thread closer([&] {
    HWND dialog = nullptr;
    for (int i = 0; i < 500 && !(dialog = ::FindWindowA(nullptr, "Tunewell Properties")); ++i) {
      ::Sleep(10);
    }
    if (dialog == nullptr) return;
    ::Sleep(500);  // painted
    version = WindowText(::GetDlgItem(dialog, 1015));
    fake::SaveScreenshot(fake::CaptureScreen(fake::ScreenRect(dialog)), "about-dialog");
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(ui->DisplayPropertyPage(host->main), S_OK);
  closer.join();
  EXPECT_EQ(version, "Tunewell 1.1.0.15");
  ui->Release();
}

// The notice, and requests while the hook library reports no iPod or no drive root: a message
// box, found by its caption, for the notice and the Sync tab's sync only; nothing else.
TEST_F(PluginTest, NoticesAndNothingElse) {
  Attach();
  const int files = MusicFiles();
  const char* no_ipod = "No iPod was found. Connect the iPod and sync again.";
  struct Case {
    int code;
    const char* root;
    const char* text;
  };
  for (const Case& c :
       {Case{2, kRoot, "Thank you for using Harborline. Please sync from the Sync Tab."},
        Case{0, "", no_ipod}, Case{1, "E:", ""}, Case{3, "", ""}, Case{0, "..\\x", no_ipod}}) {
    SetRoot(c.root);
    const StandinState before = *state;
    std::string text;
    ASSERT_TRUE(RaiseAndWait(c.code, [&] {
      HWND box = ::FindWindowA(nullptr, "Harborline");
      if (::IsWindowVisible(box)) {  // its texts set
        text = WindowText(::GetDlgItem(box, 0xFFFF));
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
    }));
    EXPECT_EQ(text, c.text) << "event " << c.code << " root " << c.root;
    if (c.code == 2) {
      EXPECT_EQ(state->root_queries, before.root_queries);
    }
  }
  EXPECT_EQ(MusicFiles(), files);
  EXPECT_EQ(state->stops, 0);
  EXPECT_FALSE(host->HasFilePathColumn());
}

TEST_F(PluginTest, SyncTabEventSyncsTheCheckedMp3sOnce) {
  FreshIPod();
  Attach();
  HWND dialog = nullptr;  // the run's progress dialog, gone with it
  ASSERT_TRUE(RaiseAndWait(0, [&] {
    if (dialog == nullptr) dialog = ::FindWindowA(nullptr, "Synchronization in Progress");
  }));
  EXPECT_NE(dialog, nullptr);
  EXPECT_FALSE(::IsWindow(dialog));
  // Morning and the first Same: the WMA, the repeat, the unknown path and the unchecked row not.
  EXPECT_EQ(MusicFiles(), 2);
  EXPECT_TRUE(host->HasFilePathColumn());
  EXPECT_EQ(player->CountPlaylists(L"TunewellTemp"), 0);
  ASSERT_TRUE(RaiseAndWait(0));
  EXPECT_EQ(MusicFiles(), 2);
  EXPECT_EQ(state->stops, 0);
}

// What the settings dialog says: its own automatic-sync box, or without one the custom page's;
// the rows whose state image includes the tick; an empty selection without a playlist list.
TEST_F(PluginTest, SettingsDialogSelection) {
  HWND dialog = host->settings, page = FindCustomSyncPage(dialog);
  HWND own_box = ::GetDlgItem(dialog, kAutoSyncBoxId),
       page_box = ::GetDlgItem(page, kCustomPageBoxId);
  HWND list =
      ::GetDlgItem(::GetWindow(::GetDlgItem(page, kPlaylistHostId), GW_CHILD), kPlaylistListId);
  host->SetSettings(false, {false, true, false, false, false});
  ListView_SetItemState(list, 2, INDEXTOSTATEIMAGEMASK(4), LVIS_STATEIMAGEMASK);
  ListView_SetItemState(list, 3, INDEXTOSTATEIMAGEMASK(3), LVIS_STATEIMAGEMASK);
  // The dialog's box 2122 (-1: none), the page's 2161 ticked, a list, and the file made. The
  // last case leaves the dialog whole.
  const std::tuple<int, bool, bool, std::string> cases[] = {
      {-1, false, true, "<absent>"},
      {-1, true, true, std::string("Playlist 2\0\nPlaylist 4\0\n", 24)},
      {1, false, false, ""},
      {0, true, true, "<absent>"}};
  for (const auto& [own, page_ticked, has_list, file] : cases) {
    SetAutoSync({"Before"});
    ::SetWindowLongPtrA(own_box, GWLP_ID, own < 0 ? 0 : kAutoSyncBoxId);
    ::SendMessageA(own_box, BM_SETCHECK, own > 0, 0);
    ::SendMessageA(page_box, BM_SETCHECK, page_ticked, 0);
    ::SetWindowLongPtrA(list, GWLP_ID, has_list ? kPlaylistListId : 0);
    SaveAutoSyncSelection(Env::Default(), dialog, kRoot);
    EXPECT_EQ(AutoSyncBytes(), file) << own << page_ticked << has_list;
  }
}

// Automatic events sync what the selection names, the settings event first saving the dialog's;
// an empty selection stands for every playlist, unknown names give nothing. Of these events only
// the settings event stops the player's own sync.
TEST_F(PluginTest, AutomaticEventsSyncWhatTheSelectionNames) {
  FreshIPod();
  Attach();
  host->SetSettings(true, {false, true, false, true, false});
  struct Case {
    int code;
    std::vector<std::string> names;
    int files;
  };
  for (const Case& c : {Case{3, {"Playlist 5"}, 3}, Case{1, {"No such list", "Playlist 5"}, 4},
                        Case{12, {"Playlist 1"}, 5}, Case{-1, {}, 6}}) {
    SetAutoSync(c.names);
    ASSERT_TRUE(RaiseAndWait(c.code));
    EXPECT_EQ(MusicFiles(), c.files) << "event " << c.code;
    if (c.code == 3) {
      EXPECT_EQ(AutoSyncBytes(), std::string("Playlist 2\0\nPlaylist 4\0\n", 24));
    }
  }
  EXPECT_EQ(state->stops, 1);
}

RECT ItemRect(HWND list, int item) {
  RECT r{};
  ListView_GetItemRect(list, item, &r, LVIR_BOUNDS);
  return r;
}

// A left click `x` pixels into item `item` (below the last item for -1), with `keys` held.
void ClickItem(HWND list, int item, int x, WPARAM keys = 0) {
  const RECT r = item >= 0 ? ItemRect(list, item) : RECT{0, 300, 0, 0};
  ::SendMessageA(list, WM_LBUTTONDOWN, keys, MAKELPARAM(r.left + x, r.top + 5));
}
// x of a level-l row's box, and of its text.
int Box(int level) { return level * 15 + 7; }
int Text(int level) { return level * 15 + 30; }

int RemoveButtonState(HWND toolbar) {
  return static_cast<int>(::SendMessageA(toolbar, TB_GETSTATE, kRemoveButtonId, 0));
}

TEST_F(PluginTest, ContentsViewPaintsSelectsAndRemoves) {
  // Morning and Same by Artist from the Sync tab, then every playlist's song by Lister.
  FreshIPod();
  Attach();
  ASSERT_TRUE(RaiseAndWait(0));
  SetAutoSync({});
  ASSERT_TRUE(RaiseAndWait(1));
  ASSERT_EQ(MusicFiles(), 7);
  HWND list = host->device_list;
  // The view finds the combo box again once the one the refresh saw is gone, and paints and
  // clicks without the path to the Sync pane.
  HWND gone = state->combo = ::CreateWindowExA(0, WC_COMBOBOXA, "", WS_CHILD | CBS_DROPDOWNLIST, 0,
                                               0, 99, 99, host->main, nullptr, nullptr, nullptr);
  ::SendMessageA(gone, CB_SETCURSEL, ::SendMessageA(gone, CB_ADDSTRING, 0, LPARAM("iPod (E:)")), 0);
  ASSERT_TRUE(RaiseAndWait(5));
  EXPECT_NE(Procedure(list), own_list_procedure);
  ::DestroyWindow(gone);
  state->combo = host->combo;
  ::SetWindowTextA(host->main, "Windows Media Player - elsewhere");
  // Rows are painted by the list's own paint as by WM_PRINTCLIENT.
  fake::Pump(200);
  EXPECT_EQ(ListView_GetItemCount(list), 1);
  fake::SaveScreenshot(fake::CaptureScreen(fake::ScreenRect(list)), "contents-collapsed");

  ClickItem(list, 0, Box(0));  // Music, Artist, Lister
  ClickItem(list, 1, Box(1));  // Music, Artist, Album, Lister
  ClickItem(list, 2, Box(2));  // Music, Artist, Album, Morning, Same, Lister
  ClickItem(list, 1, Text(1));
  fake::Pixels pixels = fake::PrintClient(list);
  EXPECT_EQ(ListView_GetItemCount(list), 6);
  EXPECT_EQ(RemoveButtonState(host->toolbar), TBSTATE_ENABLED);
  const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT), ink = ::GetSysColor(COLOR_WINDOWTEXT);
  const int levels[] = {0, 1, 2, 3, 3, 1, 0};
  for (int item = 0; item < 7; ++item) {
    const RECT r = item < 6 ? ItemRect(list, item) : RECT{0, 300, 0, 320};
    const int level = levels[item];
    SCOPED_TRACE(item);
    EXPECT_EQ(pixels.Count(highlight, 0, r.top, pixels.width, r.bottom) > 0, item == 1);
    // Text right of the indent on the row's own background, and nothing where no row is.
    const int x = Text(level) - 10;
    const int text = pixels.Count(item == 1 ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : ink, x, r.top,
                                  pixels.width, r.bottom);
    EXPECT_EQ(text > 0, item < 6);
    EXPECT_LT(text, (pixels.width - x) * (r.bottom - r.top) / 4);
  }
  fake::Pump(200);
  fake::SaveScreenshot(fake::CaptureScreen(fake::ScreenRect(list)), "contents-expanded-selection");
  ::SetWindowTextA(host->main, kPlayerWindowTitle);

  // The artist's tracks go, from both databases and the music folders.
  ASSERT_TRUE(RaiseAndWait(6));
  EXPECT_EQ(MusicFiles(), 5);
  OwnedTracks tracks;
  ShuffleDatabase shuffle(Env::Default());
  ASSERT_TRUE(IPodDatabase(Env::Default(), kRoot).ReadTrackList(&tracks).ok());
  ASSERT_TRUE(shuffle.Load("E:\\iPod_Control\\iTunes\\iTunesSD").ok());
  EXPECT_EQ(std::make_pair(tracks.size(), shuffle.count()), std::make_pair(size_t{5}, 5));
  fake::Pump(200);
  EXPECT_EQ(ListView_GetItemCount(list), 1);

  // Another iPod, with no music on it: two notice rows, which select nothing.
  SetRoot("F:\\");
  host->ChooseDevice(2);
  ASSERT_TRUE(RaiseAndWait(5));
  fake::Pump(200);
  EXPECT_EQ(ListView_GetItemCount(list), 2);
  ClickItem(list, 1, Text(0), MK_SHIFT);
  EXPECT_EQ(RemoveButtonState(host->toolbar), TBSTATE_INDETERMINATE);
  fake::Pump(200);
  fake::SaveScreenshot(fake::CaptureScreen(fake::ScreenRect(list)), "contents-no-music");
}

TEST_F(PluginTest, EjectIconAndTooltip) {
  Attach();
  ASSERT_TRUE(RaiseAndWait(5));
  fake::Pump(200);
  HWND eject = host->eject_host;  // 200 x 24, the view active
  ::RedrawWindow(eject, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  const RECT at = fake::ScreenRect(eject);
  const fake::Pixels pixels = fake::CaptureScreen(at);
  // Everything drawn lies in the icon's 16 x 16 at (180, 2), and most of it is.
  const auto drawn = [&](int x0, int y0, int x1, int y1) {
    return (x1 - x0) * (y1 - y0) - pixels.Count(pixels.at(0, 0), x0, y0, x1, y1);
  };
  EXPECT_GT(drawn(180, 2, 196, 18), 100);
  EXPECT_EQ(drawn(0, 0, 200, 24), drawn(180, 2, 196, 18));

  auto move = [&](UINT message, int x, int y) {
    ::SendMessageA(eject, message, 0, MAKELPARAM(x, y));
    return ::FindWindowA(TOOLTIPS_CLASSA, nullptr);
  };
  EXPECT_EQ(move(WM_MOUSEMOVE, 183, 10), nullptr);
  HWND tip = move(WM_MOUSEMOVE, 184, 4);
  ASSERT_NE(tip, nullptr);
  char text[32] = {};
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.lpszText = text;
  ::SendMessageA(tip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, "Eject iPod");
  const RECT first = fake::ScreenRect(tip);
  EXPECT_NEAR(first.top, at.top + 4 + 20, 1);
  EXPECT_EQ(move(WM_MOUSEMOVE, 199, 19), tip);
  EXPECT_EQ(fake::ScreenRect(tip).top, first.top);
  fake::Pump(200);
  const RECT tip_now = fake::ScreenRect(tip);
  fake::SaveScreenshot(
      fake::CaptureScreen(
          {at.left + 100, at.top, std::max(at.right, tip_now.right) + 4, tip_now.bottom + 4}),
      "eject-tooltip");
  EXPECT_EQ(move(WM_MOUSEMOVE, 199, 20), nullptr);
  EXPECT_NE(move(WM_MOUSEHOVER, 190, 10), nullptr);
  EXPECT_EQ(move(WM_MOUSELEAVE, 0, 0), nullptr);

  ASSERT_TRUE(RaiseAndWait(7));  // under wine no device carries E:
  // The eject takes the iPod the hook library reports now, else the last one it reported.
  struct Ejects : NoViewEvents {
    void EjectIPod(const std::string& root) override { roots.push_back(root); }
    std::vector<std::string> roots;
  } ejects;
  SyncController controller(plugin, ejects);
  for (const char* root : {"", "F:\\", "", "E:\\"}) {
    SetRoot(root);
    controller.RunEvent(HookEvent::kEject);
  }
  EXPECT_EQ(ejects.roots, (std::vector<std::string>{"F:\\", "F:\\", "E:\\"}));
}

// Someone else (the hook library, another plug-in) subclasses the lists after us, and later
// leaves: attach and detach never put ours in a chain twice. Each message passes theirs once,
// ours shows the eject tooltip while attached, and the last detach leaves both chains whole.
TEST_F(PluginTest, AttachAndDetachAmongOtherSubclassers) {
  const HWND windows[] = {host->device_list, host->eject_host};
  Attach();
  ASSERT_TRUE(RaiseAndWait(5));
  for (HWND window : windows) fake::SubclassAfter(window, WM_MOUSEMOVE);
  bool on_top = true;
  const auto event = [&](int code) {
    ASSERT_TRUE(RaiseAndWait(code));
    for (int i : {0, 1}) {
      const int before = fake::ForeignPasses(windows[i]);  // a loop would pass theirs twice
      ::SendMessageA(windows[i], WM_MOUSEMOVE, 0, MAKELPARAM(190, 10));
      EXPECT_EQ(fake::ForeignPasses(windows[i]) - before, on_top) << "event " << code;
    }
    EXPECT_EQ(::FindWindowA(TOOLTIPS_CLASSA, nullptr) != nullptr, code != 8) << "event " << code;
    ::SendMessageA(host->eject_host, WM_MOUSELEAVE, 0, 0);
  };
  for (int code : {9, 8, 5, 8}) event(code);
  // Past a fault ours may chain to itself, a loop no stand-in can stop: go no further.
  ASSERT_FALSE(HasFailure());
  // Theirs leaves while ours passes everything on: ours is back on top.
  for (HWND window : windows) fake::LeaveChain(window);
  on_top = false;
  for (int code : {5, 9, 8}) event(code);
  EXPECT_EQ(std::make_pair(Procedure(host->device_list), Procedure(host->eject_host)),
            std::make_pair(own_list_procedure, own_host_procedure));
}

TEST_F(PluginTest, EventsAfterTheCoreIsGoneDoNothing) {
  FreshIPod();
  Attach();
  // A refresh waiting for the iPod to be chosen, and a Sync tab request whose work waits for the
  // player's thread, end when the player lets go of the plug-in; that work never runs.
  host->ChooseDevice(0);
  HANDLE waiting[] = {raise(4), raise(0)};
  ASSERT_TRUE(waiting[0] && waiting[1]);
  MSG msg;
  const auto work_posted = [&] {
    return ::PeekMessageA(&msg, nullptr, kPlayerThreadWork, kPlayerThreadWork, PM_NOREMOVE);
  };
  // Everything but that work is answered here.
  for (int i = 0; i < 6000 && !work_posted(); ++i) {
    while (::PeekMessageA(&msg, nullptr, 0, kPlayerThreadWork - 1, PM_REMOVE) ||
           ::PeekMessageA(&msg, nullptr, kPlayerThreadWork + 1, ~0u, PM_REMOVE)) {
      ::DispatchMessageA(&msg);
    }
    ::Sleep(10);
  }
  ASSERT_TRUE(work_posted());
  EXPECT_EQ(::WaitForMultipleObjects(2, waiting, FALSE, 0), WAIT_TIMEOUT);
  ASSERT_EQ(attached->SetCore(nullptr), S_OK);
  for (HANDLE worker : waiting) {
    EXPECT_TRUE(fake::WaitPumping(worker, 5000));
    ::CloseHandle(worker);
  }
  host->ChooseDevice(1);
  EXPECT_EQ(std::exchange(attached, nullptr)->Release(), 0u);
  EXPECT_EQ(player->LiveReferences(), 0);
  EXPECT_EQ(player->CountPlaylists(L"TunewellTemp"), 0);
  const StandinState before = *state;
  for (int code : {0, 3, 7}) EXPECT_FALSE(RaiseAndWait(code));
  EXPECT_EQ(state->root_queries, before.root_queries);
  EXPECT_EQ(MusicFiles(), 0);
  // A core handed over again is reached again.
  Attach();
  ASSERT_TRUE(RaiseAndWait(0));
  EXPECT_EQ(MusicFiles(), 2);
}

// The player lets go of the plug-in while the view shows and a refresh waits for the iPod to be
// chosen, or is past that wait (finding the Sync pane's controls): the lists are the player's
// again and stay so.
TEST_F(PluginTest, LettingGoGivesTheWindowsBack) {
  for (const bool past_wait : {false, true}) {
    SCOPED_TRACE(past_wait);
    host->ChooseDevice(1);
    Attach();
    ASSERT_TRUE(RaiseAndWait(5));
    ASSERT_NE(Procedure(host->device_list), own_list_procedure);
    bool let_go = past_wait;
    host->main_seen = [&](UINT message) {
      if (message == WM_GETTEXT && std::exchange(let_go, false)) attached->SetCore(nullptr);
    };
    if (!past_wait) host->ChooseDevice(0);
    HANDLE refresh = raise(4);
    if (!past_wait) {
      EXPECT_FALSE(fake::WaitPumping(refresh, 500));
      attached->SetCore(nullptr);
    }
    EXPECT_TRUE(fake::WaitPumping(refresh, 5000));
    ::CloseHandle(refresh);
    EXPECT_EQ(std::make_pair(Procedure(host->device_list), Procedure(host->eject_host)),
              std::make_pair(own_list_procedure, own_host_procedure));
    EXPECT_EQ(std::exchange(attached, nullptr)->Release(), 0u);
    host->main_seen = nullptr;
  }
}

// What an installer put in $TUNEWELL_INSTALLED (scripts/package-tests.sh): the player makes the
// object through the registry, and its core makes it load the hook library beside it.
TEST(InstalledPluginTest, MadeThroughTheRegistryLoadsTheHookBesideIt) {
  const char* folder = std::getenv("TUNEWELL_INSTALLED");
  if (folder == nullptr) GTEST_SKIP() << "only after an install";
  ASSERT_EQ(::GetModuleHandleW(L"Tunewell.dll"), nullptr);
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  IWMPPluginUI* ui = nullptr;
  ASSERT_EQ(::CoCreateInstance(kClsidCadenza, nullptr, CLSCTX_INPROC_SERVER, kIidWmpPluginUI,
                               reinterpret_cast<void**>(&ui)),
            S_OK);
  fake::Player player;
  EXPECT_EQ(ui->SetCore(static_cast<IWMPCore*>(player.core())), S_OK);
  for (const wchar_t* name : {L"Tunewell.dll", L"latchkey.dll"}) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(::GetModuleHandleW(name), path, MAX_PATH);
    EXPECT_EQ(fs::path(path), fs::path(folder) / name);
  }
  EXPECT_EQ(ui->SetCore(nullptr), S_OK);
  EXPECT_EQ(ui->Release(), 0u);
  ::CoUninitialize();
}

// Work the player's thread does not take up in time is dropped, and never runs there later.
TEST(PlayerThreadTest, WorkNotTakenUpInTimeNeverRuns) {
  fake::Player player;
  const auto thread =
      PlayerThread::Open(static_cast<IWMPCore*>(player.core()), std::chrono::milliseconds(500));
  ASSERT_NE(thread, nullptr);
  int ran = 0;
  bool answered = true;
  std::thread([&] { answered = thread->Run([&](PlayerLibrary&) { ++ran; }); }).join();
  fake::Pump(200);
  EXPECT_EQ(std::tie(answered, ran), std::make_tuple(false, 0));
  thread->Close();
  EXPECT_EQ(std::make_pair(player.LiveReferences(), player.TakeCallsElsewhere()),
            std::make_pair(0l, 0));
}

// The window rules the events do not reach: controls that are not there, and combo entries that
// name the drive but not an iPod.
TEST(PlayerWindowsTest, FindsTheControlsItWorks) {
  fake::PlayerHost host;
  EXPECT_EQ(FindPlayerWindow(), host.main);
  EXPECT_EQ(FindSyncPaneControl(4242), nullptr);
  EXPECT_FALSE(DeviceComboShowsIPod(host.combo, ""));
  EXPECT_FALSE(DeviceComboShowsIPod(nullptr, "E:\\"));
  ::SendMessageA(host.combo, CB_ADDSTRING, 0, LPARAM("E:"));
  ::SendMessageA(host.combo, CB_SETCURSEL, 3, 0);
  EXPECT_FALSE(DeviceComboShowsIPod(host.combo, "E:\\"));
  int index = -7;
  HWND header = ::GetWindow(host.sync_list, GW_CHILD);
  EXPECT_FALSE(FindFilePathColumn(header, &index));
  EXPECT_EQ(index, -7);
  // Two "File Path" columns: the second counts.
  host.ShowPathColumn();
  fake::AddColumn(host.sync_list, 0, kFilePathColumn);
  EXPECT_TRUE(FindFilePathColumn(header, &index));
  EXPECT_EQ(index, 3);
}

// The dialog's template lives in the plug-in.
HMODULE Plugin() {
  static const HMODULE plugin = ::LoadLibraryW(L"Tunewell.dll");
  return plugin;
}

std::string DialogText(HWND dialog, int id) {
  char text[128] = {};
  ::GetDlgItemTextA(dialog, id, text, sizeof text);
  return ::IsWindowVisible(::GetDlgItem(dialog, id)) ? text : "<hidden>";
}

// Steps of a count of items + 2 in truncated percentages, a new count starting again from 0; the
// dialog unowned, centred and on top, repainting on its own thread when uncovered, since a run's
// worker pumps no messages.
TEST(ProgressDialogTest, StepsCentredOnTopAndRepaintsWhileTheRunWorks) {
  CProgressBarDlg dialog(Plugin());
  const std::pair<int, std::vector<std::string>> counts[] = {
      {3, {"20 %", "40 %", "60 %", "80 %", "100 %"}}, {1, {"33 %"}}, {3, {"20 %", "40 %"}}};
  for (const auto& [items, shown] : counts) {
    dialog.SetItemCount(items);
    HWND bar = ::GetDlgItem(dialog.window(), CProgressBarDlg::kBarId);
    EXPECT_EQ(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0), items + 2);
    for (size_t step = 0; step < shown.size(); ++step) {
      dialog.Step();
      EXPECT_EQ(DialogText(dialog.window(), CProgressBarDlg::kPercentId), shown[step]);
      EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), static_cast<LRESULT>(step + 1));
    }
  }
  dialog.SetStatus("Copying... Artist - Morning");
  HWND window = dialog.window();
  EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr);
  EXPECT_NE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT area{}, box = fake::ScreenRect(window);
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR(box.left + box.right, area.left + area.right, 2);
  EXPECT_NEAR(box.top + box.bottom, area.top + area.bottom, 2);

  WNDCLASSA red{};
  red.lpfnWndProc = ::DefWindowProcA;
  red.hbrBackground = ::CreateSolidBrush(RGB(255, 0, 0));
  red.lpszClassName = "TunewellTestCover";
  ::RegisterClassA(&red);
  HWND cover = ::CreateWindowExA(WS_EX_TOPMOST, red.lpszClassName, "", WS_POPUP | WS_VISIBLE,
                                 box.left, box.top, box.right - box.left, box.bottom - box.top,
                                 nullptr, nullptr, nullptr, nullptr);
  fake::Pump(300);
  const auto reds = [&] {
    const fake::Pixels p = fake::CaptureScreen(box);
    return p.Count(RGB(255, 0, 0), 0, 0, p.width, p.height);
  };
  ASSERT_GT(reds(), 0) << "the cover never showed";
  ::DestroyWindow(cover);
  ::Sleep(500);  // no message pumped here
  EXPECT_EQ(reds(), 0);
  EXPECT_EQ(DialogText(window, CProgressBarDlg::kStatusId), "Copying... Artist - Morning");
  fake::SaveScreenshot(fake::CaptureScreen(box), "progress-mid-run");
}

// The summary's visible lines (their texts are the progress model's) or the failure, and nothing
// else, then the dialog closes.
TEST(ProgressDialogTest, EndsWithTheSummaryOrWhyTheRunFailedThenCloses) {
  const std::string failure =
      "The iPod's database cannot be used (Corruption: iTunesDB: bad header). Nothing was changed.";
  const std::pair<SyncSummary, std::string> cases[] = {
      {{3, 2, 3, 0}, ""}, {{5, 0, 2, 4}, ""}, {{}, failure}};
  for (const auto& [summary, why] : cases) {
    std::vector<std::string> lines = {why, "<hidden>", "<hidden>", "<hidden>"};
    for (const SummaryLine& line : SummaryLines(summary)) {
      if (why.empty()) lines[static_cast<int>(line.id)] = line.visible ? line.text : "<hidden>";
    }
    CProgressBarDlg dialog(Plugin(), 1500);
    dialog.SetItemCount(5);
    HWND window = dialog.window();
    std::thread run([&] { why.empty() ? dialog.ShowSummary(summary) : dialog.ShowFailure(why); });
    ::Sleep(700);
    for (int id :
         {CProgressBarDlg::kBarId, CProgressBarDlg::kStatusId, CProgressBarDlg::kPercentId}) {
      EXPECT_EQ(DialogText(window, id), "<hidden>");
    }
    for (int line = 0; line < 4; ++line) {
      EXPECT_EQ(DialogText(window, CProgressBarDlg::kFirstSummaryId + line), lines[line]);
    }
    if (&summary != &cases[0].first) {
      fake::SaveScreenshot(fake::CaptureScreen(fake::ScreenRect(window)),
                           why.empty() ? "progress-summary" : "progress-failure");
    }
    run.join();
    EXPECT_FALSE(::IsWindow(window));
  }
}

}  // namespace
}  // namespace tunewell
