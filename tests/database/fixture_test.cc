// The fixture builder checked by its own strict reader; both are used to judge the writer.

#include <gtest/gtest.h>

#include "tests/support/itunesdb_fixture.h"

namespace tunewell::fixture {
namespace {

TEST(FixtureTest, DefaultLayout) {
  std::vector<FixtureTrack> tracks = SampleTracks(3);
  tracks[0].extra_strings = {RawString{kComment, "x", 1}};
  ITunesDbMap map;
  const std::string image = BuildITunesDb(tracks, {}, &map);
  InspectedDb db;
  std::string error;
  ASSERT_TRUE(InspectITunesDb(image, &db, &error)) << error;
  EXPECT_EQ(db.header_length, 104u);
  ASSERT_EQ(db.tracks.size(), 3u);
  EXPECT_EQ(db.tracks[2].offset, map.tracks[2]);
  EXPECT_EQ(db.tracks[2].header_length, 244u);
  EXPECT_EQ(db.tracks[2].id, 3u);
  EXPECT_EQ(db.tracks[2].database_id, 0x1000000003u);
  EXPECT_EQ(GetU64(db.tracks[2].header, 168), 0x1000000003u);
  EXPECT_EQ(db.tracks[2].track_number, 3);
  EXPECT_EQ(db.tracks[2].Text(kTitle), u"Title 2");
  EXPECT_EQ(db.tracks[2].Text(kPath), u":iPod_Control:Music:F02:TRK2.mp3");
  EXPECT_EQ(db.tracks[0].strings.back().first, kComment);

  ASSERT_EQ(db.datasets.size(), 3u);
  EXPECT_EQ(db.datasets[0].type, 1u);
  for (size_t d : {1, 2}) {
    const InspectedDataset& ds = db.datasets[d];
    EXPECT_EQ(ds.type, d + 1);
    EXPECT_EQ(ds.offset, map.playlist_datasets[d - 1].dataset);
    ASSERT_EQ(ds.playlists.size(), 1u);
    const InspectedPlaylist& library = ds.playlists[0];
    ASSERT_EQ(library.records.size(), 6u);
    EXPECT_EQ(library.records[0].type, 1u);
    EXPECT_EQ(library.records[0].text, u"iPod");
    const uint32_t sort_types[] = {3, 5, 4, 7, 18};
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(library.records[i + 1].type, 52u);
      EXPECT_EQ(library.records[i + 1].sort_type, sort_types[i]);
      EXPECT_EQ(library.records[i + 1].entries, (std::vector<uint32_t>{0, 1, 2}));
      EXPECT_EQ(library.records[i + 1].total_length, 84u);
    }
    ASSERT_EQ(library.items.size(), 3u);
    for (uint32_t k = 0; k < 3; ++k) {
      EXPECT_EQ(library.items[k].total_length, 120u);
      EXPECT_EQ(library.items[k].track_id, k + 1);
      EXPECT_EQ(library.items[k].position, k + 1);
    }
  }
}

TEST(FixtureTest, VariantsAreWellFormed) {
  ITunesDbOptions o;
  o.dataset_types = {1, 3, 2, 4, 8};
  o.jump_tables = true;
  o.extra_playlists = 2;
  o.track_header_length = 160;
  o.items = std::vector<FixtureItem>{{2, std::nullopt}, {1, 9}};
  InspectedDb db;
  std::string error;
  ASSERT_TRUE(InspectITunesDb(BuildITunesDb(SampleTracks(2), o), &db, &error)) << error;
  ASSERT_EQ(db.datasets.size(), 5u);
  EXPECT_EQ(db.tracks[0].header_length, 160u);
  const InspectedDataset& ds = db.datasets[2];
  EXPECT_EQ(ds.type, 2u);
  ASSERT_EQ(ds.playlists.size(), 3u);
  EXPECT_EQ(ds.playlists[0].records.size(), 11u);
  EXPECT_EQ(ds.playlists[0].records[2].type, 53u);
  EXPECT_FALSE(ds.playlists[0].items[0].position.has_value());
  EXPECT_EQ(ds.playlists[0].items[0].total_length, 76u);
  EXPECT_EQ(ds.playlists[0].items[1].position, 9u);
  EXPECT_EQ(ds.playlists[2].records[0].text, u"Playlist 2");
  EXPECT_EQ(ds.playlists[2].items.size(), 2u);
}

TEST(FixtureTest, InspectionRejectsInconsistentLengths) {
  ITunesDbMap map;
  std::string image = BuildITunesDb(SampleTracks(2), {}, &map);
  PutU32(&image, map.tracks[0] + 8, GetU32(image, map.tracks[0] + 8) - 2);
  InspectedDb db;
  std::string error;
  EXPECT_FALSE(InspectITunesDb(image, &db, &error));
  EXPECT_NE(error.find("offset"), std::string::npos);
}

TEST(FixtureTest, ShuffleDatabase) {
  const std::string sd = BuildITunesSd({u":iPod_Control:Music:F01:ABCD.mp3", u":x\u20AC"});
  ASSERT_EQ(sd.size(), 18u + 2 * 558u);
  EXPECT_EQ(GetU24BE(sd, 0), 2u);
  EXPECT_EQ(GetU24BE(sd, 18), 558u);
  EXPECT_EQ(sd.substr(18 + 33, 4), std::string("/\0i\0", 4));
  EXPECT_EQ(ReadITunesSdNames(sd),
            (std::vector<std::u16string>{u":iPod_Control:Music:F01:ABCD.mp3", u":x\u20AC"}));
  ITunesSdOptions lying;
  lying.declared_count = 5;
  EXPECT_EQ(ReadITunesSdNames(BuildITunesSd({u":a"}, lying)).size(), 1u);
}

}  // namespace
}  // namespace tunewell::fixture
