// Our latchkey.dll in the stand-in player under wine, worked with real input as a user would:
// each action raises its hook event once, on the library's thread; then the plug-in syncs from
// the Sync tab onto the iPod mapped as G: and ejects it. Run by scripts/plugin-tests.sh, which
// maps G: (E: and F: are iPods too) and reads G:'s database afterwards.

#include <gtest/gtest.h>
#include <windows.h>
// (after <windows.h>, which they need)
#include <commctrl.h>
#include <dbt.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/silent_mp3.h"
#include "hook/player_controls.h"
#include "hook/win32/hook_library.h"
#include "platform/env.h"
#include "player/win32/plugin_ui.h"
#include "tests/support/ipod_tree.h"
#include "tests/win32/player_host.h"

namespace tunewell {
namespace {

namespace fs = std::filesystem;
constexpr int kDrivesEntry = 0, kGEntry = 3;  // the combo box's "Removable Disk (D:)", "iPod (G:)"

// Real input: a click at a point of `window`'s client area (its centre by default), of item
// `index` as `rect_message` measures it (or `x` pixels into it); a key.
void Click(HWND window, int x = -1, int y = -1) {
  RECT r;
  if (x < 0 && ::GetClientRect(window, &r)) x = r.right / 2, y = r.bottom / 2;
  POINT at{x, y};
  ::ClientToScreen(window, &at);
  INPUT input[3] = {};
  const DWORD flags[] = {MOUSEEVENTF_MOVE, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
  for (int i = 0; i < 3; ++i) {
    input[i].type = INPUT_MOUSE;
    input[i].mi = {::MulDiv(at.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1),
                   ::MulDiv(at.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1),
                   0,
                   flags[i] | MOUSEEVENTF_ABSOLUTE,
                   0,
                   0};
  }
  ::SendInput(3, input, sizeof(INPUT));
  fake::Pump(60);
}
void ClickItem(HWND window, UINT rect_message, int index, int x = -1) {
  RECT r{};  // (LVIR_BOUNDS)
  ::SendMessageA(window, rect_message, index, reinterpret_cast<LPARAM>(&r));
  Click(window, x < 0 ? (r.left + r.right) / 2 : r.left + x, (r.top + r.bottom) / 2);
}
void Key(WORD key) {
  INPUT input[2] = {{INPUT_KEYBOARD, {}}, {INPUT_KEYBOARD, {}}};
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, input, sizeof(INPUT));
  fake::Pump(60);
}

// Opens the combo box's list and clicks `entry` in it.
void ChooseInCombo(HWND combo, int entry) {
  Click(combo);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ::GetComboBoxInfo(combo, &info);
  ClickItem(info.hwndList, LB_GETITEMRECT, entry);
}

// What the system tells every top-level window when a volume arrives.
void VolumeArrives(HWND window, char letter) {
  DEV_BROADCAST_VOLUME volume{sizeof volume, DBT_DEVTYP_VOLUME, 0, 1u << (letter - 'A'), 0};
  ::SendMessageA(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
}

// Polls, pumping, until `done` holds or `ms` have passed.
template <typename Done>
bool PumpUntil(Done done, int ms = 5000) {
  for (int waited = 0; !done(); waited += 20) {
    if (waited >= ms) return false;
    fake::Pump(20);
  }
  return true;
}

// One process, one player and one library, as in the player.
class LatchkeyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    library = ::LoadLibraryW((fake::HostFolder() / "latchkey.dll").c_str());
    plugin = ::LoadLibraryW((fake::HostFolder() / "Tunewell.dll").c_str());
    ASSERT_TRUE(library && plugin);
    host = new fake::PlayerHost();
    ::ShowWindow(host->settings, SW_HIDE);
  }

  // The recording callback: the codes, the threads they came on, and whether the settings
  // dialog was still open at code 3, its OK not yet taken.
  static HANDLE __cdecl Record(void*, int code) {
    const std::lock_guard lock(mutex);
    codes.push_back(code);
    threads.insert(::GetCurrentThreadId());
    if (code == 3) settings_open = ::IsWindowVisible(host->settings) && host->settings_oks == 0;
    return ::CreateEventA(nullptr, FALSE, FALSE, nullptr);  // as a worker's, which it closes
  }
  // What the plug-in does to toolbar button 216 as rows are selected in its view, and not.
  static void RemoveButton(LPARAM state) {
    ::SendMessageA(host->toolbar, TB_SETSTATE, kRemoveButtonId, state);
  }
  static std::vector<int> TakeCodes() {
    const std::lock_guard lock(mutex);
    return std::exchange(codes, {});
  }

  static inline HMODULE library = nullptr, plugin = nullptr;
  static inline fake::PlayerHost* host = nullptr;
  static inline std::mutex mutex;
  static inline std::vector<int> codes;
  static inline std::set<DWORD> threads;
  static inline bool settings_open = false;
};

TEST_F(LatchkeyTest, EachActionRaisesItsEventOnceOnTheLibrarysThread) {
  host->ChooseDevice(kDrivesEntry);
  fake::Export<InstallHookFn>(library, "installhook")(&Record, nullptr);
  fake::Pump(600);
  TakeCodes();
  const struct {
    const char* action;
    std::function<void()> act;
    std::vector<int> codes;
  } rows[] = {
      {"Start Sync, no iPod chosen", [] { Click(host->start_sync); }, {}},
      {"eject zone, no iPod chosen", [] { Click(host->eject_host, 195, 12); }, {}},
      {"iPod chosen", [] { ChooseInCombo(host->combo, kGEntry); }, {5}},
      {"Start Sync", [] { Click(host->start_sync); }, {0}},
      {"remove button", [] { ClickItem(host->toolbar, TB_GETITEMRECT, 0); }, {6}},
      {"Delete in the device list", [] { Click(host->device_list), Key(VK_DELETE); }, {6}},
      {"Delete, nothing selected",
       [] { RemoveButton(TBSTATE_INDETERMINATE), Key(VK_DELETE), RemoveButton(TBSTATE_ENABLED); },
       {}},
      {"eject zone", [] { Click(host->eject_host, 195, 12); }, {7}},
      {"beside the eject zone", [] { Click(host->eject_host, 150, 12); }, {}},
      {"settings confirmed",
       [] { ::ShowWindow(host->settings, SW_SHOW), Click(::GetDlgItem(host->settings, IDOK)); },
       {3}},
      {"volume arrival, told to two windows",
       [] { VolumeArrives(host->main, 'G'), VolumeArrives(host->settings, 'G'); },
       {4}},
      {"Now Playing tab", [] { Click(::GetDlgItem(host->main, 310)); }, {8}},
      {"Sync tab again", [] { Click(::GetDlgItem(host->main, 311)); }, {9}},
      {"another device", [] { ChooseInCombo(host->combo, kDrivesEntry); }, {8}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.action);
    row.act();
    std::vector<int> got;
    PumpUntil(
        [&] {
          for (int code : TakeCodes()) got.push_back(code);
          return !row.codes.empty() && got.size() >= row.codes.size();
        },
        row.codes.empty() ? 300 : 3000);
    EXPECT_EQ(got, row.codes);
  }
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), ::GetCurrentThreadId());
  EXPECT_TRUE(settings_open);
  // The player's own handlers: its sync only where no iPod was chosen, the OK after the event.
  EXPECT_EQ(std::make_pair(host->own_syncs, host->settings_oks), std::make_pair(1, 1));

  // A stop asked for presses "Stop Sync", and again when the player starts a sync later on.
  host->ChooseDevice(kGEntry);
  for (int stops : {1, 2}) {
    fake::Pump(600);  // (the library has seen "Stop Sync" disabled)
    ::EnableWindow(host->stop_sync, TRUE);
    if (stops == 1) fake::Export<StopAutomaticSyncProcessFn>(library, "StopAutomaticSyncProcess")();
    EXPECT_TRUE(PumpUntil([&] { return host->own_stops == stops; }, 2000));
  }
  EXPECT_EQ(TakeCodes(), std::vector<int>{5});
}

// From the interface thread, the iPod last found; from any other, as found now.
TEST_F(LatchkeyTest, ExportsFindThePlayersWindowsAndTheIPod) {
  const auto root_of = fake::Export<GetIPodRootDirectoryFn>(library, "GetIPodRootDirectory");
  const auto ask = [&](bool here) {
    char root[8] = "?";
    int found = -1;
    if (here) found = root_of(root);
    std::thread other([&] { found = here ? found : root_of(root); });
    PumpUntil([&] { return found >= 0; });  // the combo box answers from this thread
    other.join();
    return found != 0 ? std::string(root) : std::string();
  };
  // E:, F: and G: are all iPods: with none shown, none is the one.
  const std::pair<int, std::string> shown[] = {{kGEntry, "G:\\"}, {kDrivesEntry, ""}, {1, "E:\\"}};
  for (const auto& [entry, root] : shown) {
    host->ChooseDevice(entry);
    EXPECT_TRUE(PumpUntil([&] { return ask(true) == root; }, 2000));
    EXPECT_EQ(ask(false), root);
  }
  const auto list = fake::Export<GetSyncListViewHWndFn>(library, "GetSyncListViewHWnd");
  const auto combo =
      fake::Export<GetDeviceSelectionComboWindowFn>(library, "GetDeviceSelectionComboWindow");
  EXPECT_EQ(std::make_tuple(list(204), list(210), combo()),
            std::make_tuple(host->sync_list, host->device_list, host->combo));
  const auto settings = fake::Export<GetSyncSettingsDlgHWndFn>(library, "GetSyncSettingsDlgHWnd");
  for (const bool open : {true, false}) {
    ::ShowWindow(host->settings, open ? SW_SHOW : SW_HIDE);
    EXPECT_EQ(settings(), open ? host->settings : nullptr);
  }
}

// The whole way in one player: the user chooses the iPod, ticks two rows and presses Start
// Sync; Tunewell.dll copies them onto G: with its progress dialog and shows the new tree; a click
// on the eject icon raises the eject, as the library's log tells.
TEST_F(LatchkeyTest, SyncFromTheSyncTabThenEject) {
  static fake::Player player;
  for (const char* title : {"Harbour", "Lantern"}) {
    const fs::path path = fs::temp_directory_path() / ("latchkey-" + std::string(title) + ".mp3");
    std::ofstream(path, std::ios::binary) << cli::SilentMp3(40);
    const std::wstring name(title, title + std::strlen(title));
    player.AddMedia({name, path.wstring(), {{L"FileType", L"mp3"}, {L"Author", L"Latch"}}});
    host->AddSyncRow(title, path.string(), false);
  }
  host->ChooseDevice(kDrivesEntry);
  fake::Pump(600);
  const fs::path log = fs::temp_directory_path() / "latchkey.log";
  fs::remove(log);
  const DWORD on = 1;  // the log
  ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Tunewell", L"LatchkeyLog", REG_DWORD, &on, 4);
  IClassFactory* factory = nullptr;
  IWMPPluginUI* ui = nullptr;  // as the player makes it
  fake::Export<LPFNGETCLASSOBJECT>(plugin, "DllGetClassObject")(kClsidCadenza, IID_IClassFactory,
                                                                reinterpret_cast<void**>(&factory));
  ASSERT_EQ(factory->CreateInstance(nullptr, kIidWmpPluginUI, reinterpret_cast<void**>(&ui)), S_OK);
  factory->Release();
  ASSERT_EQ(ui->SetCore(static_cast<IWMPCore*>(player.core())), S_OK);
  ChooseInCombo(host->combo, kGEntry);
  // The rows as the list's own paint counted them: the player never asks for WM_PRINTCLIENT.
  const auto painted_rows = [] { return ListView_GetItemCount(host->device_list); };
  ASSERT_TRUE(PumpUntil([&] { return painted_rows() == 2; }));
  for (int row : {0, 1}) {
    ClickItem(host->sync_list, LVM_GETITEMRECT, row, 9);  // its check box
    EXPECT_TRUE(ListView_GetCheckState(host->sync_list, row));
  }
  fake::SaveScreenshot(fake::CaptureScreen(fake::ScreenRect(host->main)), "latchkey-rows-ticked");
  const int own_syncs = host->own_syncs;
  Click(host->start_sync);
  HWND progress = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] { return (progress = ::FindWindowA(nullptr, "Synchronization in Progress")) != nullptr; },
      20000));
  fake::Pump(300);
  fake::SaveScreenshot(fake::CaptureScreen(fake::ScreenRect(progress)), "latchkey-progress");
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(progress); }, 30000));
  EXPECT_EQ(fixture::CountMusicFiles(Env::Default(), "G:\\"), 2);
  EXPECT_EQ(host->own_syncs, own_syncs);
  // The new tree, collapsed: "Music".
  EXPECT_TRUE(PumpUntil([&] { return painted_rows() == 1; }));
  fake::Pump(300);
  fake::SaveScreenshot(fake::CaptureScreen(fake::ScreenRect(host->main)), "latchkey-contents");
  Click(host->eject_host, 195, 12);
  const auto logged = [&](const std::string& line) {
    std::ifstream in(log);
    return std::string(std::istreambuf_iterator<char>(in), {}).find(line) != std::string::npos;
  };
  EXPECT_TRUE(PumpUntil([&] { return logged("eject icon clicked -> event 7"); }));
  // The window tree it found, with the action of each event.
  EXPECT_TRUE(logged("SysListView32 id=210 visible") && logged("Start Sync pressed -> event 0"));
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Tunewell", L"LatchkeyLog");
  ui->SetCore(nullptr);
  EXPECT_EQ(ui->Release(), 0u);
}

}  // namespace
}  // namespace tunewell
