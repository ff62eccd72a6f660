// Other programs' layouts: the databases of two real iPods, which nobody here wrote, and the same
// layouts built by the fixture so that a clone without the real ones still covers them. Each is
// read and listed; none is rewritten.

#include <gtest/gtest.h>

#include "database/track_order.h"
#include "platform/env.h"
#include "platform/path.h"
#include "tests/database/reader_test_util.h"
#include "tests/support/test_paths.h"

namespace tunewell {
namespace {

struct Layout {
  const char* name;
  const char* real_ipod;                  // the folder beside the checkout, or
  fixture::ITunesDbOptions (*options)();  // the fixture's layout, of SampleTracks(7)
  size_t tracks;
  const char16_t* first_title;  // in file order
  std::vector<uint32_t> datasets;
  uint32_t track_header_length;
  bool positions;  // whether the library items carry them
};

class LayoutTest : public ::testing::TestWithParam<Layout> {};

TEST_P(LayoutTest, ReadAndListedButNotWritable) {
  const Layout& l = GetParam();
  MemoryEnv memory;
  Env* env = &memory;
  std::string path = kDbPath;
  if (l.real_ipod != nullptr) {
    TUNEWELL_SKIP_WITHOUT_REAL_IPODS();
    env = &Env::Default();
    path = JoinPath(fixture::RealIpodsDir(), {l.real_ipod, "iPod_Control", "iTunes", "iTunesDB"});
  } else {
    ASSERT_TRUE(
        memory.AddFile(path, fixture::BuildITunesDb(fixture::SampleTracks(7), l.options())).ok());
  }
  std::string image;
  DatabaseLayout layout;
  OwnedTracks in_file_order;
  const Status parsed = ParseDatabaseFile(*env, path, &image, &layout, &in_file_order);
  ASSERT_TRUE(parsed.ok()) << parsed.ToString();
  std::vector<uint32_t> types;
  for (const DatasetInfo& d : layout.datasets) types.push_back(d.type);
  EXPECT_EQ(types, l.datasets);
  ASSERT_EQ(in_file_order.size(), l.tracks);
  EXPECT_EQ(in_file_order[0]->title, l.first_title);
  for (const auto& t : in_file_order) {
    EXPECT_FALSE(t->title.empty());
    EXPECT_NE(t->trackId, 0u);
    EXPECT_EQ(t->position >= 0, l.positions);
  }
  for (const TrackRecordInfo& t : layout.tracks) {
    ASSERT_EQ(t.header_length, l.track_header_length);
  }

  ITunesDatabase db(*env);
  ASSERT_TRUE(db.Load(path, nullptr, false).ok());
  EXPECT_EQ(db.image(), image);
  EXPECT_TRUE(db.writable().IsRefused()) << db.writable().ToString();
  OwnedTracks display;
  ASSERT_TRUE(db.ReadTrackList(path, &display).ok());
  ASSERT_EQ(display.size(), l.tracks);
  for (size_t i = 1; i < display.size(); ++i) {
    ASSERT_LE(CompareArtist(*display[i - 1], *display[i]), 0) << i;
  }
}

const std::vector<uint32_t> kManyDatasets = {1, 3, 2, 4, 8, 6, 10, 5};

INSTANTIATE_TEST_SUITE_P(
    RealAndBuilt, LayoutTest,
    ::testing::Values(
        Layout{"podcasts", "podcasts", nullptr, 23, u"THE MVP Episode #20", kManyDatasets, 584,
               true},
        Layout{"early", "early", nullptr, 5375, u"Glenn Miller-In The Mood", {1, 2}, 160, false},
        Layout{"many_datasets", nullptr, fixture::ManyDatasetLayout, 7, u"Title 0", kManyDatasets,
               584, true},
        Layout{
            "two_datasets", nullptr, fixture::TwoDatasetLayout, 7, u"Title 0", {1, 2}, 160, false}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tunewell
