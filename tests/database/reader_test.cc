// The reader on well-formed images: which fields it reads from which records. Other programs'
// layouts, the real iPods' among them, are read beside libgpod by the writer's independent check.
#include <gmock/gmock.h>

#include "database/image_view.h"
#include "database/itunes_database.h"
#include "database/track_reader.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "tests/support/itunesdb_fixture.h"
#include "tests/support/test_tracks.h"

namespace tunewell {
namespace {

using fixture::BuildITunesDb;
using fixture::FixtureTrack;
using fixture::ITunesDbOptions;
using fixture::RawString;
using fixture::Utf16Le;

// "id title/artist/album/genre/composer/path #number @position", texts in UTF-8.
template <typename Tracks>
std::vector<std::string> Describe(const Tracks& tracks) {
  std::vector<std::string> out;
  for (const auto& t : tracks) {
    out.push_back(std::to_string(t->trackId) + " " + Utf16ToUtf8(t->title) + "/" +
                  Utf16ToUtf8(t->artist) + "/" + Utf16ToUtf8(t->album) + "/" +
                  Utf16ToUtf8(t->genre) + "/" + Utf16ToUtf8(t->composer) + "/" +
                  Utf16ToUtf8(t->path) + " #" + std::to_string(t->trackNumber) + " @" +
                  std::to_string(t->position));
  }
  return out;
}

// The tracks in file order.
std::vector<std::string> Read(std::string_view image) {
  const ImageView view(image);
  DatabaseLayout layout;
  OwnedTracks tracks;
  Status s = ParseLayout(view, &layout);
  if (s.ok()) s = ReadTracks(view, layout, &tracks);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return Describe(tracks);
}

FixtureTrack T(uint32_t id, std::u16string title, int32_t number = 0) {
  return {.id = id, .track_number = number, .title = std::move(title)};
}

TEST(ReaderTest, LoadKeepsTheImageListsInTitleOrderAndDropsWhatItHolds) {
  std::vector<FixtureTrack> tracks = fixture::SampleTracks(3);
  tracks[0].title = u"Zebra", tracks[0].composer = u"Someone", tracks[0].track_number = -3;
  const std::string image = BuildITunesDb(tracks);
  MemoryEnv env;
  ASSERT_TRUE(env.AddFile("/iTunesDB", image).ok());
  ITunesDatabase db(env);
  TrackInfo held = fixture::MakeTrack(u"Title 1", u"Artist 1", u"Album 1");
  TrackInfo fresh = fixture::MakeTrack(u"Title 2", u"Artist 2", u"Other");
  TrackArray candidates = {&held, &fresh};
  ASSERT_TRUE(db.Load("/iTunesDB", &candidates, true).ok());
  EXPECT_EQ(candidates, TrackArray{&fresh});
  EXPECT_EQ(db.image(), image);
  EXPECT_TRUE(db.writable().ok()) << db.writable().ToString();
  EXPECT_THAT(Describe(db.trackList().tracks()),
              ::testing::ElementsAre(
                  "2 Title 1/Artist 1/Album 1/Rock//:iPod_Control:Music:F01:TRK1.mp3 #2 @2",
                  "3 Title 2/Artist 2/Album 2/Rock//:iPod_Control:Music:F02:TRK2.mp3 #3 @3",
                  "1 Zebra/Artist 0/Album 0/Rock/Someone/:iPod_Control:Music:F00:TRK0.mp3 #-3 @1"));
}

TEST(ReaderTest, RecordVariantsReadTheSameFields) {
  FixtureTrack strings = T(1, u""), odd = T(2, u"");
  strings.extra_strings = {{99, "junk that is not text"},    {1, Utf16Le(u"Title")},
                           {6, Utf16Le(u"MPEG audio file")}, {8, Utf16Le(u"note")},
                           {4, Utf16Le(u"Artist")},          {52, std::string(13, '\x7F')},
                           {12, Utf16Le(u"Composer")}};
  odd.extra_strings = {RawString{1, "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E", 2},  // UTF-8
                       {3, Utf16Le(u"Abc") + "Z"},  // a stray last byte
                       {4, Utf16Le(u"After")},
                       {5, ""}};
  const ITunesDbOptions shortest = {.dataset_header_length = 16,
                                    .track_list_header_length = 12,
                                    .track_header_length = 48,
                                    .playlist_list_header_length = 12,
                                    .playlist_header_length = 20,
                                    .item_header_length = 28};
  const struct {
    const char* name;
    std::vector<FixtureTrack> tracks;
    ITunesDbOptions options;
    std::vector<std::string> expected;  // in file order
  } variants[] = {
      {"other string types and encodings",
       {strings, odd},
       {},
       {"1 Title/Artist///Composer/ #0 @1", "2 Caf\u00E9 \u20AC \U0001D11E/After/Abc/// #0 @2"}},
      {"positions go to the first track of an item's id",
       {T(1, u"one"), T(2, u"two"), T(5, u"five"), T(5, u"again")},
       {.items = std::vector<fixture::FixtureItem>{{1, 7}, {5, 9}, {3, 4}}},
       {"1 one///// #0 @7", "2 two///// #0 @-1", "5 five///// #0 @9", "5 again///// #0 @-1"}},
      {"the shortest headers with each field", {T(1, u"one", 3)}, shortest, {"1 one///// #3 @1"}},
      {"number cut off", {T(1, u"one", 3)}, {.track_header_length = 40}, {"1 one///// #0 @1"}},
      {"an empty database", {}, {}, {}}};
  for (const auto& v : variants) {
    EXPECT_EQ(Read(BuildITunesDb(v.tracks, v.options)), v.expected) << v.name;
  }
}

// The type-2 dataset gives the positions, wherever it lies; the type-3 one only without it.
TEST(ReaderTest, PositionsComeFromTheType2Dataset) {
  for (const auto& [types, position] : std::vector<std::pair<std::vector<uint32_t>, int>>{
           {{1, 3, 2}, 1}, {{1, 2, 3}, 1}, {{1, 3}, 51}, {{1}, -1}}) {
    fixture::ITunesDbMap map;
    std::string image = BuildITunesDb(fixture::SampleTracks(2), {.dataset_types = types}, &map);
    for (const auto& pd : map.playlist_datasets) {
      if (fixture::GetU32(image, pd.dataset + 12) != 3) continue;
      for (uint32_t k : {0, 1}) fixture::PutU32(&image, pd.items[k] + 100, 51 + k);
    }
    const std::vector<std::string> read = Read(image);
    EXPECT_TRUE(read[1].ends_with(" @" + std::to_string(position < 0 ? -1 : position + 1)));
  }
}

}  // namespace
}  // namespace tunewell
