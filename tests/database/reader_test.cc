// Which fields the reader takes from which records (libgpod reads beside it in the writer's
// independent check); damaged images, each an exact heap copy so that AddressSanitizer sees any
// overrun; which layouts the writer may rewrite; the sort orders.
#include <gmock/gmock.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "database/database_layout.h"
#include "database/image_view.h"
#include "database/itunes_database.h"
#include "database/track_list.h"
#include "database/track_order.h"
#include "database/track_reader.h"
#include "platform/collation.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

using namespace fixture;  // NOLINT: the image builder and the track maker

Status Parse(std::string_view bytes, DatabaseLayout* layout = nullptr,
             OwnedTracks* tracks = nullptr) {
  const std::vector<char> copy(bytes.begin(), bytes.end());  // exactly as long
  const ImageView view(std::string_view(copy.data(), copy.size()));
  DatabaseLayout local;
  OwnedTracks read;
  RETURN_IF_ERROR(ParseLayout(view, layout ? layout : &local));
  return ReadTracks(view, layout ? *layout : local, tracks ? tracks : &read);
}

// "id title/artist/album/genre/composer/path #number @position", texts in UTF-8.
template <typename Tracks>
std::vector<std::string> Describe(const Tracks& tracks) {
  std::vector<std::string> out;
  for (const auto& t : tracks) {
    out.push_back(std::to_string(t->trackId) + " " +
                  Utf16ToUtf8(t->title + u"/" + t->artist + u"/" + t->album + u"/" + t->genre +
                              u"/" + t->composer + u"/" + t->path) +
                  " #" + std::to_string(t->trackNumber) + " @" + std::to_string(t->position));
  }
  return out;
}

std::vector<std::string> Read(std::string_view image) {
  OwnedTracks tracks;
  const Status s = Parse(image, nullptr, &tracks);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return Describe(tracks);
}

FixtureTrack T(uint32_t id, std::u16string title, int32_t number = 0) {
  return {.id = id, .track_number = number, .title = std::move(title)};
}

TEST(ReaderTest, LoadKeepsTheImageListsInTitleOrderAndDropsWhatItHolds) {
  std::vector<FixtureTrack> tracks = SampleTracks(3);
  tracks[0].title = u"Zebra", tracks[0].composer = u"Someone", tracks[0].track_number = -3;
  const std::string image = BuildITunesDb(tracks);
  MemoryEnv env;
  ASSERT_TRUE(env.AddFile("/iTunesDB", image).ok());
  ITunesDatabase db(env);
  TrackInfo held = MakeTrack(u"Title 1", u"Artist 1", u"Album 1");
  TrackInfo fresh = MakeTrack(u"Title 2", u"Artist 2", u"Other");
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
       {.items = std::vector<FixtureItem>{{1, 7}, {5, 9}, {3, 4}}},
       {"1 one///// #0 @7", "2 two///// #0 @-1", "5 five///// #0 @9", "5 again///// #0 @-1"}},
      {"the shortest headers with each field", {T(1, u"one", 3)}, shortest, {"1 one///// #3 @1"}},
      {"number cut off", {T(1, u"one", 3)}, {.track_header_length = 40}, {"1 one///// #0 @1"}}};
  for (const auto& v : variants) {
    EXPECT_EQ(Read(BuildITunesDb(v.tracks, v.options)), v.expected) << v.name;
  }
}

// The type-2 dataset gives the positions, wherever it lies; the type-3 one only without it.
TEST(ReaderTest, PositionsComeFromTheType2Dataset) {
  for (const auto& [types, position] : std::vector<std::pair<std::vector<uint32_t>, int>>{
           {{1, 3, 2}, 1}, {{1, 2, 3}, 1}, {{1, 3}, 51}, {{1}, -1}}) {
    ITunesDbMap map;
    std::string image = BuildITunesDb(SampleTracks(2), {.dataset_types = types}, &map);
    for (const auto& pd : map.playlist_datasets) {
      if (GetU32(image, pd.dataset + 12) != 3) continue;
      for (uint32_t k : {0, 1}) PutU32(&image, pd.items[k] + 100, 51 + k);
    }
    const std::vector<std::string> read = Read(image);
    EXPECT_TRUE(read[1].ends_with(" @" + std::to_string(position < 0 ? -1 : position + 1)));
  }
}

void ExpectCorruptionAt(const Status& s, size_t offset, const std::string& what) {
  ASSERT_TRUE(s.IsCorruption()) << what << ": " << s.ToString();
  EXPECT_NE(s.message().find("offset " + std::to_string(offset) + ":"), std::string::npos)
      << what << ": " << s.message();
}

// Loaded as the sync run loads it: the load's failure, else whether the writer may rewrite it.
Status Writable(const std::string& image, int tracks = 3) {
  MemoryEnv env;
  EXPECT_TRUE(env.AddFile("/iTunesDB", image).ok());
  ITunesDatabase db(env);
  RETURN_IF_ERROR(db.Load("/iTunesDB", nullptr, false));
  EXPECT_EQ(db.trackList().count(), tracks);
  return db.writable();
}

// Every cut is refused; with the file length patched to match, only a cut between datasets may
// parse, and what parses is never writable.
TEST(BoundsTest, TruncatedPrefixes) {
  std::vector<FixtureTrack> tracks = SampleTracks(3);
  tracks[1].extra_strings = {{8, "odd", 1}, {1, "\xC3\xA9", 2}};
  for (const ITunesDbOptions& options : {ITunesDbOptions{}, ManyDatasetLayout(), TwoDatasetLayout(),
                                         ITunesDbOptions{.track_header_length = 160,
                                         .dataset_types = {1, 3, 2, 4, 5},
                                         .jump_tables = true,
                                         .items = std::vector<FixtureItem>{{1, {}}, {2, 5}, {9, 1}},
                                         .extra_playlists = 1}}) {
    const std::string image = BuildITunesDb(tracks, options);
    DatabaseLayout whole;
    ASSERT_TRUE(Parse(image, &whole).ok());
    size_t parsed = 0;
    for (size_t n = 0; n < image.size(); ++n) {
      const Status cut = Parse(image.substr(0, n));
      ASSERT_TRUE(cut.IsCorruption() && cut.message().find("offset ") != std::string::npos)
          << n << ": " << cut.ToString();
      if (n < 12) continue;
      std::string patched = image.substr(0, n);
      PutU32(&patched, 8, static_cast<uint32_t>(n));
      DatabaseLayout layout;
      const Status s = Parse(patched, &layout);
      ASSERT_TRUE(s.ok() || s.IsCorruption()) << n << ": " << s.ToString();
      if (s.ok()) {
        ++parsed;
        ASSERT_FALSE(CheckWritableShape(ImageView(patched), layout).ok()) << n;
      }
    }
    EXPECT_LT(parsed, whole.datasets.size());
  }
}

// Lying lengths, counts and tags, in the writable layout and the many-dataset one of real iPods:
// each is refused at the record it belongs to (counts: where the first missing record was
// sought).
TEST(BoundsTest, LyingLengthsAndCountsAreCorruptionAtTheirRecord) {
  const std::vector<uint32_t> lengths = {0, 1, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF, 1u << 20};
  const std::vector<uint32_t> counts = {1000, 1000000, 0xFFFFFFFF};
  for (const ITunesDbOptions& options : {ITunesDbOptions{}, ManyDatasetLayout()}) {
    ITunesDbMap m;
    const std::string image = BuildITunesDb(SampleTracks(3), options, &m);
    const auto& pd = m.playlist_datasets[0];
    const size_t string0 = m.tracks[1] + options.track_header_length;
    const size_t library = pd.playlists[0];
    const struct {
      const char* name;
      size_t field, record;
      const std::vector<uint32_t>& values;
    } cases[] = {
        {"database header length", 4, 0, lengths},
        {"file length", 8, 0, lengths},
        {"track dataset header length", m.datasets[0] + 4, m.datasets[0], lengths},
        {"track dataset total length", m.datasets[0] + 8, m.datasets[0], lengths},
        {"second dataset total length", m.datasets[1] + 8, m.datasets[1], lengths},
        {"last dataset total length", m.datasets.back() + 8, m.datasets.back(), lengths},
        {"track list header length", m.track_list + 4, m.track_list, lengths},
        {"track header length", m.tracks[1] + 4, m.tracks[1], lengths},
        {"track total length", m.tracks[1] + 8, m.tracks[1], lengths},
        {"string total length", string0 + 8, string0, lengths},
        {"text length", string0 + 28, string0, {0xFFFFFFFF, GetU32(image, string0 + 8) - 39}},
        {"playlist list header length", pd.playlist_list + 4, pd.playlist_list, lengths},
        {"library header length", library + 4, library, lengths},
        {"library total length", library + 8, library, lengths},
        {"data record total length", pd.data_records[2] + 8, pd.data_records[2], lengths},
        {"item header length", pd.items[1] + 4, pd.items[1], lengths},
        {"item total length", pd.items[1] + 8, pd.items[1], lengths},
        {"last item of the second dataset", m.playlist_datasets[1].items[2] + 8,
         m.playlist_datasets[1].items[2], lengths},
        {"track count", m.track_list + 8, m.datasets[1], counts},
        {"data record count", library + 12, pd.items[0], counts},
        {"item count", library + 16, library + GetU32(image, library + 8), counts}};
    for (const auto& c : cases) {
      if (&c.values == &lengths) {  // a wrong tag is named with its offset
        std::string tagged = image;
        tagged[c.record] = 'X';
        const Status s = Parse(tagged);
        ExpectCorruptionAt(s, c.record, c.name + std::string(" tag"));
        EXPECT_NE(s.message().find("\"X" + image.substr(c.record + 1, 3) + "\""),
                  std::string::npos);
      }
      for (uint32_t value : c.values) {
        std::string broken = image;
        PutU32(&broken, c.field, value);
        ExpectCorruptionAt(Parse(broken), c.record, c.name + (" = " + std::to_string(value)));
      }
    }
  }
}

// Other programs' layouts are writable (those the writer's tests rewrite are not repeated here);
// what would make a rewrite lose or corrupt something (an option of the builder, or a field
// patched to a value) is read but refused, the reason naming a word of it and an offset.
TEST(ShapeTest, WhichLayoutsAreWritable) {
  using Items = std::vector<FixtureItem>;
  using Map = const ITunesDbMap&;
  const auto other_position = [](Map m) { return m.playlist_datasets[1].items[0] + 100; };
  const auto position_tag = [](Map m) { return m.playlist_datasets[0].items[1] + 76; };
  const auto other_header = [](Map m) { return m.playlist_datasets[1].playlists[0] + 4; };
  const struct {
    const char* name;
    ITunesDbOptions options;
    const char* reason;  // nullptr: writable; "": refused or, from a patch, not parsed at all
    size_t (*field)(const ITunesDbMap&) = nullptr;
    uint32_t value = 0;  // without a field: bytes appended
  } layouts[] = {
      {"positions that disagree between the datasets", {}, nullptr, other_position, 3},
      {"two type-2 datasets", {.dataset_types = {1, 2, 2}}, nullptr},
      {"no playlist dataset", {.dataset_types = {1}}, "library"},
      {"a sort order this program does not sort by", ManyDatasetLayout(), "sort type",
       [](const ITunesDbMap& m) { return m.playlist_datasets[0].data_records[2] + 24; }, 99},
      {"a database id used twice", ManyDatasetLayout(), "database id",
       [](const ITunesDbMap& m) { return m.tracks[2] + 112; }, 1},
      // Regenerated shorter, it would end inside its own header.
      {"a sort index with a longer header", ManyDatasetLayout(), "form",
       [](const ITunesDbMap& m) { return m.playlist_datasets[0].data_records[2] + 4; }, 80},
      {"four sort indexes", {.sort_index_count = 4}, nullptr},
      {"a record after the indexes", {.trailing_records = 1}, nullptr},
      {"indexes that miss a track", {.sort_index_entries = 2}, nullptr},
      {"a track without an item", {.items = Items{{1, 1}, {2, 2}}}, nullptr},
      {"an item of an unknown track", {.items = Items{{1, 1}, {2, 2}, {77, 3}}}, "77"},
      {"bytes after the last track", {.track_dataset_padding = 8}, nullptr},
      {"playlist lists that differ", {.second_playlist_list_header_length = 96}, nullptr},
      {"short track headers", {.track_header_length = 116}, "track"},
      // A removal by id would take both records while counting one.
      {"a track id used twice", {}, "", [](const ITunesDbMap& m) { return m.tracks[2] + 16; }, 2},
      {"bytes beyond the file length", {}, "", nullptr, 16},
      {"a signed database of an iPod classic", SignedLayout(), nullptr},
      {"scheme 1 without room for its signature", {}, "short", [](Map) { return size_t{48}; }, 1},
      // Read as an item without a position, updated as such.
      {"a position record with another tag", {}, nullptr, position_tag, 0x646F6858},
      // The header then swallows the title record's start.
      {"a longer playlist header in one dataset", {}, "", other_header, 112}};
  for (const auto& v : layouts) {
    ITunesDbMap m;
    std::string image = BuildITunesDb(SampleTracks(3), v.options, &m);
    v.field ? PutU32(&image, v.field(m), v.value) : void(image.append(v.value, '\0'));
    const Status s = Writable(image);
    if (v.reason == nullptr) {
      EXPECT_TRUE(s.ok()) << v.name << ": " << s.ToString();
    } else if (*v.reason == '\0') {
      EXPECT_TRUE(s.IsRefused() || s.IsCorruption()) << v.name << ": " << s.ToString();
    } else {
      EXPECT_TRUE(s.IsRefused()) << v.name << ": " << s.ToString();
      EXPECT_NE(s.message().find(v.reason), std::string::npos) << v.name << ": " << s.message();
      EXPECT_NE(s.message().find("offset"), std::string::npos) << v.name << ": " << s.message();
    }
  }
  for (int n : {0, 1}) EXPECT_TRUE(Writable(BuildITunesDb(SampleTracks(n)), n).ok());
  // Signed beyond renewal (a later scheme, signature bytes under none) or beside a compressed
  // database: refused in every layout, not only the one rewritten whole.
  for (const ITunesDbOptions& layout :
       {ITunesDbOptions{}, ManyDatasetLayout(), TwoDatasetLayout(), SignedLayout()}) {
    for (const auto& [field, value, reason] :
         {std::tuple{48, 2u, "scheme 2"}, {48, 0u, "signed"}, {0, 0u, "iTunesCDB"}}) {
      std::string image = BuildITunesDb(SampleTracks(3), layout);
      if (field != 0) PutU32(&image, field, value), PutU32(&image, 100, 0x100);
      MemoryEnv env;
      ITunesDatabase db(env);
      ASSERT_TRUE(env.AddFile("/iTunesDB", image).ok());
      ASSERT_TRUE(field != 0 || env.AddFile("/iTunesCDB", "x").ok());
      ASSERT_TRUE(db.Load("/iTunesDB", nullptr, false).ok());
      EXPECT_NE(db.writable().message().find(reason), std::string::npos) << reason;
    }
  }
}

// The orders built from sort keys, the in-place sorts and the duplicate check must agree with
// CompareText, which is how everything else reads them back: random tracks full of ties, case
// pairs, accents, texts that run together when concatenated and a NUL the collation cannot see.
const std::u16string kTexts[] = {u"",       u"a",        u"A",      u"ab",
                                 u"aB",     u"a b",      u"b",      u"B",
                                 u"\u00E9", u"e\u0301",  u"\u20AC", u"\U0001D11E",
                                 u"\uFFFD", u"x\u00ADy", u"xy",     u"\xD800",
                                 u"Zz",     u"c",        u"bc",     std::u16string(u"n\0l", 3)};

// Fewer values further down the chains: more ties there.
std::vector<TrackInfo> RandomTracks(std::mt19937& random, size_t count) {
  const int32_t numbers[] = {INT_MIN, -1, 0, 1, 2, 10, INT_MAX};
  std::vector<TrackInfo> tracks(count);
  for (TrackInfo& t : tracks) {
    t = MakeTrack(kTexts[random() % 20], kTexts[random() % 6], kTexts[random() % 6],
                  numbers[random() % 7]);
    t.genre = kTexts[random() % 3];
    t.composer = kTexts[random() % 3];
  }
  return tracks;
}

TEST(TrackOrderTest, SortsAndDuplicatesAgreeWithTheComparators) {
  std::mt19937 random(20240601);
  std::vector<TrackInfo> held = RandomTracks(random, 800), candidates = RandomTracks(random, 600);
  // Added after the first sorts, with texts of their own: their keys are merged into the ranks
  // kept, and the genre chain then takes more than 64 bits.
  std::vector<TrackInfo> later(300);
  for (size_t i = 0; i < later.size(); ++i) {
    const std::u16string n(1, static_cast<char16_t>(u'一' + i));
    later[i] = MakeTrack(u"t" + n, u"r" + n, u"l" + n, i % 2 ? INT_MIN : INT_MAX);
    later[i].genre = u"g" + n;
  }
  TrackArray array = ArrayOf(held);
  KeyedTracks keyed(array);
  for (const TrackArray& added : {TrackArray(), ArrayOf(later)}) {
    keyed.Append(added);
    array.insert(array.end(), added.begin(), added.end());
    for (SortType type : kSortIndexOrder) {
      keyed.Sort(type);
      TrackArray in_place = array;
      SortTracks(in_place, type);
      const auto before = [&](const TrackInfo* a, const TrackInfo* b) {
        return CompareTracks(type, *b, *a) > 0;
      };
      for (const TrackArray& sorted : {keyed.Tracks(), in_place}) {
        ASSERT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), before));
        ASSERT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), array.begin(), array.end()));
      }
    }
  }
  held.push_back(MakeTrack(u"ab", u"c", u""));
  held.push_back(MakeTrack(kTexts[19], u"a", u"a"));
  candidates.push_back(MakeTrack(u"a", u"c", u"b"));
  candidates.push_back(MakeTrack(u"a", u"bc", u""));
  candidates.push_back(MakeTrack(u"n\uFFFDl", u"a", u"a"));
  TrackArray expected;
  for (TrackInfo& c : candidates) {
    if (std::none_of(held.begin(), held.end(), [&](const TrackInfo& d) {
          return CompareText(c.title, d.title) == 0 && CompareText(c.album, d.album) == 0 &&
                 CompareText(c.artist, d.artist) == 0;
        })) {
      expected.push_back(&c);
    }
  }
  OwnedTracks owned;
  for (const TrackInfo& t : held) owned.push_back(std::make_unique<TrackInfo>(t));
  TrackArray dropped = ArrayOf(candidates);
  TrackList(std::move(owned)).DropDuplicates(dropped);
  EXPECT_EQ(dropped, expected);
  EXPECT_GT(expected.size(), 50u);
  EXPECT_LT(expected.size(), candidates.size() - 50);
}

}  // namespace
}  // namespace tunewell
