// Broken images: every failure is a Corruption status naming an offset, never a crash, a hang or
// a read outside the image (these tests also run under AddressSanitizer in the fuzz build).

#include <gtest/gtest.h>

#include <memory>

#include "tests/database/reader_test_util.h"

namespace tunewell {
namespace {

using fixture::BuildITunesDb;
using fixture::ITunesDbMap;
using fixture::ITunesDbOptions;
using fixture::PutU32;

// A heap copy of exactly `n` bytes, so that reading past its end is reading past an allocation.
class ExactCopy {
 public:
  ExactCopy(std::string_view bytes, size_t n) : bytes_(std::make_unique<char[]>(n)), size_(n) {
    std::copy(bytes.begin(), bytes.begin() + n, bytes_.get());
  }
  std::string_view view() const { return std::string_view(bytes_.get(), size_); }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t size_;
};

Status Parse(std::string_view image) {
  DatabaseLayout layout;
  OwnedTracks tracks;
  return ParseImage(image, &layout, &tracks);
}

std::string Offset(size_t offset) { return "offset " + std::to_string(offset) + ":"; }

// A default image, one with most variations at once, and the layouts of real iPods.
std::vector<std::string> Images() {
  std::vector<fixture::FixtureTrack> tracks = fixture::SampleTracks(3);
  tracks[1].extra_strings = {fixture::RawString{8, "odd", 1}, fixture::RawString{1, "\xC3\xA9", 2}};
  ITunesDbOptions variant;
  variant.dataset_types = {1, 3, 2, 4, 5};
  variant.jump_tables = true;
  variant.extra_playlists = 1;
  variant.track_header_length = 160;
  variant.items = std::vector<fixture::FixtureItem>{{1, std::nullopt}, {2, 5}, {9, 1}};
  return {BuildITunesDb(tracks), BuildITunesDb(tracks, variant),
          BuildITunesDb(tracks, fixture::ManyDatasetLayout()),
          BuildITunesDb(tracks, fixture::TwoDatasetLayout())};
}

TEST(BoundsTest, EveryTruncatedPrefixIsCorruption) {
  for (const std::string& image : Images()) {
    ASSERT_TRUE(Parse(image).ok());
    for (size_t n = 0; n < image.size(); ++n) {
      const ExactCopy prefix(image, n);
      const Status s = Parse(prefix.view());
      ASSERT_TRUE(s.IsCorruption()) << "prefix of " << n << " bytes: " << s.ToString();
      ASSERT_NE(s.message().find("offset "), std::string::npos) << s.message();
    }
  }
}

// With the file length patched to match, a prefix parses deeper. Only a cut between datasets
// may then parse, and what parses is never writable.
TEST(BoundsTest, TruncatedPrefixesWithMatchingFileLength) {
  for (const std::string& image : Images()) {
    DatabaseLayout whole;
    OwnedTracks all;
    ASSERT_TRUE(ParseImage(image, &whole, &all).ok());
    size_t parsed = 0;
    for (size_t n = 12; n < image.size(); ++n) {
      std::string cut = image.substr(0, n);
      PutU32(&cut, 8, static_cast<uint32_t>(n));
      const ExactCopy prefix(cut, n);
      DatabaseLayout layout;
      OwnedTracks tracks;
      const Status s = ParseImage(prefix.view(), &layout, &tracks);
      if (s.ok()) {
        ++parsed;
        ASSERT_FALSE(CheckWritableShape(ImageView(prefix.view()), layout).ok()) << n;
      } else {
        ASSERT_TRUE(s.IsCorruption()) << n << ": " << s.ToString();
      }
    }
    EXPECT_LT(parsed, whole.datasets.size());
  }
}

struct FieldCase {
  const char* name;
  size_t field;   // offset of the field to break
  size_t record;  // offset the message must name
};

std::vector<FieldCase> LengthFields(const ITunesDbMap& m, uint32_t track_header_length) {
  const auto& pd = m.playlist_datasets[0];
  const size_t string0 = m.tracks[1] + track_header_length;
  return {
      {"database header length", 4, 0},
      {"file length", 8, 0},
      {"track dataset header length", m.datasets[0] + 4, m.datasets[0]},
      {"track dataset total length", m.datasets[0] + 8, m.datasets[0]},
      {"second dataset total length", m.datasets[1] + 8, m.datasets[1]},
      {"track list header length", m.track_list + 4, m.track_list},
      {"track header length", m.tracks[1] + 4, m.tracks[1]},
      {"track total length", m.tracks[1] + 8, m.tracks[1]},
      {"string total length", string0 + 8, string0},
      {"playlist list header length", pd.playlist_list + 4, pd.playlist_list},
      {"library header length", pd.playlists[0] + 4, pd.playlists[0]},
      {"library total length", pd.playlists[0] + 8, pd.playlists[0]},
      {"data record total length", pd.data_records[2] + 8, pd.data_records[2]},
      {"item header length", pd.items[1] + 4, pd.items[1]},
      {"item total length", pd.items[1] + 8, pd.items[1]},
      {"last item of the second dataset", m.playlist_datasets[1].items[2] + 8,
       m.playlist_datasets[1].items[2]},
      {"last dataset total length", m.datasets.back() + 8, m.datasets.back()},
  };
}

// In the writable layout and in the many-dataset one of real iPods.
TEST(BoundsTest, LengthsOutsideOrZeroAreCorruptionAtTheirRecord) {
  for (const ITunesDbOptions& options : {ITunesDbOptions{}, fixture::ManyDatasetLayout()}) {
    ITunesDbMap m;
    const std::string image = BuildITunesDb(fixture::SampleTracks(3), options, &m);
    for (const FieldCase& c : LengthFields(m, options.track_header_length)) {
      for (uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFFFu,
                             static_cast<uint32_t>(image.size() + 1)}) {
        std::string broken = image;
        PutU32(&broken, c.field, value);
        const Status s = Parse(ExactCopy(broken, broken.size()).view());
        ASSERT_TRUE(s.IsCorruption()) << c.name << " = " << value << ": " << s.ToString();
        EXPECT_NE(s.message().find(Offset(c.record)), std::string::npos)
            << c.name << " = " << value << ": " << s.message();
      }
    }
  }
}

TEST(BoundsTest, TextLengthPastItsRecord) {
  ITunesDbMap m;
  const std::string image = BuildITunesDb(fixture::SampleTracks(2), {}, &m);
  const size_t string0 = m.tracks[1] + 244;
  for (uint32_t value : {0xFFFFFFFFu, fixture::GetU32(image, string0 + 8) - 39}) {
    std::string broken = image;
    PutU32(&broken, string0 + 28, value);
    const Status s = Parse(ExactCopy(broken, broken.size()).view());
    ASSERT_TRUE(s.IsCorruption()) << s.ToString();
    EXPECT_NE(s.message().find(Offset(string0)), std::string::npos) << s.message();
  }
}

TEST(BoundsTest, CountsLargerThanTheRecordsPresent) {
  ITunesDbMap m;
  const std::string image = BuildITunesDb(fixture::SampleTracks(3), {}, &m);
  const auto& pd = m.playlist_datasets[0];
  const struct {
    const char* name;
    size_t field;
    size_t missing;  // where the first record that is not there was looked for
  } cases[] = {
      {"track count", m.track_list + 8, m.datasets[1]},
      {"data record count", pd.playlists[0] + 12, pd.items[0]},
      {"item count", pd.playlists[0] + 16,
       pd.playlists[0] + fixture::GetU32(image, pd.playlists[0] + 8)},
  };
  for (const auto& c : cases) {
    for (uint32_t value : {7u, 1000000u, 0xFFFFFFFFu}) {
      std::string broken = image;
      PutU32(&broken, c.field, value);
      const Status s = Parse(ExactCopy(broken, broken.size()).view());
      ASSERT_TRUE(s.IsCorruption()) << c.name << " = " << value << ": " << s.ToString();
      EXPECT_NE(s.message().find(Offset(c.missing)), std::string::npos) << s.message();
    }
  }

  // A string count beyond the records present stops at the end of the track record.
  std::string broken = image;
  PutU32(&broken, m.tracks[0] + 12, 0xFFFFFFFF);
  DatabaseLayout layout;
  OwnedTracks tracks;
  const Status s = ParseImage(ExactCopy(broken, broken.size()).view(), &layout, &tracks);
  ASSERT_TRUE(s.ok() || s.IsCorruption()) << s.ToString();
  if (s.ok()) {
    EXPECT_EQ(tracks[0]->title, u"Title 0");
  }
}

TEST(BoundsTest, WrongTagsAreNamedWithTheirOffset) {
  ITunesDbMap m;
  const std::string image = BuildITunesDb(fixture::SampleTracks(3), {}, &m);
  const auto& pd = m.playlist_datasets[0];
  const size_t places[] = {0,
                           m.datasets[0],
                           m.datasets[2],
                           m.track_list,
                           m.tracks[2],
                           m.tracks[0] + 244,
                           pd.playlist_list,
                           pd.playlists[0],
                           pd.data_records[0],
                           pd.data_records[5],
                           pd.items[2],
                           m.playlist_datasets[1].items[0]};
  for (size_t at : places) {
    std::string broken = image;
    broken[at] = 'X';
    const Status s = Parse(ExactCopy(broken, broken.size()).view());
    ASSERT_TRUE(s.IsCorruption()) << at << ": " << s.ToString();
    EXPECT_NE(s.message().find(Offset(at)), std::string::npos) << s.message();
    EXPECT_NE(s.message().find("\"X" + image.substr(at + 1, 3) + "\""), std::string::npos)
        << s.message();
  }
}

TEST(BoundsTest, APositionRecordWithAnotherTagIsNoPosition) {
  ITunesDbMap m;
  std::string image = BuildITunesDb(fixture::SampleTracks(2), {}, &m);
  image[m.playlist_datasets[0].items[1] + 76] = 'X';
  DatabaseLayout layout;
  OwnedTracks tracks;
  ASSERT_TRUE(ParseImage(image, &layout, &tracks).ok());
  EXPECT_EQ(tracks[1]->position, -1);
  EXPECT_TRUE(CheckWritableShape(ImageView(image), layout).IsRefused());
}

TEST(BoundsTest, ImageViewChecksEveryRead) {
  const std::string bytes = "mhbd\x01\x02\x03";
  const ImageView view(bytes);
  uint32_t u32 = 0;
  uint64_t u64 = 0;
  EXPECT_TRUE(view.U32(3, "x", &u32).ok());
  EXPECT_TRUE(view.U32(4, "x", &u32).IsCorruption());
  EXPECT_TRUE(view.U64(0, "x", &u64).IsCorruption());
  EXPECT_TRUE(view.U32(UINT64_MAX - 1, "x", &u32).IsCorruption()) << "no wrap-around";
  EXPECT_FALSE(view.Fits(UINT64_MAX, 2));
  EXPECT_FALSE(view.Fits(2, UINT64_MAX));
  EXPECT_TRUE(view.ExpectTag(0, "mhbd").ok());
  EXPECT_TRUE(view.ExpectTag(5, "mhbd").IsCorruption());
  EXPECT_FALSE(view.HasTag(UINT64_MAX - 1, "mhbd"));
}

}  // namespace
}  // namespace tunewell
