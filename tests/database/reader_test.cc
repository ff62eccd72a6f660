// The reader on well-formed images: which fields it reads from which records; other programs'
// layouts (real iPods, the fixture's copies of them, libgpod both ways) read but never rewritten.
#include <gmock/gmock.h>

#include "database/ipod_database.h"
#include "database/track_order.h"
#include "platform/path.h"
#include "tests/database/reader_test_util.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/test_paths.h"

namespace tunewell {
namespace {

using fixture::BuildITunesDb;
using fixture::FixtureTrack;
using fixture::ITunesDbOptions;
using fixture::RawString;
using fixture::Utf16Le;

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
  MemoryEnv env;
  ASSERT_TRUE(env.AddFile(kDbPath, image).ok());
  ITunesDatabase db(env);
  TrackInfo held = fixture::MakeTrack(u"Apple \u20AC", u"\u00C9tienne", u"");
  TrackInfo fresh = fixture::MakeTrack(u"Zebra", u"Band", u"Other");
  TrackArray candidates = {&held, &fresh};
  ASSERT_TRUE(db.Load(kDbPath, &candidates, true).ok());
  EXPECT_EQ(candidates, TrackArray{&fresh});
  EXPECT_EQ(db.image(), image);
  EXPECT_TRUE(db.writable().ok()) << db.writable().ToString();
  EXPECT_THAT(  // title order; the kind is not read back
      Describe(db.trackList().tracks()),
      ::testing::ElementsAre(
          "10 Apple \u20AC/\u00C9tienne//// #11 @2", "20 Mango \U0001D11E///// #-3 @3",
          "30 Zebra/Band/Stripes/Rock/Someone/:iPod_Control:Music:F01:ZEBR.mp3 #2 @1"));
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
  for (const auto& v : variants) {
    DatabaseLayout layout;
    OwnedTracks read;
    const Status s = ParseImage(BuildITunesDb(v.tracks, v.options), &layout, &read);
    ASSERT_TRUE(s.ok()) << v.name << ": " << s.ToString();
    EXPECT_EQ(Describe(read), v.expected) << v.name;
  }
}

// The type-2 dataset gives the positions, wherever it lies; the type-3 one only without it.
TEST(ReaderTest, PositionsComeFromTheType2Dataset) {
  const std::pair<std::vector<uint32_t>, std::vector<std::string>> cases[] = {
      {{1, 3, 2}, {"@1", "@2"}},
      {{1, 2, 3}, {"@1", "@2"}},
      {{1, 3}, {"@51", "@52"}},
      {{1}, {"@-1", "@-1"}}};
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
    for (size_t k = 0; k < 2; ++k) {
      const std::string line = Describe(read)[k];
      EXPECT_EQ(line.substr(line.rfind('@')), positions[k]) << types.size();
    }
  }
}

struct Layout {
  const char* name;
  const char* real_ipod;                  // the folder beside the checkout, or
  fixture::ITunesDbOptions (*options)();  // the fixture's layout, over SampleTracks(7)
  size_t tracks;
  const char16_t* first_title;  // in file order
  std::vector<uint32_t> datasets;
  uint32_t track_header_length;
  bool positions;
};

class LayoutTest : public ::testing::TestWithParam<Layout> {};

TEST_P(LayoutTest, ReadAndListedButNotWritable) {
  const Layout& l = GetParam();
  MemoryEnv memory;
  Env* env = &memory;
  std::string path = kDbPath;
  if (l.real_ipod != nullptr) {
    TUNEWELL_SKIP_WITHOUT_REAL_IPODS();
    env = &Env::Default();
    path = JoinPath(fixture::RealIpodsDir(), {l.real_ipod, "iPod_Control", "iTunes", "iTunesDB"});
  } else {
    ASSERT_TRUE(memory.AddFile(path, BuildITunesDb(fixture::SampleTracks(7), l.options())).ok());
  }
  std::string image;
  DatabaseLayout layout;
  OwnedTracks in_file_order;
  const Status parsed = ParseDatabaseFile(*env, path, &image, &layout, &in_file_order);
  ASSERT_TRUE(parsed.ok()) << parsed.ToString();
  std::vector<uint32_t> types;
  for (const DatasetInfo& d : layout.datasets) types.push_back(d.type);
  EXPECT_EQ(types, l.datasets);
  ASSERT_EQ(in_file_order.size(), l.tracks);
  EXPECT_EQ(in_file_order[0]->title, l.first_title);
  for (const auto& t : in_file_order) {
    EXPECT_FALSE(t->title.empty());
    EXPECT_NE(t->trackId, 0u);
    EXPECT_EQ(t->position >= 0, l.positions);
  }
  for (const TrackRecordInfo& t : layout.tracks) ASSERT_EQ(t.header_length, l.track_header_length);

  ITunesDatabase db(*env);
  ASSERT_TRUE(db.Load(path, nullptr, false).ok());
  EXPECT_TRUE(db.writable().IsRefused()) << db.writable().ToString();
  OwnedTracks display;
  ASSERT_TRUE(db.ReadTrackList(path, &display).ok());
  ASSERT_EQ(display.size(), l.tracks);
  for (size_t i = 1; i < display.size(); ++i) {
    ASSERT_LE(CompareArtist(*display[i - 1], *display[i]), 0) << i;
  }
}

const std::vector<uint32_t> kManyDatasets = {1, 3, 2, 4, 8, 6, 10, 5};
INSTANTIATE_TEST_SUITE_P(
    RealAndBuilt, LayoutTest,
    ::testing::Values(
        Layout{"podcasts", "podcasts", nullptr, 23, u"THE MVP Episode #20", kManyDatasets, 584,
               true},
        Layout{"early", "early", nullptr, 5375, u"Glenn Miller-In The Mood", {1, 2}, 160, false},
        Layout{"many_datasets", nullptr, fixture::ManyDatasetLayout, 7, u"Title 0", kManyDatasets,
               584, true},
        Layout{
            "two_datasets", nullptr, fixture::TwoDatasetLayout, 7, u"Title 0", {1, 2}, 160, false}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

std::vector<std::string> Lines(const fixture::GpodDump& dump) {
  std::vector<std::string> out;
  for (const auto& t : dump.tracks) {
    out.push_back(std::to_string(t.id) + " " + t.title + "/" + t.artist + "/" + t.album + "/" +
                  t.genre + "/" + t.composer + "/" + t.path + " #" +
                  std::to_string(t.track_number));
  }
  return out;
}

// libgpod writes, we read (and refuse to rewrite); we build, libgpod reads.
TEST(GpodCrossTest, BothWays) {
  if (fixture::GpodToolPath().empty()) GTEST_SKIP() << "no libgpod in this build";
  fixture::TempFolder made;
  std::string error;
  ASSERT_TRUE(fixture::GpodMake(made.path(), 12, &error)) << error;
  fixture::GpodDump dump;
  ASSERT_TRUE(fixture::GpodDumpOf(made.path(), &dump, &error)) << error;
  std::string image;
  DatabaseLayout layout;
  OwnedTracks ours;
  ASSERT_TRUE(ParseDatabaseFile(Env::Default(), made.Path({"iPod_Control", "iTunes", "iTunesDB"}),
                                &image, &layout, &ours)
                  .ok());
  std::vector<std::string> expected = Lines(dump);
  for (size_t i = 0; i < expected.size(); ++i) {
    expected[i] += " @" + std::to_string(i);  // libgpod numbers its items from 0
  }
  EXPECT_EQ(Describe(ours), expected);
  ASSERT_EQ(ours.size(), 12u);
  EXPECT_EQ(ours[1]->title, u"Caf\u00E9 \u20AC \U0001D11E");
  IPodDatabase ipod(Env::Default(), made.path());
  TrackInfo candidate = fixture::MakeTrack(u"Track 0", u"Artist 0", u"Album 0");
  TrackArray candidates = {&candidate};
  EXPECT_TRUE(ipod.LoadForSync(&candidates).IsRefused());
  EXPECT_EQ(candidates.size(), 1u);

  std::vector<FixtureTrack> tracks = fixture::SampleTracks(6);
  tracks[2].title = u"Euro \u20AC and clef \U0001D11E";
  tracks[4].composer = u"Bach";
  // libgpod finds no members in a master playlist whose items lack position records.
  const std::tuple<const char*, ITunesDbOptions, int> layouts[] = {
      {"three datasets", {}, 6},
      {"many datasets", fixture::ManyDatasetLayout(), 6},
      {"two datasets", fixture::TwoDatasetLayout(), 0}};
  for (const auto& [name, options, members] : layouts) {
    SCOPED_TRACE(name);
    fixture::TempFolder root;
    fixture::IPodTree tree{.music_folders = 1, .itunes_db = BuildITunesDb(tracks, options)};
    ASSERT_TRUE(fixture::WriteIPodTree(Env::Default(), root.path(), tree).ok());
    ASSERT_TRUE(fixture::GpodDumpOf(root.path(), &dump, &error)) << error;
    DatabaseLayout built;
    OwnedTracks read;
    ASSERT_TRUE(ParseImage(*tree.itunes_db, &built, &read).ok());
    std::vector<std::string> lines = Describe(read);
    for (std::string& line : lines) line.erase(line.rfind(" @"));
    EXPECT_EQ(Lines(dump), lines);
    EXPECT_EQ(dump.master_count, members);
    EXPECT_EQ(dump.playlist_count, 1 + options.extra_playlists);
  }
}

}  // namespace
}  // namespace tunewell
