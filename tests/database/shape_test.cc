// Which layouts the writer may rewrite: the fixture's three-dataset layout, and nothing that
// breaks one of its properties.

#include <gtest/gtest.h>

#include <functional>

#include "tests/database/reader_test_util.h"

namespace tunewell {
namespace {

using fixture::BuildITunesDb;
using fixture::ITunesDbOptions;

Status ShapeOf(const std::string& image) {
  DatabaseLayout layout;
  OwnedTracks tracks;
  Status s = ParseImage(image, &layout, &tracks);
  if (!s.ok()) return s;
  return CheckWritableShape(ImageView(image), layout);
}

TEST(ShapeTest, TheFixtureLayoutIsWritable) {
  for (size_t n : {0, 1, 3}) {
    EXPECT_TRUE(ShapeOf(BuildITunesDb(fixture::SampleTracks(n))).ok()) << n;
  }
  ITunesDbOptions options;
  options.dataset_types = {1, 3, 2};  // the playlist datasets either way round
  options.database_header_length = 188;
  options.library_title = false;
  EXPECT_TRUE(ShapeOf(BuildITunesDb(fixture::SampleTracks(2), options)).ok());
}

struct Violation {
  const char* name;
  std::function<void(ITunesDbOptions&)> options;
  const char* reason;  // a word of the refusal
};

TEST(ShapeTest, EachViolationIsRefusedWithAReason) {
  const Violation violations[] = {
      {"two datasets",
       [](ITunesDbOptions& o) {
         o.dataset_types = {1, 2};
       },
       "datasets"},
      {"four datasets",
       [](ITunesDbOptions& o) {
         o.dataset_types = {1, 2, 3, 4};
       },
       "datasets"},
      {"playlists first",
       [](ITunesDbOptions& o) {
         o.dataset_types = {2, 1, 3};
       },
       "datasets"},
      {"two type-2 datasets",
       [](ITunesDbOptions& o) {
         o.dataset_types = {1, 2, 2};
       },
       "datasets"},
      {"another playlist", [](ITunesDbOptions& o) { o.extra_playlists = 1; }, "playlists"},
      {"jump tables", [](ITunesDbOptions& o) { o.jump_tables = true; }, "sort index"},
      {"four sort indexes", [](ITunesDbOptions& o) { o.sort_index_count = 4; }, "sort index"},
      {"six sort indexes", [](ITunesDbOptions& o) { o.sort_index_count = 6; }, "sort index"},
      {"a record after the indexes", [](ITunesDbOptions& o) { o.trailing_records = 1; },
       "sort index"},
      {"indexes that miss a track", [](ITunesDbOptions& o) { o.sort_index_entries = 2; },
       "sort index"},
      {"items without positions",
       [](ITunesDbOptions& o) {
         o.items = std::vector<fixture::FixtureItem>{{1, std::nullopt}, {2, 2}, {3, 3}};
       },
       "item"},
      {"a track without an item",
       [](ITunesDbOptions& o) {
         o.items = std::vector<fixture::FixtureItem>{{1, 1}, {2, 2}};
       },
       "item"},
      {"an item of an unknown track",
       [](ITunesDbOptions& o) {
         o.items = std::vector<fixture::FixtureItem>{{1, 1}, {2, 2}, {77, 3}};
       },
       "77"},
      {"124-byte items", [](ITunesDbOptions& o) { o.item_header_length = 80; }, "120"},
      {"bytes after the last track", [](ITunesDbOptions& o) { o.track_dataset_padding = 8; },
       "after the last track"},
      {"playlist lists that differ",
       [](ITunesDbOptions& o) { o.second_playlist_list_header_length = 96; }, "mirror"},
      {"short track headers", [](ITunesDbOptions& o) { o.track_header_length = 116; }, "track"},
  };
  for (const Violation& v : violations) {
    ITunesDbOptions options;
    v.options(options);
    const std::string image = BuildITunesDb(fixture::SampleTracks(3), options);
    const Status s = ShapeOf(image);
    EXPECT_TRUE(s.IsRefused()) << v.name << ": " << s.ToString();
    EXPECT_NE(s.message().find(v.reason), std::string::npos) << v.name << ": " << s.message();
    EXPECT_NE(s.message().find("offset"), std::string::npos) << v.name << ": " << s.message();

    // Still readable; only not writable.
    DbInMemory disk(image);
    ASSERT_TRUE(disk.Load().ok()) << v.name;
    EXPECT_EQ(disk.db.trackList().count(), 3) << v.name;
    EXPECT_TRUE(disk.db.writable().IsRefused()) << v.name;
  }
}

TEST(ShapeTest, ATrackIdUsedTwiceIsRefused) {
  // A removal by id would take both records while counting one.
  std::vector<fixture::FixtureTrack> tracks = fixture::SampleTracks(3);
  tracks[2].id = tracks[1].id;
  const Status s = ShapeOf(BuildITunesDb(tracks));
  EXPECT_TRUE(s.IsRefused()) << s.ToString();
}

TEST(ShapeTest, BytesBeyondTheFileLengthAreRefused) {
  std::string image = BuildITunesDb(fixture::SampleTracks(2));
  image += std::string(16, '\0');
  const Status s = ShapeOf(image);
  EXPECT_TRUE(s.IsRefused()) << s.ToString();
}

TEST(ShapeTest, SecondDatasetThatDoesNotMirrorTheFirst) {
  fixture::ITunesDbMap m;
  std::string image = BuildITunesDb(fixture::SampleTracks(3), {}, &m);
  // Swap the positions of two items in the second dataset only: lengths still agree.
  const auto& second = m.playlist_datasets[1];
  fixture::PutU32(&image, second.items[0] + 100, 2);
  fixture::PutU32(&image, second.items[1] + 100, 1);
  // Positions disagreeing between the datasets are not a layout problem for the writer.
  EXPECT_TRUE(ShapeOf(image).ok());

  image = BuildITunesDb(fixture::SampleTracks(3), {}, &m);
  fixture::PutU32(&image, m.playlist_datasets[1].playlists[0] + 4, 112);  // longer header
  // The header then swallows the title record's start; the parse fails or the shape is refused.
  const Status s = ShapeOf(image);
  EXPECT_TRUE(s.IsCorruption() || s.IsRefused()) << s.ToString();
}

}  // namespace
}  // namespace tunewell
