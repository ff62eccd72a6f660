// Which layouts the writer may rewrite: the fixture's three-dataset layout, and nothing that
// breaks one of its properties. A refused layout is still read.
#include <functional>

#include "tests/database/reader_test_util.h"

namespace tunewell {
namespace {

using fixture::BuildITunesDb;
using fixture::FixtureItem;
using fixture::ITunesDbMap;
using fixture::ITunesDbOptions;
using fixture::PutU32;

TEST(ShapeTest, TheFixtureLayoutIsWritable) {
  for (size_t n : {0, 1, 3}) EXPECT_TRUE(ShapeOf(BuildITunesDb(fixture::SampleTracks(n))).ok());
  // The playlist datasets either way round, a longer database header, no library title.
  EXPECT_TRUE(ShapeOf(BuildITunesDb(fixture::SampleTracks(2), {.database_header_length = 188,
                                                               .dataset_types = {1, 3, 2},
                                                               .library_title = false}))
                  .ok());
  // Positions that disagree between the datasets are no layout problem.
  ITunesDbMap m;
  std::string image = BuildITunesDb(fixture::SampleTracks(3), {}, &m);
  PutU32(&image, m.playlist_datasets[1].items[0] + 100, 2);
  PutU32(&image, m.playlist_datasets[1].items[1] + 100, 1);
  EXPECT_TRUE(ShapeOf(image).ok());
}

TEST(ShapeTest, EachViolationIsRefusedWithAReasonAndStillRead) {
  const struct {
    const char* name;
    ITunesDbOptions options;
    const char* reason;  // a word of the refusal
  } violations[] = {
      {"two datasets", {.dataset_types = {1, 2}}, "datasets"},
      {"four datasets", {.dataset_types = {1, 2, 3, 4}}, "datasets"},
      {"playlists first", {.dataset_types = {2, 1, 3}}, "datasets"},
      {"two type-2 datasets", {.dataset_types = {1, 2, 2}}, "datasets"},
      {"the many-dataset layout of real iPods", fixture::ManyDatasetLayout(), "datasets"},
      {"the two-dataset layout of early iPods", fixture::TwoDatasetLayout(), "datasets"},
      {"another playlist", {.extra_playlists = 1}, "playlists"},
      {"jump tables", {.jump_tables = true}, "sort index"},
      {"four sort indexes", {.sort_index_count = 4}, "sort index"},
      {"six sort indexes", {.sort_index_count = 6}, "sort index"},
      {"a record after the indexes", {.trailing_records = 1}, "sort index"},
      {"indexes that miss a track", {.sort_index_entries = 2}, "sort index"},
      {"items without positions", {.item_positions = false}, "item"},
      {"a track without an item", {.items = std::vector<FixtureItem>{{1, 1}, {2, 2}}}, "item"},
      {"an item of an unknown track",
       {.items = std::vector<FixtureItem>{{1, 1}, {2, 2}, {77, 3}}},
       "77"},
      {"124-byte items", {.item_header_length = 80}, "120"},
      {"bytes after the last track", {.track_dataset_padding = 8}, "after the last track"},
      {"playlist lists that differ", {.second_playlist_list_header_length = 96}, "mirror"},
      {"short track headers", {.track_header_length = 116}, "track"},
  };
  for (const auto& v : violations) {
    const std::string image = BuildITunesDb(fixture::SampleTracks(3), v.options);
    const Status s = ShapeOf(image);
    EXPECT_TRUE(s.IsRefused()) << v.name << ": " << s.ToString();
    EXPECT_NE(s.message().find(v.reason), std::string::npos) << v.name << ": " << s.message();
    EXPECT_NE(s.message().find("offset"), std::string::npos) << v.name << ": " << s.message();
    MemoryEnv env;
    ASSERT_TRUE(env.AddFile(kDbPath, image).ok());
    ITunesDatabase db(env);
    ASSERT_TRUE(db.Load(kDbPath, nullptr, false).ok()) << v.name;
    EXPECT_EQ(db.trackList().count(), 3) << v.name;
  }
}

// Breaks that the builder's options do not make.
TEST(ShapeTest, PatchedImagesAreRefused) {
  const struct {
    const char* name;
    std::function<void(std::string&, const ITunesDbMap&)> apply;
    bool or_corrupt;  // may fail to parse instead
  } patches[] = {
      // A removal by id would take both records while counting one.
      {"a track id used twice",
       [](auto& image, const auto& m) { PutU32(&image, m.tracks[2] + 16, 2); }, false},
      {"bytes beyond the file length",
       [](auto& image, const auto&) { image += std::string(16, '\0'); }, false},
      // Read as no position, which the writer cannot renumber.
      {"a position record with another tag",
       [](auto& image, const auto& m) { image[m.playlist_datasets[0].items[1] + 76] = 'X'; },
       false},
      // The header then swallows the title record's start.
      {"a longer playlist header in one dataset",
       [](auto& image, const auto& m) {
         PutU32(&image, m.playlist_datasets[1].playlists[0] + 4, 112);
       },
       true},
  };
  for (const auto& p : patches) {
    ITunesDbMap m;
    std::string image = BuildITunesDb(fixture::SampleTracks(3), {}, &m);
    p.apply(image, m);
    const Status s = ShapeOf(image);
    EXPECT_TRUE(s.IsRefused() || (p.or_corrupt && s.IsCorruption()))
        << p.name << ": " << s.ToString();
  }
}

}  // namespace
}  // namespace tunewell
