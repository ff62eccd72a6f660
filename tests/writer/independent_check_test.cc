// Every layout the writer meets, updated and read back by readers it shares no code with:
// libgpod and the fixture's inspector. Before and after each save libgpod and our reader read the
// same tracks; libgpod then sees every track and playlist as before, plus the new tracks in the
// library, or without the removed ones everywhere.

#include <gtest/gtest.h>

#include "database/ipod_database.h"
#include "platform/path.h"
#include "platform/text.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_tracks.h"

namespace tunewell {
namespace {

namespace fx = fixture;

struct Layout {
  const char* name;
  fx::ITunesDbOptions options{};  // of the fixture's database, unless one of these two
  const char* real = nullptr;     // a real iPod's folder
  bool libgpod = false;           // libgpod's database of a used iPod
  size_t gone = 0;                // the old track removed
  size_t podcast_items = 0;       // left in the podcast playlist of the type-3 dataset
  friend void PrintTo(const Layout& l, std::ostream* os) { *os << l.name; }
};

// Items out of order, one position out of range: the writer numbers them afresh.
fx::ITunesDbOptions StrangelyNumbered() {
  return {.items = std::vector<fx::FixtureItem>{{3, 3}, {1, 9}, {5, 1}, {2, 4}, {4, 2}}};
}

const Layout kLayouts[] = {
    {"ThreeDatasets", StrangelyNumbered()},
    {"ManyDatasets", fx::ManyDatasetLayout()},
    {"TwoDatasets", fx::TwoDatasetLayout()},
    // Track 6 is the one episode of its podcast, which goes with it: of two podcasts with five
    // episodes, one with three is left.
    {"Libgpods", {}, nullptr, true, 6, 3},
    {"RealEarly", {}, "early"},
    {"RealPodcasts", {}, "podcasts"},
};

class IndependentCheckTest : public ::testing::TestWithParam<Layout> {
 protected:
  // libgpod's reading, checked against the inspector's and our reader's. Database ids are left
  // out: libgpod makes up random ones where early databases have none.
  fx::GpodDump Dump() {
    fx::GpodDump dump;
    std::string error, image;
    DatabaseLayout layout;
    OwnedTracks ours;
    EXPECT_TRUE(ParseDatabaseFile(Env::Default(),
                                  root_.Path({"iPod_Control", "iTunes", "iTunesDB"}), &image,
                                  &layout, &ours)
                    .ok());
    EXPECT_TRUE(fx::InspectITunesDb(image, &inspected_, &error)) << error;
    EXPECT_TRUE(fx::GpodDumpOf(root_.path(), &dump, &error)) << error;
    std::vector<fx::GpodTrack> theirs, mine;
    for (fx::GpodTrack& t : dump.tracks) {
      theirs.push_back(
          {t.id, t.title, t.artist, t.album, t.track_number, t.path, t.genre, t.composer});
      t.database_id = 0;
    }
    for (const auto& t : ours) {
      mine.push_back({t->trackId, Utf16ToUtf8(t->title), Utf16ToUtf8(t->artist),
                      Utf16ToUtf8(t->album), t->trackNumber, Utf16ToUtf8(t->path),
                      Utf16ToUtf8(t->genre), Utf16ToUtf8(t->composer)});
    }
    EXPECT_EQ(mine, theirs);
    EXPECT_EQ(inspected_.tracks.size(), dump.tracks.size());
    return dump;
  }

  fx::TempFolder root_;
  fx::InspectedDb inspected_;  // of the last Dump
};

TEST_P(IndependentCheckTest, AddedAndRemovedAsLibgpodReadsThem) {
  if (fx::GpodToolPath().empty()) GTEST_SKIP() << "no libgpod in this build";
  const Layout& l = GetParam();
  std::string error, image;
  if (l.libgpod) {
    ASSERT_TRUE(fx::GpodMake(root_.path(), 12, &error)) << error;
  } else {
    if (l.real) {
      TUNEWELL_SKIP_WITHOUT_REAL_IPODS();
      ASSERT_TRUE(Env::Default()
                      .ReadFile(JoinPath(fx::RealIpodsDir(),
                                         {l.real, "iPod_Control", "iTunes", "iTunesDB"}),
                                &image)
                      .ok());
    } else {
      std::vector<fx::FixtureTrack> tracks = fx::SampleTracks(5);
      tracks[2].title = u"Euro \u20AC and clef \U0001D11E";
      tracks[4].composer = u"Bach";
      image = fx::BuildITunesDb(tracks, l.options);
    }
    ASSERT_TRUE(fx::WriteIPodTree(Env::Default(), root_.path(), {1, image}).ok());
  }
  const fx::GpodDump before = Dump();

  // Header fields at and just past the edges of their rounding.
  std::vector<TrackInfo> fresh = {fx::MakeTrack(u"Zz new", u"Artist 1", u"Album 0", 3),
                                  fx::MakeTrack(u"Aa new \U0001D11E", u"Nobody", u"Fresh")};
  TrackInfo& full = fresh[0];
  full.genre = u"Jazz", full.composer = u"Comp", full.rating = 3, full.year = 2004;
  full.isVbr = full.hasLyrics = true;
  full.fileSize = 4000000, full.bitrate = 127999;
  full.duration = 0.9999;  // truncated, not rounded
  fresh[1].duration = 0.0004, fresh[1].bitrate = 128000;
  TrackArray candidates = fx::ArrayOf(fresh);
  IPodDatabase adding(Env::Default(), root_.path());
  ASSERT_TRUE(adding.LoadForSync(&candidates).ok());
  ASSERT_TRUE(adding.SaveAfterSync(candidates).ok());
  fx::GpodDump expected = Dump();
  ASSERT_EQ(expected.tracks.size(), before.tracks.size() + 2);
  EXPECT_EQ(std::vector(expected.tracks.begin(), expected.tracks.end() - 2), before.tracks);
  // Short headers (early iPods') end before the lyrics flag and the media type.
  const uint32_t late = expected.tracks.back().media_type;
  EXPECT_EQ(expected.tracks.end()[-2],
            (fx::GpodTrack{fresh[0].trackId, "Zz new", "Artist 1", "Album 0", 3,
                           Utf16ToUtf8(fresh[0].path), "Jazz", "Comp", 4000000, 999, 127, 2004, 60,
                           1, late, 0, 0, late}));
  EXPECT_EQ(expected.tracks.back(),
            (fx::GpodTrack{fresh[1].trackId, "Aa new \xF0\x9D\x84\x9E", "Nobody", "Fresh", 0,
                           Utf16ToUtf8(fresh[1].path), "", "", 0, 0, 128, 0, 0, 0, 0, 0, 0, late}));
  EXPECT_EQ(expected.playlists, before.playlists);
  // libgpod sees no members where items have no position record (early iPods).
  EXPECT_EQ(expected.master_count, before.master_count + (before.master_count > 0 ? 2 : 0));

  TrackInfo old_one, new_one;
  old_one.trackId = before.tracks.at(l.gone).id;
  new_one.trackId = fresh[0].trackId;
  IPodDatabase removing(Env::Default(), root_.path());
  ASSERT_TRUE(removing.LoadForSync(nullptr).ok());
  ASSERT_TRUE(removing.SaveAfterRemoval({&old_one, &new_one}).ok());
  expected.tracks.erase(expected.tracks.end() - 2);
  expected.tracks.erase(expected.tracks.begin() + l.gone);
  for (fx::GpodPlaylist& pl : expected.playlists) std::erase(pl.members, old_one.trackId);
  const fx::GpodDump after = Dump();
  EXPECT_EQ(after.tracks, expected.tracks);
  EXPECT_EQ(after.playlists, expected.playlists);
  EXPECT_EQ(after.master_count, before.master_count);
  if (l.podcast_items) {
    EXPECT_EQ(inspected_.datasets.at(1).playlists.at(1).items.size(), l.podcast_items);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, IndependentCheckTest, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tunewell
