// The iTunesDB and iTunesSD writers, read back by the fixture's inspector (no shared code).

#include <gtest/gtest.h>

#include "database/database_layout.h"
#include "database/empty_database.h"
#include "database/itunes_database.h"
#include "database/layout_update.h"
#include "database/shuffle_database.h"
#include "database/shuffle_layout.h"
#include "platform/memory/memory_env.h"
#include "tests/support/itunesdb_fixture.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_tracks.h"

namespace tunewell {
namespace {

using fixture::MakeTrack;
using Titles = std::vector<std::u16string>;
constexpr char kDb[] = "/i/iTunesDB";
constexpr char kSd[] = "/i/iTunesSD";

class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(env_.AddFile(kDb, BuildEmptyITunesDb()).ok()); }

  // A fresh load, then a staged and committed save, as the iPod's save does.
  Status Save(std::vector<TrackInfo>& tracks, bool adding = true) {
    ITunesDatabase db(env_);
    RETURN_IF_ERROR(db.Load(kDb, nullptr, false));
    StagedFile staged;
    RETURN_IF_ERROR(adding ? db.StageAdding(kDb, fixture::ArrayOf(tracks), &staged)
                           : db.StageRemoving(kDb, fixture::ArrayOf(tracks), &staged));
    return staged.Commit(std::string(kDb) + ".bak");
  }
  Status Remove(const std::vector<uint32_t>& ids) {
    std::vector<TrackInfo> gone(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) gone[i].trackId = ids[i];
    return Save(gone, false);
  }
  std::string Image() const { return env_.Contents(kDb).value_or(""); }
  DatabaseLayout Layout(const std::string& image) {
    DatabaseLayout layout;
    EXPECT_TRUE(ParseLayout(ImageView(image), &layout).ok());
    return layout;
  }
  fixture::InspectedDb Inspect() {
    fixture::InspectedDb db;
    std::string error;
    EXPECT_TRUE(fixture::InspectITunesDb(Image(), &db, &error)) << error;
    return db;
  }
  // Titles in the order of the sort index `type` of the `d`th playlist dataset, read by the
  // inspector.
  Titles IndexTitles(SortType type, size_t d = 0) {
    const fixture::InspectedDb db = Inspect();
    Titles titles;
    size_t seen = 0;
    for (const auto& dataset : db.datasets) {
      if (dataset.playlists.empty() || seen++ != d) continue;
      for (const auto& r : dataset.playlists[0].records) {
        if (r.type != 52 || r.sort_type != static_cast<uint32_t>(type)) continue;
        for (uint32_t e : r.entries) titles.push_back(db.tracks.at(e).title);
      }
    }
    return titles;
  }

  MemoryEnv env_;
};

TEST_F(WriterTest, AddingSortsEveryIndexAndRemovingClosesUp) {
  std::vector<TrackInfo> tracks = {MakeTrack(u"Zebra", u"B", u"X", 2),
                                   MakeTrack(u"Apple \u20AC", u"A", u"Y", 1),
                                   MakeTrack(u"Mango", u"A", u"X", 10)};
  tracks[1].genre = u"Jazz";
  const std::string empty = Image();
  ASSERT_TRUE(Save(tracks).ok());
  // New tracks get ids from 1 and the places after the old tracks, in array order.
  EXPECT_EQ(std::tie(tracks[0].trackId, tracks[2].trackId, tracks[2].position),
            std::make_tuple(1u, 3u, 3));
  EXPECT_EQ(env_.Contents(std::string(kDb) + ".bak"), empty);
  EXPECT_EQ(IndexTitles(SortType::kTitle), (Titles{u"Apple \u20AC", u"Mango", u"Zebra"}));
  // Artist A: album X (Mango) before album Y; then B.
  EXPECT_EQ(IndexTitles(SortType::kArtist), (Titles{u"Mango", u"Apple \u20AC", u"Zebra"}));
  // Album X: number 2 before number 10: numbers compare as numbers.
  EXPECT_EQ(IndexTitles(SortType::kAlbum), (Titles{u"Zebra", u"Mango", u"Apple \u20AC"}));
  EXPECT_EQ(IndexTitles(SortType::kGenre, 1).back(), u"Apple \u20AC");  // empty genres first

  const std::string before = Image();
  const DatabaseLayout old = Layout(before);
  // A repeat and a stranger remove nothing more.
  ASSERT_TRUE(Remove({tracks[1].trackId, tracks[1].trackId, 9999}).ok());
  const std::string after = Image();
  const DatabaseLayout now = Layout(after);
  EXPECT_EQ(now.track_count, 2u);
  EXPECT_EQ(after.size(), before.size() - old.tracks[1].total_length - 2 * 140);
  EXPECT_EQ(after.substr(now.tracks[1].offset, now.tracks[1].total_length),
            before.substr(old.tracks[2].offset, old.tracks[2].total_length));
  // Positions are places in the track dataset as written.
  for (const ItemInfo& item : now.playlist_datasets[1].items) {
    EXPECT_EQ(now.tracks.at(item.position - 1).track_id, item.track_id);
  }
  EXPECT_EQ(IndexTitles(SortType::kTitle), (Titles{u"Mango", u"Zebra"}));
  // Saving nothing rewrites the same bytes.
  ASSERT_TRUE(Remove({}).ok());
  std::vector<TrackInfo> none;
  ASSERT_TRUE(Save(none).ok());
  EXPECT_EQ(Image(), after);
}

TEST_F(WriterTest, NewIdsAreFreeOnesAboveTheLargestWhileThereAreAny) {
  const struct {
    uint32_t first_id;
    uint64_t first_database_id;
    std::vector<uint32_t> new_ids;
    std::vector<uint64_t> new_database_ids;
  } cases[] = {
      {900, 0x7000000000000000, {901, 902}, {0x7000000000000001, 0x7000000000000002}},
      // At the top of the range: the lowest free ids, never 0 or one already there.
      {0xFFFFFFFF, 0xFFFFFFFFFFFFFFFF, {1, 3}, {1, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first_id);
    // The first record holds a larger id than the last one.
    std::vector<fixture::FixtureTrack> old = fixture::SampleTracks(2);
    old[0].id = c.first_id, old[0].database_id = c.first_database_id;
    const std::string image = fixture::BuildITunesDb(old);
    ASSERT_TRUE(env_.AddFile(kDb, image).ok());
    std::vector<TrackInfo> more = {MakeTrack(u"c", u"A", u"X"), MakeTrack(u"d", u"A", u"X")};
    ASSERT_TRUE(Save(more).ok());
    EXPECT_EQ(std::vector({more[0].trackId, more[1].trackId}), c.new_ids);
    // The old track records are kept byte for byte, and so is the library's title record.
    const std::string after = Image();
    const DatabaseLayout layout = Layout(image), now = Layout(after);
    const auto& old_title = layout.playlist_datasets[0].data_records[0];
    const auto& new_title = now.playlist_datasets[0].data_records[0];
    const size_t old_block =
        layout.tracks[1].offset + layout.tracks[1].total_length - layout.tracks[0].offset;
    EXPECT_EQ(after.substr(now.tracks[0].offset, old_block),
              image.substr(layout.tracks[0].offset, old_block));
    EXPECT_EQ(after.substr(new_title.offset, new_title.total_length),
              image.substr(old_title.offset, old_title.total_length));
    const fixture::InspectedDb db = Inspect();
    EXPECT_EQ(std::vector({db.tracks.at(2).database_id, db.tracks.at(3).database_id}),
              c.new_database_ids);
  }
}

// Other programs' layouts: new tracks in every library playlist in the form of its items, the
// indexes and jump tables regenerated, albums added and dropped, removed tracks gone from every
// playlist, the old tracks' records kept.
TEST_F(WriterTest, OtherLayoutsAreUpdatedRecordByRecord) {
  fixture::ITunesDbOptions shuffled = {.item_header_length = 80,
                                       .dataset_types = {2, 1, 3, 4},
                                       .jump_tables = true,
                                       .extra_playlists = 1};
  // With the albums listed after adding (99: no album list; none for 244-byte track headers).
  const std::pair<fixture::ITunesDbOptions, uint32_t> layouts[] = {
      {fixture::ManyDatasetLayout(), 1}, {fixture::TwoDatasetLayout(), 99}, {shuffled, 0}};
  for (const auto& [options, added_albums] : layouts) {
    ASSERT_TRUE(env_.AddFile(kDb, fixture::BuildITunesDb(fixture::SampleTracks(3), options)).ok());
    const std::string before = Image();
    std::vector<TrackInfo> tracks = {MakeTrack(u"Zed", u"A", u"New"),
                                     MakeTrack(u"Ant", u"A", u"New")};
    ASSERT_TRUE(Save(tracks).ok());
    // None is added where the file had none.
    const Titles sorted = {u"Ant", u"Title 0", u"Title 1", u"Title 2", u"Zed"};
    EXPECT_EQ(IndexTitles(SortType::kTitle), options.sort_index_count ? sorted : Titles());
    for (const auto& dataset : Inspect().datasets) {
      if (dataset.playlists.empty()) continue;
      const auto& library = dataset.playlists[0];
      ASSERT_EQ(library.items.size(), 5u);
      EXPECT_EQ(library.items[4].track_id, tracks[1].trackId);
      EXPECT_EQ(library.items[4].position.has_value(), library.items[0].position.has_value());
      for (const auto& r : library.records) {
        if (r.type == 53 && r.sort_type == 3) {
          EXPECT_EQ(r.entries, (std::vector<uint32_t>{'A', 0, 1, 'T', 1, 3, 'Z', 4, 1}));
        }
      }
    }
    const DatabaseLayout old = Layout(before), now = Layout(Image());
    for (size_t k = 0; k < 3; ++k) {
      EXPECT_EQ(Image().substr(now.tracks[k].offset, now.tracks[k].total_length),
                before.substr(old.tracks[k].offset, old.tracks[k].total_length));
    }
    const auto albums = [&] {
      for (const DatasetInfo& d : Layout(Image()).datasets) {
        if (d.type == 4) return fixture::GetU32(Image(), d.offset + d.header_length + 8);
      }
      return 99u;
    };
    EXPECT_EQ(albums(), added_albums);
    ASSERT_TRUE(Remove({2, tracks[0].trackId, tracks[1].trackId}).ok());
    for (const auto& dataset : Inspect().datasets) {
      for (const auto& playlist : dataset.playlists) {
        std::vector<uint32_t> ids;
        for (const auto& item : playlist.items) ids.push_back(item.track_id);
        EXPECT_EQ(ids, (std::vector<uint32_t>{1, 3}));
      }
    }
    EXPECT_EQ(albums(), added_albums == 99 ? 99u : 0u);
  }
}

TEST(JumpLetterTest, FilesTextsAsLibgpodDoes) {
  const std::u16string texts[] = {
      u"", u"#1", u"9", u"_x", u"apple", u"The End", u"\u00e9t\u00e9", u"\u00df", u"\u65e5"};
  const std::u16string letters = u"000XAT\u00c9\u00df\u65e5";
  for (size_t i = 0; i < std::size(texts); ++i) EXPECT_EQ(JumpLetter(texts[i]), letters[i]) << i;
}

// ---- iTunesSD ----

TEST(ShuffleWriterTest, AddsAndRemovesByExactNameAndCountsWhatItWrote) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFile(kSd, fixture::BuildITunesSd({u":first", u":Second", u":third"})).ok());
  const auto save = [&](std::vector<std::u16string> paths, bool adding) {
    std::vector<TrackInfo> tracks(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) tracks[i].path = paths[i];
    ShuffleDatabase sd(env);
    StagedFile staged;
    Status s = sd.Load(kSd);
    if (s.ok()) {
      s = adding ? sd.StageAdding(kSd, fixture::ArrayOf(tracks), &staged)
                 : sd.StageRemoving(kSd, fixture::ArrayOf(tracks), &staged);
    }
    if (s.ok()) s = staged.Commit("");
    EXPECT_TRUE(s.ok()) << s.ToString();
    return fixture::ReadITunesSdNames(*env.Contents(kSd));
  };
  // A differently cased name, a repeat and a stranger remove nothing more than the first entry.
  EXPECT_EQ(save({u":first", u":second", u":first", u":nowhere"}, false),
            (Titles{u":Second", u":third"}));
  const std::u16string longest(261, u'x');
  EXPECT_EQ(
      save({u":iPod_Control:Music:F01:ABCD.mp3", u":y\u20AC", longest}, true),
      (Titles{u":Second", u":third", u":iPod_Control:Music:F01:ABCD.mp3", u":y\u20AC", longest}));
  std::string entry;
  EXPECT_EQ(BuildShuffleEntry(longest + u"x", &entry).code(), Status::Code::kInvalidArgument);
}

TEST(ShuffleWriterTest, ReadsTheRealShuffleDatabase) {
  TUNEWELL_SKIP_WITHOUT_REAL_IPODS();
  ShuffleDatabase sd(Env::Default());
  ASSERT_TRUE(sd.Load(fixture::RealIpodsDir() + "/podcasts/iPod_Control/iTunes/iTunesSD").ok());
  EXPECT_EQ(sd.count(), 13);
}

}  // namespace
}  // namespace tunewell
