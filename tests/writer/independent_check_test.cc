// What the writer produces, read by readers it shares no code with: the test fixtures' own
// inspector and libgpod.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

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

std::string DbPath(const fx::TempFolder& root) {
  return JoinPath(root.path(), {"iPod_Control", "iTunes", "iTunesDB"});
}

class IndependentCheckTest : public ::testing::Test {
 protected:
  // A fixture database whose items hold positions that are not the tracks' places.
  void SetUp() override {
    fx::ITunesDbOptions options;
    std::vector<fx::FixtureItem> items;
    for (uint32_t id : {3, 1, 5, 2, 4}) items.push_back({id, 6 - id});  // reversed places
    items[1].position = 9;                                              // out of range
    options.items = items;
    ASSERT_TRUE(fx::WriteIPodTree(Env::Default(), root_.path(),
                                  {2, fx::BuildITunesDb(fx::SampleTracks(5), options), {}, {}})
                    .ok());
  }

  fx::InspectedDb Inspect() {
    std::string image;
    EXPECT_TRUE(Env::Default().ReadFile(DbPath(root_), &image).ok());
    fx::InspectedDb db;
    std::string error;
    EXPECT_TRUE(fx::InspectITunesDb(image, &db, &error)) << error;
    return db;
  }

  void ExpectLibgpodSees(const std::vector<std::u16string>& titles) {
    if (fx::GpodToolPath().empty()) GTEST_SKIP() << "no libgpod in this build";
    std::string error;
    ASSERT_TRUE(fx::GpodDumpOf(root_.path(), &dump_, &error)) << error;
    const fx::InspectedDb db = Inspect();
    ASSERT_EQ(dump_.tracks.size(), titles.size());
    ASSERT_EQ(db.tracks.size(), titles.size());
    for (size_t i = 0; i < titles.size(); ++i) {
      const fx::GpodTrack& g = dump_.tracks[i];
      const fx::InspectedTrack& t = db.tracks[i];
      EXPECT_EQ(g.id, t.id);
      EXPECT_EQ(g.title, Utf16ToUtf8(titles[i]));
      EXPECT_EQ(g.artist, Utf16ToUtf8(t.Text(4)));
      EXPECT_EQ(g.album, Utf16ToUtf8(t.Text(3)));
      EXPECT_EQ(g.path, Utf16ToUtf8(t.Text(2)));
      EXPECT_EQ(g.track_number, t.track_number);
    }
    EXPECT_EQ(dump_.master_count, static_cast<int>(titles.size()));
  }

  fx::TempFolder root_;
  fx::GpodDump dump_;
};

TEST_F(IndependentCheckTest, AddingRenumbersAStrangelyNumberedLibrary) {
  IPodDatabase ipod(Env::Default(), root_.path());
  std::vector<TrackInfo> fresh = {fx::MakeTrack(u"Aardvark \u00e9", u"Zed", u"New", 1),
                                  fx::MakeTrack(u"Zulu \U0001D11E", u"", u"", 0)};
  // Header fields at and just past the edges of their rounding, read back by libgpod.
  TrackInfo& full = fresh[0];
  full.genre = u"Jazz";
  full.composer = u"Comp";
  full.isVbr = full.hasLyrics = true;
  full.rating = 3;
  full.fileSize = 4000000;
  full.duration = 0.9999;  // truncated, not rounded
  full.year = 2004;
  full.bitrate = 127999;
  fresh[1].duration = 0.0004;
  fresh[1].bitrate = 128000;
  TrackArray candidates = fx::ArrayOf(fresh);
  ASSERT_TRUE(ipod.LoadForSync(&candidates).ok());
  ASSERT_TRUE(ipod.SaveAfterSync(candidates).ok());
  const fx::InspectedDb db = Inspect();
  ASSERT_EQ(db.tracks.size(), 7u);
  EXPECT_EQ(db.tracks[5].id, 6u);
  EXPECT_EQ(db.tracks[5].database_id, db.tracks[4].database_id + 1);
  // String records in their order, empty texts left out.
  std::vector<uint32_t> types;
  for (const auto& [type, text] : db.tracks[5].strings) types.push_back(type);
  EXPECT_EQ(types, (std::vector<uint32_t>{1, 4, 12, 3, 5, 6, 2}));
  std::vector<std::u16string> titles;
  for (const auto& t : fx::SampleTracks(5)) titles.push_back(t.title);
  ExpectLibgpodSees(
      {titles[0], titles[1], titles[2], titles[3], titles[4], fresh[0].title, fresh[1].title});
  if (dump_.tracks.size() != 7) return;
  const fx::GpodTrack& g = dump_.tracks[5];
  EXPECT_EQ(g.genre, "Jazz");
  EXPECT_EQ(g.composer, "Comp");
  EXPECT_EQ(std::tie(g.size, g.length_ms, g.bitrate, g.year, g.rating, g.vbr, g.lyrics),
            std::make_tuple(4000000u, 999, 127, 2004, 60u, 1u, 1u));
  EXPECT_EQ(g.database_id, db.tracks[5].database_id);
  const fx::GpodTrack& low = dump_.tracks[6];
  EXPECT_EQ(std::tie(low.length_ms, low.bitrate, low.vbr, low.lyrics),
            std::make_tuple(0, 128, 0u, 0u));
}

TEST_F(IndependentCheckTest, RemovingKeepsTheRestConsistent) {
  IPodDatabase ipod(Env::Default(), root_.path());
  TrackInfo second, fourth;
  second.trackId = 2;
  fourth.trackId = 4;
  ASSERT_TRUE(ipod.LoadForSync(nullptr).ok());
  ASSERT_TRUE(ipod.SaveAfterRemoval({&second, &fourth}).ok());
  const auto samples = fx::SampleTracks(5);
  ExpectLibgpodSees({samples[0].title, samples[2].title, samples[4].title});
}

// Databases that other programs wrote, updated: libgpod reads every track and playlist as
// before, plus the new tracks in the library, or without the removed ones everywhere.
class OtherLayoutTest : public ::testing::Test {
 protected:
  // Without database ids: libgpod makes up random ones where early databases have none. The
  // fixture's inspector checks every length on the way.
  fx::GpodDump Dump() {
    fx::GpodDump dump;
    std::string error, image;
    fx::InspectedDb db;
    EXPECT_TRUE(Env::Default().ReadFile(DbPath(root_), &image).ok());
    EXPECT_TRUE(fx::InspectITunesDb(image, &db, &error)) << error;
    EXPECT_TRUE(fx::GpodDumpOf(root_.path(), &dump, &error)) << error;
    for (fx::GpodTrack& t : dump.tracks) t.database_id = 0;
    return dump;
  }

  // Adds two tracks, then removes the old track at `gone` and the first new one.
  void AddAndRemove(size_t gone = 0) {
    const fx::GpodDump before = Dump();
    std::vector<TrackInfo> fresh = {fx::MakeTrack(u"Zz new", u"Artist 1", u"Album 0", 3),
                                    fx::MakeTrack(u"Aa new", u"Nobody", u"Fresh")};
    TrackArray candidates = fx::ArrayOf(fresh);
    IPodDatabase adding(Env::Default(), root_.path());
    ASSERT_TRUE(adding.LoadForSync(&candidates).ok());
    ASSERT_TRUE(adding.SaveAfterSync(candidates).ok());
    fx::GpodDump expected = Dump();
    ASSERT_EQ(expected.tracks.size(), before.tracks.size() + 2);
    EXPECT_EQ(std::vector(expected.tracks.begin(), expected.tracks.end() - 2), before.tracks);
    EXPECT_EQ(expected.tracks.back().title, "Aa new");
    EXPECT_EQ(expected.tracks.back().path, Utf16ToUtf8(fresh[1].path));
    EXPECT_EQ(expected.playlists, before.playlists);
    // libgpod sees no members where items have no position record (early iPods).
    EXPECT_EQ(expected.master_count, before.master_count + (before.master_count > 0 ? 2 : 0));

    TrackInfo old_one, new_one;
    old_one.trackId = before.tracks.at(gone).id;
    new_one.trackId = fresh[0].trackId;
    IPodDatabase removing(Env::Default(), root_.path());
    ASSERT_TRUE(removing.LoadForSync(nullptr).ok());
    ASSERT_TRUE(removing.SaveAfterRemoval({&old_one, &new_one}).ok());
    expected.tracks.erase(expected.tracks.end() - 2);
    expected.tracks.erase(expected.tracks.begin() + gone);
    for (fx::GpodPlaylist& pl : expected.playlists) std::erase(pl.members, old_one.trackId);
    const fx::GpodDump after = Dump();
    EXPECT_EQ(after.tracks, expected.tracks);
    EXPECT_EQ(after.playlists, expected.playlists);
    EXPECT_EQ(after.master_count, before.master_count);
  }

  fx::TempFolder root_;
};

TEST_F(OtherLayoutTest, Libgpods) {
  if (fx::GpodToolPath().empty()) GTEST_SKIP() << "no libgpod in this build";
  std::string error;
  ASSERT_TRUE(fx::GpodMake(root_.path(), 12, &error, true)) << error;
  // Track 6 is the one episode of its podcast, which goes with it.
  AddAndRemove(6);
  std::string image;
  fx::InspectedDb db;
  ASSERT_TRUE(Env::Default().ReadFile(DbPath(root_), &image).ok());
  ASSERT_TRUE(fx::InspectITunesDb(image, &db, &error)) << error;
  EXPECT_EQ(db.datasets.at(1).playlists.at(1).items.size(), 3u);  // was two podcasts, 3 episodes
}

TEST_F(OtherLayoutTest, RealIpods) {
  if (fx::GpodToolPath().empty()) GTEST_SKIP() << "no libgpod in this build";
  TUNEWELL_SKIP_WITHOUT_REAL_IPODS();
  for (const char* folder : {"early", "podcasts"}) {
    SCOPED_TRACE(folder);
    std::string image;
    ASSERT_TRUE(
        Env::Default()
            .ReadFile(JoinPath(fx::RealIpodsDir(), {folder, "iPod_Control", "iTunes", "iTunesDB"}),
                      &image)
            .ok());
    ASSERT_TRUE(fx::WriteIPodTree(Env::Default(), root_.path(), {1, image, {}, {}}).ok());
    AddAndRemove();
  }
}

}  // namespace
}  // namespace tunewell
