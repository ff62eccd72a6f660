// The reader on well-formed images: which fields it reads, from which records, in which order.
// Broken images are in bounds_test.cc, other programs' layouts in layouts_test.cc.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/database/reader_test_util.h"

namespace tunewell {
namespace {

using fixture::BuildITunesDb;
using fixture::FixtureTrack;
using fixture::ITunesDbOptions;
using fixture::RawString;
using fixture::Utf16Le;
using ::testing::ElementsAre;

FixtureTrack T(uint32_t id, std::u16string title, int32_t number = 0) {
  return {.id = id, .track_number = number, .title = std::move(title)};
}

TEST(ReaderTest, LoadReadsTheFieldsKeepsTheImageAndDropsWhatItHolds) {
  const std::string image = BuildITunesDb({
      {.id = 30,
       .track_number = 2,
       .title = u"Zebra",
       .artist = u"Band",
       .composer = u"Someone",
       .album = u"Stripes",
       .genre = u"Rock",
       .kind = u"MPEG audio file",
       .path = u":iPod_Control:Music:F01:ZEBR.mp3"},
      {.id = 10, .track_number = 11, .title = u"Apple \u20AC", .artist = u"\u00C9tienne"},
      {.id = 20, .track_number = -3, .title = u"Mango \U0001D11E"},
  });
  DbInMemory disk(image);
  TrackInfo held = fixture::MakeTrack(u"Apple \u20AC", u"\u00C9tienne", u"");
  TrackInfo fresh = fixture::MakeTrack(u"Zebra", u"Band", u"Other");
  TrackArray candidates = {&held, &fresh};
  ASSERT_TRUE(disk.Load(&candidates, true).ok());
  EXPECT_EQ(candidates, TrackArray{&fresh});
  EXPECT_EQ(disk.db.image(), image);
  EXPECT_TRUE(disk.db.writable().ok()) << disk.db.writable().ToString();
  // Title order; the kind record is not read back.
  EXPECT_THAT(
      Describe(disk.db.trackList().tracks()),
      ElementsAre("10 Apple \u20AC/\u00C9tienne//// #11 @2", "20 Mango \U0001D11E///// #-3 @3",
                  "30 Zebra/Band/Stripes/Rock/Someone/:iPod_Control:Music:F01:ZEBR.mp3 #2 @1"));
}

struct Variant {
  const char* name;
  std::vector<FixtureTrack> tracks;
  ITunesDbOptions options;
  std::vector<std::string> expected;  // Describe() of each track in file order
};

TEST(ReaderTest, RecordVariantsReadTheSameFields) {
  FixtureTrack strings = T(1, u"");
  strings.extra_strings = {
      RawString{99, "junk that is not text"},    RawString{1, Utf16Le(u"Title")},
      RawString{6, Utf16Le(u"MPEG audio file")}, RawString{8, Utf16Le(u"note")},
      RawString{4, Utf16Le(u"Artist")},          RawString{52, std::string(13, '\x7F')},
      RawString{12, Utf16Le(u"Composer")}};
  FixtureTrack odd = T(2, u"");
  odd.extra_strings = {
      RawString{1, "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E", 2},  // flagged UTF-8
      RawString{3, Utf16Le(u"Abc") + "Z"},                           // a stray last byte
      RawString{4, Utf16Le(u"After")},  // still found behind the odd record
      RawString{5, ""},
  };
  const Variant variants[] = {
      {"other string types and encodings",
       {strings, odd},
       {},
       {"1 Title/Artist///Composer/ #0 @1", "2 Caf\u00E9 \u20AC \U0001D11E/After/Abc/// #0 @2"}},
      {"positions go to the first track of an item's id",
       {T(1, u"one"), T(2, u"two"), T(5, u"five"), T(5, u"again")},
       {.items = std::vector<fixture::FixtureItem>{{1, 7}, {5, 9}, {3, 4}}},
       {"1 one///// #0 @7", "2 two///// #0 @-1", "5 five///// #0 @9", "5 again///// #0 @-1"}},
      {"the shortest headers that hold each field",
       {T(1, u"one", 3)},
       {.dataset_header_length = 16,
        .track_list_header_length = 12,
        .track_header_length = 48,
        .playlist_list_header_length = 12,
        .playlist_header_length = 20,
        .item_header_length = 28},
       {"1 one///// #3 @1"}},
      {"a track header too short for the number",
       {T(1, u"one", 3)},
       {.track_header_length = 40},
       {"1 one///// #0 @1"}},
      {"an empty database", {}, {}, {}},
  };
  for (const Variant& v : variants) {
    DatabaseLayout layout;
    OwnedTracks read;
    const Status s = ParseImage(BuildITunesDb(v.tracks, v.options), &layout, &read);
    ASSERT_TRUE(s.ok()) << v.name << ": " << s.ToString();
    EXPECT_EQ(Describe(read), v.expected) << v.name;
  }
}

// The type-2 dataset gives the positions, wherever it lies; the type-3 one only without it.
TEST(ReaderTest, PositionsComeFromTheType2Dataset) {
  const std::pair<std::vector<uint32_t>, std::vector<int32_t>> cases[] = {
      {{1, 3, 2}, {1, 2}}, {{1, 2, 3}, {1, 2}}, {{1, 3}, {51, 52}}, {{1}, {-1, -1}}};
  for (const auto& [types, positions] : cases) {
    fixture::ITunesDbMap map;
    std::string image = BuildITunesDb(fixture::SampleTracks(2), {.dataset_types = types}, &map);
    for (const auto& pd : map.playlist_datasets) {
      if (fixture::GetU32(image, pd.dataset + 12) != 3) continue;
      for (size_t k = 0; k < pd.items.size(); ++k) {
        fixture::PutU32(&image, pd.items[k] + 100, static_cast<uint32_t>(51 + k));
      }
    }
    DatabaseLayout layout;
    OwnedTracks read;
    ASSERT_TRUE(ParseImage(image, &layout, &read).ok());
    EXPECT_EQ(read[0]->position, positions[0]) << types.size();
    EXPECT_EQ(read[1]->position, positions[1]) << types.size();
  }
}

TEST(ReaderTest, MissingEmptyAndCorruptFilesLeaveTheDatabaseEmpty) {
  TrackInfo candidate = fixture::MakeTrack(u"Title 0", u"Artist 0", u"Album 0");
  TrackArray candidates = {&candidate};
  std::string image = BuildITunesDb(fixture::SampleTracks(1));
  image.pop_back();
  const std::pair<std::optional<std::string>, Status::Code> files[] = {
      {std::nullopt, Status::Code::kNotFound},
      {"", Status::Code::kNotFound},
      {image, Status::Code::kCorruption}};
  for (const auto& [contents, code] : files) {
    MemoryEnv env;
    if (contents) {
      ASSERT_TRUE(env.AddFile(kDbPath, *contents).ok());
    }
    ITunesDatabase db(env);
    const Status s = db.Load(kDbPath, &candidates, true);
    EXPECT_EQ(s.code(), code) << s.ToString();
    EXPECT_NE(s.message().find(kDbPath), std::string::npos) << s.message();
    EXPECT_FALSE(db.loaded());
    EXPECT_TRUE(db.image().empty()) << "nothing may be written from an unparsed image";
    EXPECT_FALSE(db.writable().ok());
    EXPECT_EQ(db.trackList().count(), 0);
    EXPECT_EQ(candidates.size(), 1u) << "nothing is dropped against an unreadable database";
    OwnedTracks list;
    EXPECT_EQ(db.ReadTrackList(kDbPath, &list).code(), code);
  }
}

}  // namespace
}  // namespace tunewell
