#include <gtest/gtest.h>

#include "database/ipod_database.h"
#include "tests/database/reader_test_util.h"

namespace tunewell {
namespace {

using fixture::BuildITunesDb;
using fixture::FixtureItem;
using fixture::FixtureTrack;
using fixture::ITunesDbOptions;
using fixture::RawString;
using fixture::Utf16Le;

const TrackInfo* ById(const TrackArray& tracks, uint32_t id) {
  for (const TrackInfo* t : tracks) {
    if (t->trackId == id) return t;
  }
  return nullptr;
}

TEST(ReaderTest, LoadReadsEveryFieldAndKeepsTitleOrder) {
  FixtureTrack zebra = FTrack(30, u"Zebra", u"Band", u"Stripes", 2);
  zebra.genre = u"Rock";
  zebra.composer = u"Someone";
  zebra.kind = u"MPEG audio file";
  zebra.path = u":iPod_Control:Music:F01:ZEBR.mp3";
  FixtureTrack euro = FTrack(10, u"Apple \u20AC", u"\u00C9tienne", u"Fruit", 11);
  FixtureTrack clef = FTrack(20, u"Mango \U0001D11E", u"", u"", -3);
  DbInMemory disk(BuildITunesDb({zebra, euro, clef}));

  ASSERT_TRUE(disk.Load().ok());
  EXPECT_TRUE(disk.db.loaded());
  EXPECT_TRUE(disk.db.writable().ok()) << disk.db.writable().ToString();
  const TrackArray& tracks = disk.db.trackList().tracks();
  EXPECT_EQ(Titles(tracks),
            (std::vector<std::u16string>{u"Apple \u20AC", u"Mango \U0001D11E", u"Zebra"}));

  const TrackInfo* z = ById(tracks, 30);
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z->artist, u"Band");
  EXPECT_EQ(z->album, u"Stripes");
  EXPECT_EQ(z->genre, u"Rock");
  EXPECT_EQ(z->composer, u"Someone");
  EXPECT_EQ(z->path, u":iPod_Control:Music:F01:ZEBR.mp3");
  EXPECT_EQ(z->kind, u"") << "the kind record is not read back";
  EXPECT_EQ(z->trackNumber, 2);
  EXPECT_EQ(z->position, 1);
  EXPECT_EQ(ById(tracks, 10)->artist, u"\u00C9tienne");
  EXPECT_EQ(ById(tracks, 10)->position, 2);
  EXPECT_EQ(ById(tracks, 20)->trackNumber, -3);
  EXPECT_EQ(ById(tracks, 20)->position, 3);
  EXPECT_EQ(ById(tracks, 20)->title.size(), 8u) << "a non-BMP character is two code units";
  EXPECT_EQ(z->duration, 0.0);
  EXPECT_EQ(z->fileSize, 0) << "fields not read keep their construction values";
}

TEST(ReaderTest, ReadTrackListGivesDisplayOrderAndKeepsOnlyHeaderLengths) {
  std::vector<FixtureTrack> tracks = {
      FTrack(1, u"b1", u"B", u"X", 1), FTrack(2, u"y2", u"A", u"Y", 2),
      FTrack(3, u"x10", u"A", u"X", 10), FTrack(4, u"x2 second", u"A", u"X", 2),
      FTrack(5, u"x2 first", u"A", u"X", 2)};
  ITunesDbOptions options;
  options.database_header_length = 188;
  DbInMemory disk(BuildITunesDb(tracks, options));

  OwnedTracks list;
  ASSERT_TRUE(disk.db.ReadTrackList(kDbPath, &list).ok());
  EXPECT_EQ(Titles(list),
            (std::vector<std::u16string>{u"x2 first", u"x2 second", u"x10", u"y2", u"b1"}));
  EXPECT_FALSE(disk.db.loaded());
  EXPECT_TRUE(disk.db.image().empty());
  EXPECT_EQ(disk.db.databaseHeaderLength(), 188u);
  EXPECT_EQ(disk.db.trackDatasetHeaderLength(), 96u);
  EXPECT_EQ(disk.db.trackListHeaderLength(), 92u);

  // The same through the iPod's folder.
  IPodDatabase ipod(disk.env, kIPodRoot);
  OwnedTracks again;
  ASSERT_TRUE(ipod.ReadTrackList(&again).ok());
  EXPECT_EQ(Titles(again), Titles(list));
}

TEST(ReaderTest, DatabaseWithoutTracks) {
  DbInMemory disk(BuildITunesDb({}));
  ASSERT_TRUE(disk.Load().ok());
  EXPECT_EQ(disk.db.trackList().count(), 0);
  EXPECT_TRUE(disk.db.writable().ok()) << disk.db.writable().ToString();
  OwnedTracks list;
  ASSERT_TRUE(disk.db.ReadTrackList(kDbPath, &list).ok());
  EXPECT_TRUE(list.empty());
}

TEST(ReaderTest, PositionsComeFromItemsAndGoToTheFirstTrackOfAnId) {
  ITunesDbOptions options;
  // Track 2 has no item; the item of id 5 names the first of two records with that id.
  options.items = std::vector<FixtureItem>{{1, 7}, {5, 9}, {3, 4}};
  std::vector<FixtureTrack> tracks = {
      FTrack(1, u"one", u"", u"", 0), FTrack(2, u"two", u"", u"", 0),
      FTrack(5, u"first five", u"", u"", 0), FTrack(5, u"second five", u"", u"", 0)};
  DatabaseLayout layout;
  OwnedTracks read;
  ASSERT_TRUE(ParseImage(BuildITunesDb(tracks, options), &layout, &read).ok());
  ASSERT_EQ(read.size(), 4u);
  EXPECT_EQ(read[0]->position, 7);
  EXPECT_EQ(read[1]->position, -1);
  EXPECT_EQ(read[2]->position, 9);
  EXPECT_EQ(read[3]->position, -1);
}

TEST(ReaderTest, ItemsWithoutPositionRecordsLeaveMinusOne) {
  ITunesDbOptions options;
  options.items = std::vector<FixtureItem>{{1, std::nullopt}, {2, std::nullopt}};
  DatabaseLayout layout;
  OwnedTracks read;
  ASSERT_TRUE(ParseImage(BuildITunesDb(fixture::SampleTracks(2), options), &layout, &read).ok());
  EXPECT_EQ(read[0]->position, -1);
  EXPECT_EQ(read[1]->position, -1);
}

TEST(ReaderTest, StringRecordsOfOtherTypesArePassedOver) {
  FixtureTrack t;
  t.id = 1;
  t.extra_strings = {
      RawString{99, "junk that is not text"},    RawString{1, Utf16Le(u"Title")},
      RawString{6, Utf16Le(u"MPEG audio file")}, RawString{8, Utf16Le(u"note")},
      RawString{4, Utf16Le(u"Artist")},          RawString{52, std::string(13, '\x7F')},
      RawString{12, Utf16Le(u"Composer")}};
  DatabaseLayout layout;
  OwnedTracks read;
  ASSERT_TRUE(ParseImage(BuildITunesDb({t}), &layout, &read).ok());
  EXPECT_EQ(read[0]->title, u"Title");
  EXPECT_EQ(read[0]->artist, u"Artist");
  EXPECT_EQ(read[0]->composer, u"Composer");
  EXPECT_EQ(read[0]->kind, u"");
}

TEST(ReaderTest, Utf8FlaggedAndOddLengthTexts) {
  FixtureTrack t;
  t.id = 1;
  t.extra_strings = {
      RawString{1, "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E", 2},
      RawString{3, Utf16Le(u"Abc") + "Z"},  // a stray last byte
      RawString{4, Utf16Le(u"After")},      // still found behind the odd record
      RawString{5, ""},                     // empty text
  };
  DatabaseLayout layout;
  OwnedTracks read;
  ASSERT_TRUE(ParseImage(BuildITunesDb({t}), &layout, &read).ok());
  EXPECT_EQ(read[0]->title, u"Caf\u00E9 \u20AC \U0001D11E");
  EXPECT_EQ(read[0]->album, u"Abc");
  EXPECT_EQ(read[0]->artist, u"After");
  EXPECT_EQ(read[0]->genre, u"");
}

TEST(ReaderTest, ShortTrackHeadersAndOtherHeaderLengthsAreRead) {
  ITunesDbOptions options;
  options.track_header_length = 48;  // just holds the track number
  options.dataset_header_length = 16;
  options.track_list_header_length = 12;
  options.playlist_list_header_length = 12;
  options.playlist_header_length = 20;
  options.item_header_length = 28;
  DatabaseLayout layout;
  OwnedTracks read;
  ASSERT_TRUE(ParseImage(BuildITunesDb(fixture::SampleTracks(3), options), &layout, &read).ok());
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[2]->title, u"Title 2");
  EXPECT_EQ(read[2]->trackNumber, 3);
  EXPECT_EQ(read[2]->position, 3);

  options.track_header_length = 40;  // too short for the track number, which stays 0
  ASSERT_TRUE(ParseImage(BuildITunesDb(fixture::SampleTracks(3), options), &layout, &read).ok());
  EXPECT_EQ(read[2]->trackNumber, 0);
  EXPECT_EQ(read[2]->title, u"Title 2");
}

TEST(ReaderTest, PositionsComeFromTheType2DatasetWhateverTheOrder) {
  ITunesDbOptions options;
  options.dataset_types = {1, 3, 2};
  DbInMemory disk(BuildITunesDb(fixture::SampleTracks(2), options));
  ASSERT_TRUE(disk.Load().ok());
  EXPECT_EQ(ById(disk.db.trackList().tracks(), 2)->position, 2);

  options.dataset_types = {1};  // no playlists at all
  DatabaseLayout layout;
  OwnedTracks read;
  ASSERT_TRUE(ParseImage(BuildITunesDb(fixture::SampleTracks(2), options), &layout, &read).ok());
  EXPECT_EQ(read[1]->position, -1);
}

TEST(ReaderTest, MissingEmptyAndCorruptFilesLeaveTheDatabaseEmpty) {
  MemoryEnv env;
  ITunesDatabase missing(env);
  TrackInfo candidate = MakeTrack(u"t", u"a", u"b");
  TrackArray candidates = {&candidate};
  EXPECT_TRUE(missing.Load(kDbPath, &candidates, true).IsNotFound());
  EXPECT_FALSE(missing.loaded());
  EXPECT_FALSE(missing.writable().ok());
  EXPECT_EQ(candidates.size(), 1u);
  OwnedTracks list;
  EXPECT_TRUE(missing.ReadTrackList(kDbPath, &list).IsNotFound());

  DbInMemory empty("");
  EXPECT_TRUE(empty.Load(&candidates, true).IsNotFound());
  EXPECT_FALSE(empty.db.loaded());
  EXPECT_TRUE(empty.db.ReadTrackList(kDbPath, &list).IsNotFound());

  std::string image = BuildITunesDb({FTrack(1, u"t", u"a", u"b", 1)});
  DbInMemory corrupt(image.substr(0, image.size() - 1));
  const Status s = corrupt.Load(&candidates, true);
  EXPECT_TRUE(s.IsCorruption()) << s.ToString();
  EXPECT_NE(s.message().find(kDbPath), std::string::npos) << s.message();
  EXPECT_FALSE(corrupt.db.loaded());
  EXPECT_TRUE(corrupt.db.image().empty()) << "nothing may be written from an unparsed image";
  EXPECT_TRUE(corrupt.db.writable().IsCorruption());
  EXPECT_EQ(corrupt.db.trackList().count(), 0);
  EXPECT_EQ(candidates.size(), 1u) << "nothing is dropped against an unreadable database";
}

TEST(ReaderTest, LoadKeepsTheImageByteForByte) {
  const std::string image = BuildITunesDb(fixture::SampleTracks(4));
  DbInMemory disk(image);
  ASSERT_TRUE(disk.Load().ok());
  EXPECT_EQ(disk.db.image(), image);
  EXPECT_EQ(disk.db.layout().track_count, 4u);
}

}  // namespace
}  // namespace tunewell
