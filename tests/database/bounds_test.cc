// Broken images: every failure is a Corruption naming an offset, never a crash or a read outside
// the image (each image is an exact heap copy, so AddressSanitizer sees any overrun).

#include <memory>

#include "tests/database/reader_test_util.h"

namespace tunewell {
namespace {

using fixture::BuildITunesDb;
using fixture::ITunesDbOptions;
using fixture::PutU32;

Status Parse(std::string_view bytes, DatabaseLayout* layout = nullptr) {
  const std::unique_ptr<char[]> copy(new char[bytes.size() + 1]);
  std::copy(bytes.begin(), bytes.end(), copy.get());
  DatabaseLayout local;
  OwnedTracks tracks;
  return ParseImage(std::string_view(copy.get(), bytes.size()), layout ? layout : &local, &tracks);
}

void ExpectCorruptionAt(const Status& s, size_t offset, const std::string& what) {
  ASSERT_TRUE(s.IsCorruption()) << what << ": " << s.ToString();
  EXPECT_NE(s.message().find("offset " + std::to_string(offset) + ":"), std::string::npos)
      << what << ": " << s.message();
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

// Lying lengths and counts, in the writable layout and the many-dataset one of real iPods: each
// is refused at the record it belongs to (counts: where the first missing record was sought).
TEST(BoundsTest, LyingLengthsAndCountsAreCorruptionAtTheirRecord) {
  const std::vector<uint32_t> lengths = {0, 1, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF, 1u << 20};
  const std::vector<uint32_t> counts = {1000, 1000000, 0xFFFFFFFF};
  for (const ITunesDbOptions& options : {ITunesDbOptions{}, fixture::ManyDatasetLayout()}) {
    fixture::ITunesDbMap m;
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
        {"item count", library + 16, library + fixture::GetU32(image, library + 8), counts},
    };
    for (const auto& c : cases) {
      for (uint32_t value : c.values) {
        std::string broken = image;
        PutU32(&broken, c.field, value);
        ExpectCorruptionAt(Parse(broken), c.record, c.name + (" = " + std::to_string(value)));
      }
    }
  }
}

TEST(BoundsTest, WrongTagsAreNamedWithTheirOffset) {
  fixture::ITunesDbMap m;
  const std::string image = BuildITunesDb(fixture::SampleTracks(3), {}, &m);
  const auto& pd = m.playlist_datasets[0];
  for (size_t at : {size_t{0}, m.datasets[0], m.datasets[2], m.track_list, m.tracks[2],
                    m.tracks[0] + 244, pd.playlist_list, pd.playlists[0], pd.data_records[0],
                    pd.data_records[5], pd.items[2], m.playlist_datasets[1].items[0]}) {
    std::string broken = image;
    broken[at] = 'X';
    const Status s = Parse(broken);
    ExpectCorruptionAt(s, at, std::to_string(at));
    EXPECT_NE(s.message().find("\"X" + image.substr(at + 1, 3) + "\""), std::string::npos);
  }
}

TEST(BoundsTest, ImageViewChecksEveryReadWithoutWrapping) {
  const ImageView view(std::string_view("mhbd\x01\x02\x03"));
  uint32_t u32 = 0;
  uint64_t u64 = 0;
  EXPECT_TRUE(view.U32(3, "x", &u32).ok());
  EXPECT_TRUE(view.U32(4, "x", &u32).IsCorruption());
  EXPECT_TRUE(view.U64(0, "x", &u64).IsCorruption());
  EXPECT_TRUE(view.U32(UINT64_MAX - 1, "x", &u32).IsCorruption());
  EXPECT_FALSE(view.Fits(UINT64_MAX, 2));
  EXPECT_FALSE(view.Fits(2, UINT64_MAX));
  EXPECT_FALSE(view.HasTag(UINT64_MAX - 1, "mhbd"));
}

}  // namespace
}  // namespace tunewell
