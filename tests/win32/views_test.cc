// The progress dialog driven as a sync run drives it, and the eject's device lookup over a
// device tree of our own (the system's is the eject event's, in plugin_test.cc).

#include <gtest/gtest.h>
#include <windows.h>
// (after <windows.h>, which it needs)
#include <commctrl.h>

#include <map>
#include <thread>

#include "storage/device_tree.h"
#include "sync/win32/progress_dialog.h"
#include "tests/win32/player_host.h"

namespace tunewell {
namespace {

// The dialog's template lives in the plug-in.
HMODULE Plugin() {
  static const HMODULE plugin = ::LoadLibraryW(L"Tunewell.dll");
  return plugin;
}

std::string Text(HWND dialog, int id) {
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
      EXPECT_EQ(Text(dialog.window(), CProgressBarDlg::kPercentId), shown[step]);
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
  EXPECT_EQ(Text(window, CProgressBarDlg::kStatusId), "Copying... Artist - Morning");
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
      EXPECT_EQ(Text(window, id), "<hidden>");
    }
    for (int line = 0; line < 4; ++line) {
      EXPECT_EQ(Text(window, CProgressBarDlg::kFirstSummaryId + line), lines[line]);
    }
    if (&summary != &cases[0].first) {
      fake::SaveScreenshot(fake::CaptureScreen(fake::ScreenRect(window)),
                           why.empty() ? "progress-summary" : "progress-failure");
    }
    run.join();
    EXPECT_FALSE(::IsWindow(window));
  }
}

// Volumes v1 (no volume mounted), v2 at E:, v3 at G: without a grandparent.
class FakeTree : public DeviceTree {
 public:
  bool VolumeAt(uint32_t index, std::string* path, DeviceInstance* device) override {
    if (index >= 3) return false;
    *path = "\\\\?\\v" + std::to_string(index + 1);
    *device = (index + 1) * 10 + 1;
    return true;
  }
  DeviceInstance Parent(DeviceInstance device) override {
    return device == 21 ? 22 : device == 22 ? 23 : device == 31 ? 32 : 0;
  }
  bool VolumeName(const std::string& mount_point, std::string* name) override {
    const auto found = mounts.find(mount_point);
    if (found != mounts.end()) *name = found->second;
    return found != mounts.end();
  }
  bool RequestEject(DeviceInstance device) override {
    ejected.push_back(device);
    return true;
  }
  std::map<std::string, std::string> mounts = {
      {"\\\\?\\v2\\", "{B}"}, {"\\\\?\\v3\\", "{C}"}, {"E:\\", "{B}"}, {"G:\\", "{C}"}};
  std::vector<DeviceInstance> ejected;
};

TEST(DeviceLookupTest, EjectsTheGrandparentOfTheVolumeAtTheRoot) {
  for (const auto& [root, device] : std::map<std::string, DeviceInstance>{
           {"E:\\", 23}, {"F:\\", 0}, {"G:\\", 0}, {"E:", 0}, {"", 0}}) {
    FakeTree tree;
    EXPECT_EQ(FindIPodDevice(tree, root), device) << root;
    EXPECT_EQ(EjectIPod(tree, root), device != 0) << root;
    EXPECT_EQ(tree.ejected,
              device != 0 ? std::vector<DeviceInstance>{device} : std::vector<DeviceInstance>{});
  }
}

}  // namespace
}  // namespace tunewell
