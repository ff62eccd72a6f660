// The progress bar's counts and the summary's lines.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "sync/progress.h"

namespace tunewell {
namespace {

// The sync run's test follows a whole bar; here a new count and rounding.
TEST(ProgressModelTest, ANewCountStartsAgainAndPercentsAreTruncated) {
  ProgressModel model;
  model.SetItemCount(3);
  model.Step();
  model.SetItemCount(1);
  EXPECT_EQ(model.Step(), 33);
  model.SetItemCount(98);
  for (int i = 0; i < 28; ++i) model.Step();
  EXPECT_EQ(model.Step(), 29);  // where floating point would give 28.999...
}

TEST(SummaryLinesTest, VisibilityAndTexts) {
  using Lines = std::vector<std::string>;  // the visible ones
  const std::pair<SyncSummary, Lines> cases[] = {
      {{3, 2, 3, 0},
       {"Copied 3 items successfully.", "Skipped 2 items that already existed on iPod."}},
      {{5, 0, 2, 4},
       {"Copied 2 items successfully.", "Skipped 0 items that already existed on iPod.",
        "iPod is full. 3 items not copied due to lack of space.",
        "Skipped 4 items that were not MP3s."}},
      // The copied line shows also for nothing copied; the plural stays for one.
      {{0, 1, 0, 1},
       {"Copied 0 items successfully.", "Skipped 1 items that already existed on iPod.",
        "Skipped 1 items that were not MP3s."}},
  };
  for (const auto& [summary, expected] : cases) {
    Lines visible;
    for (const auto& line : SummaryLines(summary)) {
      if (line.visible) visible.push_back(line.text);
    }
    EXPECT_EQ(visible, expected);
  }
}

}  // namespace
}  // namespace tunewell
