// Databases written by real iPods and their desktop software, which nobody here wrote.

#include <gtest/gtest.h>

#include "database/track_order.h"
#include "platform/env.h"
#include "platform/path.h"
#include "tests/database/reader_test_util.h"
#include "tests/support/test_paths.h"

namespace tunewell {
namespace {

std::string RealDb(const char* name) {
  return JoinPath(fixture::RealIpodsDir(), {name, "iPod_Control", "iTunes", "iTunesDB"});
}

struct Expected {
  const char* name;
  int tracks;
  const char16_t* first_title;  // in file order
  bool positions;               // its library items carry position records
};

class RealIPodTest : public ::testing::TestWithParam<Expected> {};

TEST_P(RealIPodTest, ReadButNotWritable) {
  const Expected& e = GetParam();
  Env& env = Env::Default();
  std::string image;
  DatabaseLayout layout;
  OwnedTracks in_file_order;
  const Status parsed = ParseDatabaseFile(env, RealDb(e.name), &image, &layout, &in_file_order);
  ASSERT_TRUE(parsed.ok()) << parsed.ToString();
  ASSERT_EQ(in_file_order.size(), static_cast<size_t>(e.tracks));
  EXPECT_EQ(in_file_order[0]->title, e.first_title);
  int with_position = 0;
  for (const auto& t : in_file_order) {
    EXPECT_FALSE(t->title.empty());
    EXPECT_NE(t->trackId, 0u);
    with_position += t->position >= 0;
  }
  EXPECT_EQ(with_position, e.positions ? e.tracks : 0);

  ITunesDatabase db(env);
  ASSERT_TRUE(db.Load(RealDb(e.name), nullptr, false).ok());
  EXPECT_EQ(db.trackList().count(), e.tracks);
  EXPECT_TRUE(db.writable().IsRefused()) << db.writable().ToString();
  EXPECT_EQ(db.image(), image);

  OwnedTracks display;
  ASSERT_TRUE(db.ReadTrackList(RealDb(e.name), &display).ok());
  ASSERT_EQ(display.size(), static_cast<size_t>(e.tracks));
  for (size_t i = 1; i < display.size(); ++i) {
    ASSERT_LE(CompareArtist(*display[i - 1], *display[i]), 0) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Both, RealIPodTest,
    ::testing::Values(Expected{"podcasts", 23, u"THE MVP Episode #20", true},
                      Expected{"early", 5375, u"Glenn Miller-In The Mood", false}),
    [](const ::testing::TestParamInfo<Expected>& info) { return std::string(info.param.name); });

TEST(RealIPodTest, PodcastsLayout) {
  std::string image;
  DatabaseLayout layout;
  OwnedTracks tracks;
  ASSERT_TRUE(ParseDatabaseFile(Env::Default(), RealDb("podcasts"), &image, &layout, &tracks).ok());
  std::vector<uint32_t> types;
  for (const DatasetInfo& d : layout.datasets) types.push_back(d.type);
  EXPECT_EQ(types, (std::vector<uint32_t>{1, 3, 2, 4, 8, 6, 10, 5}));
  EXPECT_EQ(layout.tracks[0].header_length, 584u);
  ASSERT_TRUE(layout.library_dataset.has_value());
  EXPECT_EQ(layout.playlist_datasets[*layout.library_dataset].dataset.type, 2u);

  const std::string sd_path =
      JoinPath(fixture::RealIpodsDir(), {"podcasts", "iPod_Control", "iTunes", "iTunesSD"});
  std::string sd;
  ASSERT_TRUE(Env::Default().ReadFile(sd_path, &sd).ok());
  const std::vector<std::u16string> names = fixture::ReadITunesSdNames(sd);
  ASSERT_EQ(names.size(), 13u);
  for (const std::u16string& name : names) {
    EXPECT_EQ(name[0], u':');
    EXPECT_EQ(name.substr(name.size() - 4), u".mp3");
  }
}

}  // namespace
}  // namespace tunewell
