// libgpod, an independent implementation, against the reader and the fixture builder.

#include <gtest/gtest.h>

#include "database/ipod_database.h"
#include "platform/path.h"
#include "platform/text.h"
#include "tests/database/reader_test_util.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"

namespace tunewell {
namespace {

using fixture::GpodDump;

std::string DbPathUnder(const std::string& root) {
  return JoinPath(root, {"iPod_Control", "iTunes", "iTunesDB"});
}

class GpodCrossTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (fixture::GpodToolPath().empty()) GTEST_SKIP() << "no libgpod in this build";
  }
  fixture::TempFolder folder_;
};

TEST_F(GpodCrossTest, LibgpodDatabasesAreReadButNotWritable) {
  std::string error;
  ASSERT_TRUE(fixture::GpodMake(folder_.path(), 12, &error)) << error;
  GpodDump dump;
  ASSERT_TRUE(fixture::GpodDumpOf(folder_.path(), &dump, &error)) << error;
  ASSERT_EQ(dump.tracks.size(), 12u);

  std::string image;
  DatabaseLayout layout;
  OwnedTracks tracks;
  const Status s =
      ParseDatabaseFile(Env::Default(), DbPathUnder(folder_.path()), &image, &layout, &tracks);
  ASSERT_TRUE(s.ok()) << s.ToString();
  ASSERT_EQ(tracks.size(), dump.tracks.size());
  for (size_t i = 0; i < tracks.size(); ++i) {
    const TrackInfo& ours = *tracks[i];
    const fixture::GpodTrack& theirs = dump.tracks[i];
    EXPECT_EQ(ours.trackId, theirs.id) << i;
    EXPECT_EQ(Utf16ToUtf8(ours.title), theirs.title) << i;
    EXPECT_EQ(Utf16ToUtf8(ours.artist), theirs.artist) << i;
    EXPECT_EQ(Utf16ToUtf8(ours.album), theirs.album) << i;
    EXPECT_EQ(Utf16ToUtf8(ours.genre), theirs.genre) << i;
    EXPECT_EQ(Utf16ToUtf8(ours.composer), theirs.composer) << i;
    EXPECT_EQ(Utf16ToUtf8(ours.path), theirs.path) << i;
    EXPECT_EQ(ours.trackNumber, theirs.track_number) << i;
    // libgpod numbers its items from 0.
    EXPECT_EQ(ours.position, static_cast<int32_t>(i)) << "the master playlist's order";
  }
  EXPECT_EQ(tracks[1]->title, u"Caf\u00E9 \u20AC \U0001D11E");

  ITunesDatabase db(Env::Default());
  ASSERT_TRUE(db.Load(DbPathUnder(folder_.path()), nullptr, false).ok());
  EXPECT_EQ(db.trackList().count(), 12);
  EXPECT_TRUE(db.writable().IsRefused()) << db.writable().ToString();
  EXPECT_GT(layout.datasets.size(), 3u);

  IPodDatabase ipod(Env::Default(), folder_.path());
  TrackInfo candidate;
  candidate.title = u"Track 0";
  candidate.artist = u"Artist 0";
  candidate.album = u"Album 0";
  TrackArray candidates = {&candidate};
  EXPECT_TRUE(ipod.LoadForSync(&candidates).IsRefused()) << "a sync stops before copying";
  EXPECT_EQ(candidates.size(), 1u);
  OwnedTracks display;
  ASSERT_TRUE(ipod.ReadTrackList(&display).ok());
  EXPECT_EQ(display.size(), 12u);
}

TEST_F(GpodCrossTest, LibgpodReadsTheFixtureDatabase) {
  std::vector<fixture::FixtureTrack> tracks = fixture::SampleTracks(6);
  tracks[2].title = u"Euro \u20AC and clef \U0001D11E";
  tracks[4].composer = u"Bach";
  const std::string root = folder_.path();
  fixture::IPodTree tree;
  tree.itunes_db = fixture::BuildITunesDb(tracks);
  ASSERT_TRUE(fixture::WriteIPodTree(Env::Default(), root, tree).ok());

  GpodDump dump;
  std::string error;
  ASSERT_TRUE(fixture::GpodDumpOf(root, &dump, &error)) << error;
  ASSERT_EQ(dump.tracks.size(), tracks.size());
  for (size_t i = 0; i < tracks.size(); ++i) {
    EXPECT_EQ(dump.tracks[i].id, tracks[i].id);
    EXPECT_EQ(dump.tracks[i].title, Utf16ToUtf8(tracks[i].title));
    EXPECT_EQ(dump.tracks[i].artist, Utf16ToUtf8(tracks[i].artist));
    EXPECT_EQ(dump.tracks[i].album, Utf16ToUtf8(tracks[i].album));
    EXPECT_EQ(dump.tracks[i].genre, Utf16ToUtf8(tracks[i].genre));
    EXPECT_EQ(dump.tracks[i].composer, Utf16ToUtf8(tracks[i].composer));
    EXPECT_EQ(dump.tracks[i].path, Utf16ToUtf8(tracks[i].path));
    EXPECT_EQ(dump.tracks[i].track_number, tracks[i].track_number);
  }
  EXPECT_EQ(dump.master_count, 6);
  ASSERT_EQ(dump.playlists.size(), 1u);
  EXPECT_TRUE(dump.playlists[0].master);
}

}  // namespace
}  // namespace tunewell
