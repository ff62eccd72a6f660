// libgpod, an independent implementation, against the reader (libgpod writes, we read) and the
// fixture builder (we build, libgpod reads). The writer's side is in tests/writer.

#include <gtest/gtest.h>

#include "database/ipod_database.h"
#include "platform/path.h"
#include "tests/database/reader_test_util.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"

namespace tunewell {
namespace {

// One line per track with every field both sides read, texts in UTF-8.
std::string Line(uint32_t id, const std::string& title, const std::string& artist,
                 const std::string& album, const std::string& genre, const std::string& composer,
                 const std::string& path, int32_t number) {
  return std::to_string(id) + " " + title + "/" + artist + "/" + album + "/" + genre + "/" +
         composer + "/" + path + " #" + std::to_string(number);
}
std::vector<std::string> Lines(const fixture::GpodDump& dump) {
  std::vector<std::string> out;
  for (const auto& t : dump.tracks) {
    out.push_back(
        Line(t.id, t.title, t.artist, t.album, t.genre, t.composer, t.path, t.track_number));
  }
  return out;
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
  fixture::GpodDump dump;
  ASSERT_TRUE(fixture::GpodDumpOf(folder_.path(), &dump, &error)) << error;
  ASSERT_EQ(dump.tracks.size(), 12u);

  const std::string db_path = folder_.Path({"iPod_Control", "iTunes", "iTunesDB"});
  std::string image;
  DatabaseLayout layout;
  OwnedTracks tracks;
  const Status s = ParseDatabaseFile(Env::Default(), db_path, &image, &layout, &tracks);
  ASSERT_TRUE(s.ok()) << s.ToString();
  std::vector<std::string> ours;
  for (size_t i = 0; i < tracks.size(); ++i) {
    const TrackInfo& t = *tracks[i];
    ours.push_back(Line(t.trackId, Utf16ToUtf8(t.title), Utf16ToUtf8(t.artist),
                        Utf16ToUtf8(t.album), Utf16ToUtf8(t.genre), Utf16ToUtf8(t.composer),
                        Utf16ToUtf8(t.path), t.trackNumber));
    EXPECT_EQ(t.position, static_cast<int32_t>(i)) << "libgpod numbers its items from 0";
  }
  EXPECT_EQ(ours, Lines(dump));
  EXPECT_EQ(tracks[1]->title, u"Caf\u00E9 \u20AC \U0001D11E");

  // A sync stops before copying, with its candidates untouched; a listing works.
  IPodDatabase ipod(Env::Default(), folder_.path());
  TrackInfo candidate = fixture::MakeTrack(u"Track 0", u"Artist 0", u"Album 0");
  TrackArray candidates = {&candidate};
  EXPECT_TRUE(ipod.LoadForSync(&candidates).IsRefused());
  EXPECT_EQ(candidates.size(), 1u);
  OwnedTracks display;
  ASSERT_TRUE(ipod.ReadTrackList(&display).ok());
  EXPECT_EQ(display.size(), 12u);
}

TEST_F(GpodCrossTest, LibgpodReadsTheFixtureLayouts) {
  std::vector<fixture::FixtureTrack> tracks = fixture::SampleTracks(6);
  tracks[2].title = u"Euro \u20AC and clef \U0001D11E";
  tracks[4].composer = u"Bach";
  std::vector<std::string> expected;
  for (const auto& t : tracks) {
    expected.push_back(Line(t.id, Utf16ToUtf8(t.title), Utf16ToUtf8(t.artist), Utf16ToUtf8(t.album),
                            Utf16ToUtf8(t.genre), Utf16ToUtf8(t.composer), Utf16ToUtf8(t.path),
                            t.track_number));
  }
  // libgpod finds no members in a master playlist whose items lack position records, as it
  // does in the real early iPod's database.
  const std::tuple<const char*, fixture::ITunesDbOptions, int> layouts[] = {
      {"three datasets", {}, 6},
      {"many datasets", fixture::ManyDatasetLayout(), 6},
      {"two datasets", fixture::TwoDatasetLayout(), 0}};
  for (const auto& [name, options, members] : layouts) {
    SCOPED_TRACE(name);
    fixture::TempFolder root;
    fixture::IPodTree tree;
    tree.itunes_db = fixture::BuildITunesDb(tracks, options);
    ASSERT_TRUE(fixture::WriteIPodTree(Env::Default(), root.path(), tree).ok());
    fixture::GpodDump dump;
    std::string error;
    ASSERT_TRUE(fixture::GpodDumpOf(root.path(), &dump, &error)) << error;
    EXPECT_EQ(Lines(dump), expected);
    EXPECT_EQ(dump.master_count, members);
    ASSERT_EQ(dump.playlists.size(), 1u + options.extra_playlists);
    EXPECT_TRUE(dump.playlists[0].master);
  }
}

}  // namespace
}  // namespace tunewell
