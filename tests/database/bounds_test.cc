// Damaged images are a Corruption naming an offset, never a crash or a read outside the image
// (each is an exact heap copy, so AddressSanitizer sees any overrun); layouts the writer cannot
// rewrite are still read but refused with a reason.
#include <gtest/gtest.h>

#include <vector>

#include "database/database_layout.h"
#include "database/image_view.h"
#include "database/itunes_database.h"
#include "database/track_reader.h"
#include "platform/memory/memory_env.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

using fixture::BuildITunesDb;
using fixture::ITunesDbMap;
using fixture::ITunesDbOptions;
using fixture::PutU32;

Status Parse(std::string_view bytes, DatabaseLayout* layout = nullptr) {
  const std::vector<char> copy(bytes.begin(), bytes.end());  // exactly as long
  const ImageView view(std::string_view(copy.data(), copy.size()));
  DatabaseLayout local;
  OwnedTracks tracks;
  RETURN_IF_ERROR(ParseLayout(view, layout ? layout : &local));
  return ReadTracks(view, layout ? *layout : local, &tracks);
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
  std::vector<fixture::FixtureTrack> tracks = fixture::SampleTracks(3);
  tracks[1].extra_strings = {{8, "odd", 1}, {1, "\xC3\xA9", 2}};
  for (const ITunesDbOptions& options :
       {ITunesDbOptions{}, fixture::ManyDatasetLayout(), fixture::TwoDatasetLayout(),
        ITunesDbOptions{.track_header_length = 160,
        .dataset_types = {1, 3, 2, 4, 5},
        .jump_tables = true,
        .items = std::vector<fixture::FixtureItem>{{1, {}}, {2, 5}, {9, 1}},
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
  for (const ITunesDbOptions& options : {ITunesDbOptions{}, fixture::ManyDatasetLayout()}) {
    ITunesDbMap m;
    const std::string image = BuildITunesDb(fixture::SampleTracks(3), options, &m);
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
        {"text length",
         string0 + 28,
         string0,
         {0xFFFFFFFF, fixture::GetU32(image, string0 + 8) - 39}},
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
        {"item count", library + 16, library + fixture::GetU32(image, library + 8), counts}};
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

// The fixture's three-dataset layout and other programs' layouts are writable; what would make
// a rewrite lose or corrupt something (an option of the builder, or a field patched to a value)
// is read but refused, the reason naming a word of it and an offset.
TEST(ShapeTest, WhichLayoutsAreWritable) {
  using Items = std::vector<fixture::FixtureItem>;
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
      {"the fixture's", {}, nullptr},
      {"playlist datasets swapped, longer header, no library title",
       {.database_header_length = 188, .dataset_types = {1, 3, 2}, .library_title = false},
       nullptr},
      {"positions that disagree between the datasets", {}, nullptr, other_position, 3},
      {"two datasets", {.dataset_types = {1, 2}}, nullptr},
      {"four datasets", {.dataset_types = {1, 2, 3, 4}}, nullptr},
      {"playlists first", {.dataset_types = {2, 1, 3}}, nullptr},
      {"two type-2 datasets", {.dataset_types = {1, 2, 2}}, nullptr},
      {"the many-dataset layout of real iPods", fixture::ManyDatasetLayout(), nullptr},
      {"the two-dataset layout of early iPods", fixture::TwoDatasetLayout(), nullptr},
      {"no playlist dataset", {.dataset_types = {1}}, "library"},
      {"a sort order this program does not sort by", fixture::ManyDatasetLayout(), "sort type",
       [](const ITunesDbMap& m) { return m.playlist_datasets[0].data_records[2] + 24; }, 99},
      {"a database id used twice", fixture::ManyDatasetLayout(), "database id",
       [](const ITunesDbMap& m) { return m.tracks[2] + 112; }, 1},
      // Regenerated shorter, it would end inside its own header.
      {"a sort index with a longer header", fixture::ManyDatasetLayout(), "form",
       [](const ITunesDbMap& m) { return m.playlist_datasets[0].data_records[2] + 4; }, 80},
      {"another playlist", {.extra_playlists = 1}, nullptr},
      {"jump tables", {.jump_tables = true}, nullptr},
      {"four sort indexes", {.sort_index_count = 4}, nullptr},
      {"a record after the indexes", {.trailing_records = 1}, nullptr},
      {"indexes that miss a track", {.sort_index_entries = 2}, nullptr},
      {"items without positions", {.item_positions = false}, nullptr},
      {"a track without an item", {.items = Items{{1, 1}, {2, 2}}}, nullptr},
      {"an item of an unknown track", {.items = Items{{1, 1}, {2, 2}, {77, 3}}}, "77"},
      {"124-byte items", {.item_header_length = 80}, nullptr},
      {"bytes after the last track", {.track_dataset_padding = 8}, nullptr},
      {"playlist lists that differ", {.second_playlist_list_header_length = 96}, nullptr},
      {"short track headers", {.track_header_length = 116}, "track"},
      // A removal by id would take both records while counting one.
      {"a track id used twice", {}, "", [](const ITunesDbMap& m) { return m.tracks[2] + 16; }, 2},
      {"bytes beyond the file length", {}, "", nullptr, 16},
      {"a checksum scheme", {}, "signed", [](const ITunesDbMap&) { return size_t{48}; }, 1},
      {"a signature", {}, "signed", [](const ITunesDbMap&) { return size_t{100}; }, 0x100},
      // Read as an item without a position, updated as such.
      {"a position record with another tag", {}, nullptr, position_tag, 0x646F6858},
      // The header then swallows the title record's start.
      {"a longer playlist header in one dataset", {}, "", other_header, 112}};
  for (const auto& v : layouts) {
    ITunesDbMap m;
    std::string image = BuildITunesDb(fixture::SampleTracks(3), v.options, &m);
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
  for (int n : {0, 1}) EXPECT_TRUE(Writable(BuildITunesDb(fixture::SampleTracks(n)), n).ok());
  MemoryEnv env;
  ITunesDatabase db(env);
  ASSERT_TRUE(env.AddFile("/iTunesCDB", "x").ok() &&
              env.AddFile("/iTunesDB", BuildITunesDb({})).ok());
  ASSERT_TRUE(db.Load("/iTunesDB", nullptr, false).ok());
  EXPECT_NE(db.writable().message().find("iTunesCDB"), std::string::npos);
}

}  // namespace
}  // namespace tunewell
