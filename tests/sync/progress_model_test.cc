#include <gtest/gtest.h>

#include "sync/progress.h"

namespace tunewell {
namespace {

std::vector<int32_t> Steps(ProgressModel& model, int n) {
  std::vector<int32_t> out;
  for (int i = 0; i < n; ++i) out.push_back(model.Step());
  return out;
}

TEST(ProgressModelTest, ScaleIsItemsPlusTwoAndTruncates) {
  ProgressModel model;
  EXPECT_EQ(model.percent(), 0);
  model.SetItemCount(3);
  EXPECT_EQ(model.scale(), 5);
  EXPECT_EQ(Steps(model, 5), (std::vector<int32_t>{20, 40, 60, 80, 100}));

  model.SetItemCount(1);
  EXPECT_EQ(model.Step(), 33);

  // Where floating point would give 28.999...
  model.SetItemCount(98);
  Steps(model, 28);
  EXPECT_EQ(model.Step(), 29);
  EXPECT_EQ(model.position(), 29);
}

TEST(ProgressModelTest, NewItemCountStartsAgain) {
  ProgressModel model;
  model.SetItemCount(10);
  Steps(model, 7);
  model.SetItemCount(2);
  EXPECT_EQ(model.position(), 0);
  EXPECT_EQ(model.Step(), 25);
}

TEST(ProgressModelTest, PercentTextHasTheBlank) {
  EXPECT_EQ(ProgressModel::PercentText(33), "33 %");
  EXPECT_EQ(ProgressModel::PercentText(100), "100 %");
}

TEST(SummaryLinesTest, VisibilityAndTexts) {
  auto lines = SummaryLines({3, 2, 3, 0});
  EXPECT_TRUE(lines[0].visible);
  EXPECT_EQ(lines[0].text, "Copied 3 items successfully.");
  EXPECT_TRUE(lines[1].visible);
  EXPECT_EQ(lines[1].text, "Skipped 2 items that already existed on iPod.");
  EXPECT_FALSE(lines[2].visible);
  EXPECT_FALSE(lines[3].visible);

  lines = SummaryLines({5, 0, 2, 4});
  EXPECT_TRUE(lines[1].visible);
  EXPECT_EQ(lines[1].text, "Skipped 0 items that already existed on iPod.");
  EXPECT_TRUE(lines[2].visible);
  EXPECT_EQ(lines[2].text, "iPod is full. 3 items not copied due to lack of space.");
  EXPECT_TRUE(lines[3].visible);
  EXPECT_EQ(lines[3].text, "Skipped 4 items that were not MP3s.");

  // The copied line shows also for nothing copied; the plural stays for one.
  lines = SummaryLines({0, 1, 0, 1});
  EXPECT_TRUE(lines[0].visible);
  EXPECT_EQ(lines[0].text, "Copied 0 items successfully.");
  EXPECT_EQ(lines[3].text, "Skipped 1 items that were not MP3s.");
  EXPECT_EQ(lines[2].id, SummaryLineId::kNoRoom);
}

}  // namespace
}  // namespace tunewell
