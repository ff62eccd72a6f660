// The iTunesDB and iTunesSD writers, read back by the fixture's inspector and by libgpod (no
// shared code), and saves that fail at every point.

#include <gtest/gtest.h>

#include <cstdint>

#include "database/database_layout.h"
#include "database/empty_database.h"
#include "database/hash58.h"
#include "database/ipod_database.h"
#include "database/itunes_database.h"
#include "database/layout_update.h"
#include "database/shuffle_database.h"
#include "database/shuffle_layout.h"
#include "platform/memory/memory_env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

using namespace fixture;  // NOLINT: the image builder, the inspector and libgpod
using Op = MemoryEnv::Op;
using Titles = std::vector<std::u16string>;
constexpr char kRoot[] = "/ipod";
constexpr char kDb[] = "/ipod/iPod_Control/iTunes/iTunesDB";
constexpr char kSd[] = "/ipod/iPod_Control/iTunes/iTunesSD";
constexpr char kGuid[] = "000A27001B2C3D4E";

Hash58Key KeyOf(const char* guid) {
  FireWireGuid bytes{};
  Hash58Key key{};
  EXPECT_TRUE(ParseFireWireGuid(guid, &bytes) && DeriveHash58Key(bytes, &key).ok());
  return key;
}

class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(env_.AddFile(kDb, BuildEmptyITunesDb()).ok()); }

  // A fresh load, then a staged and committed save, as the iPod's save does.
  Status Save(std::vector<TrackInfo>& tracks, bool adding = true) {
    ITunesDatabase db(env_);
    RETURN_IF_ERROR(db.Load(kDb, nullptr, false));
    StagedFile staged;
    RETURN_IF_ERROR(adding ? db.StageAdding(kDb, ArrayOf(tracks), &staged)
                           : db.StageRemoving(kDb, ArrayOf(tracks), &staged));
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
  InspectedDb Inspect() {
    InspectedDb db;
    std::string error;
    EXPECT_TRUE(InspectITunesDb(Image(), &db, &error)) << error;
    return db;
  }
  // The titles in sort index `type` of the `d`th playlist dataset, as the inspector reads them.
  Titles IndexTitles(SortType type, size_t d = 0) {
    const InspectedDb db = Inspect();
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
    std::vector<FixtureTrack> old = SampleTracks(2);
    old[0].id = c.first_id, old[0].database_id = c.first_database_id;
    ASSERT_TRUE(env_.AddFile(kDb, BuildITunesDb(old)).ok());
    std::vector<TrackInfo> more = {MakeTrack(u"c", u"A", u"X"), MakeTrack(u"d", u"A", u"X")};
    ASSERT_TRUE(Save(more).ok());
    EXPECT_EQ(std::vector({more[0].trackId, more[1].trackId}), c.new_ids);
    const InspectedDb db = Inspect();
    EXPECT_EQ(std::vector({db.tracks.at(2).database_id, db.tracks.at(3).database_id}),
              c.new_database_ids);
  }
}

// Ours and other programs' layouts: new tracks in every library playlist in the form of its
// items, the indexes and jump tables regenerated, albums added and dropped, removed tracks gone
// from every playlist, the old tracks' records and the library's title kept byte for byte.
TEST_F(WriterTest, LayoutsAreUpdatedRecordByRecord) {
  ITunesDbOptions shuffled = {.item_header_length = 80,
                              .dataset_types = {2, 1, 3, 4},
                              .jump_tables = true,
                              .extra_playlists = 1};
  // With the albums listed after adding (99: no album list; none for 244-byte track headers).
  const std::pair<ITunesDbOptions, uint32_t> layouts[] = {
      {{}, 99}, {ManyDatasetLayout(), 1}, {TwoDatasetLayout(), 99}, {shuffled, 0}};
  for (const auto& [options, added_albums] : layouts) {
    ASSERT_TRUE(env_.AddFile(kDb, BuildITunesDb(SampleTracks(3), options)).ok());
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
    const auto bytes = [](const std::string& image, const auto& r) {
      return image.substr(r.offset, r.total_length);
    };
    for (size_t k = 0; k < 3; ++k)
      EXPECT_EQ(bytes(Image(), now.tracks[k]), bytes(before, old.tracks[k]));
    if (options.library_title) {
      EXPECT_EQ(bytes(Image(), now.playlist_datasets[0].data_records[0]),
                bytes(before, old.playlist_datasets[0].data_records[0]));
    }
    const auto albums = [&] {
      for (const DatasetInfo& d : Layout(Image()).datasets) {
        if (d.type == 4) return GetU32(Image(), d.offset + d.header_length + 8);
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

TEST(ShuffleWriterTest, AddsAndRemovesByExactNameAndCountsWhatItWrote) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFile(kSd, BuildITunesSd({u":first", u":Second", u":third"})).ok());
  const auto save = [&](std::vector<std::u16string> paths, bool adding) {
    std::vector<TrackInfo> tracks(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) tracks[i].path = paths[i];
    ShuffleDatabase sd(env);
    StagedFile staged;
    Status s = sd.Load(kSd);
    if (s.ok()) {
      s = adding ? sd.StageAdding(kSd, ArrayOf(tracks), &staged)
                 : sd.StageRemoving(kSd, ArrayOf(tracks), &staged);
    }
    if (s.ok()) s = staged.Commit("");
    EXPECT_TRUE(s.ok()) << s.ToString();
    return ReadITunesSdNames(*env.Contents(kSd));
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
  // A later shuffle's own format is named as such, not called damaged.
  EXPECT_EQ(CheckShuffleImage("bdhs" + std::string(60, '\0')).ToString(),
            "Refused: iTunesSD is in the format of a third-generation or later iPod shuffle, "
            "which this program does not write");
}

TEST(ShuffleWriterTest, ReadsTheRealShuffleDatabase) {
  TUNEWELL_SKIP_WITHOUT_REAL_IPODS();
  ShuffleDatabase sd(Env::Default());
  ASSERT_TRUE(sd.Load(RealIpodsDir() + "/podcasts/iPod_Control/iTunes/iTunesSD").ok());
  EXPECT_EQ(sd.count(), 13);
}

// The signature covers every byte but the database id and the 20 bytes after the scheme: a
// change anywhere else, the last byte too, fails the check, as does another iPod's key.
TEST(SignatureTest, CoversEveryByteButTheTwoFieldsItLeavesOut) {
  std::string image = BuildITunesDb(SampleTracks(2), SignedLayout());
  ASSERT_TRUE(SignHash58(KeyOf(kGuid), &image).ok());
  ASSERT_TRUE(CheckHash58(KeyOf(kGuid), image).ok());
  EXPECT_FALSE(CheckHash58(KeyOf("000A27001B2C3D4F"), image).ok());
  for (const auto& [at, kept] : {std::pair{0x18, true},
                                 {0x1F, true},
                                 {0x32, true},
                                 {0x45, true},
                                 {0x17, false},
                                 {0x20, false},
                                 {0x30, false},
                                 {0x46, false},
                                 {0x58, false},
                                 {0x6C, false},
                                 {int(image.size()) - 1, false}}) {
    std::string changed = image;
    changed[at] ^= 1;
    EXPECT_EQ(CheckHash58(KeyOf(kGuid), changed).ok(), kept) << at;
  }
}

// Failures at every point of a save leave both database files exactly as they were, in the
// three-dataset layout, the many-dataset one of desktop software and that signed, and where names
// cannot be swapped (a FAT volume under Windows), so that the backup is a copy.
class SaveFaultsTest : public ::testing::TestWithParam<std::tuple<bool, int, bool>> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteIPodTree(env_, kRoot, {1, BuildEmptyITunesDb(), BuildEmptyITunesSd()}).ok());
    old_ = {MakeTrack(u"one", u"A", u"X"), MakeTrack(u"two", u"A", u"Y"),
            MakeTrack(u"three", u"B", u"Z")};
    ASSERT_TRUE(Run(old_, true).ok());
    env_.Erase(std::string(kDb) + ".bak");
    if (std::get<1>(GetParam()) != 0) {
      const auto layout = std::get<1>(GetParam()) == 1 ? ManyDatasetLayout() : SignedLayout();
      ASSERT_TRUE(env_.AddFile(kDb, BuildITunesDb(SampleTracks(3), layout)).ok());
    }
    before_ = env_.TakeSnapshot();
    db_before_ = env_.Contents(kDb), sd_before_ = env_.Contents(kSd);
  }

  bool adding() const { return std::get<0>(GetParam()); }

  Status Run(std::vector<TrackInfo>& tracks, bool adding) {
    IPodDatabase ipod(env_, kRoot);
    TrackArray array = ArrayOf(tracks);
    RETURN_IF_ERROR(ipod.LoadForSync(adding ? &array : nullptr));
    if (ipod.itunesDb().mustSign()) ipod.itunesDb().SetSigningKey(KeyOf(kGuid));
    return adding ? ipod.SaveAfterSync(array) : ipod.SaveAfterRemoval(array);
  }

  // One save of this test's kind: two new tracks, or the removal of one old track.
  Status OneSave() {
    std::vector<TrackInfo> tracks = {MakeTrack(u"four", u"C", u"W"),
                                     MakeTrack(u"five", u"C", u"W")};
    if (!adding()) tracks = {old_[1]};  // id 2
    return Run(tracks, adding());
  }

  // The save fails, both files are as they were, and nothing temporary is left; then the faults
  // are cleared and the volume restored. Answers whether the save left a backup of iTunesDB.
  bool ExpectUnchanged(const std::string& what) {
    const Status s = OneSave();
    EXPECT_FALSE(s.ok()) << what;
    // (Snapshot keys are the file system's own spelling: on Windows not the path given.)
    EXPECT_EQ(env_.Contents(kDb), db_before_) << what;
    EXPECT_EQ(env_.Contents(kSd), sd_before_) << what;
    for (const std::string& path : env_.Paths()) {
      EXPECT_EQ(path.find(".tmp"), std::string::npos) << what << ": " << path;
    }
    EXPECT_EQ(env_.OpenFileCount(), 0) << what;
    const bool backup = env_.Exists(std::string(kDb) + ".bak");
    env_.ClearAllFaults();
    env_.Restore(before_);
    return backup;
  }

  int CallsOfCleanSave(Op op) {
    const MemoryEnv::Snapshot start = env_.TakeSnapshot();
    env_.ResetCounts();
    EXPECT_TRUE(OneSave().ok());
    const int calls = env_.Calls(op);
    env_.Restore(start);
    return calls;
  }

  MemoryEnv env_{std::get<2>(GetParam()) ? MemoryEnv::Names::kCaseInsensitive
                                         : MemoryEnv::Names::kCaseSensitive};
  std::vector<TrackInfo> old_;
  MemoryEnv::Snapshot before_;
  std::optional<std::string> db_before_, sd_before_;
};

TEST_P(SaveFaultsTest, EveryFailingCallLeavesBothFilesAsTheyWere) {
  // Failing the backup's copy or rename only costs the backup; every other call is needed.
  for (Op op : {Op::kReadFile, Op::kNewWritableFile, Op::kAppend, Op::kSync}) {
    const int calls = CallsOfCleanSave(op);
    ASSERT_GT(calls, 0);
    for (int n = 1; n <= calls; ++n) {
      env_.FailNth(op, n);
      ExpectUnchanged("call " + std::to_string(n) + " of op " +
                      std::to_string(static_cast<int>(op)));
    }
  }
  // The renames that put iTunesDB and iTunesSD in place.
  for (const char* target : {kDb, kSd}) {
    env_.FailNth(Op::kRename, 1, target);
    // Only a save that succeeded replaces the backup.
    EXPECT_EQ(ExpectUnchanged(std::string("rename onto ") + target), target != kDb);
  }
}

TEST_P(SaveFaultsTest, AFailedBackupDoesNotStopTheSave) {
  // The old file goes to the backup's name, or is copied there where names cannot be swapped.
  env_.Fail(Op::kRename, std::string(kDb) + ".bak");
  env_.Fail(Op::kCopy);
  ASSERT_TRUE(OneSave().ok());
  for (const char* left : {".bak", ".bak.tmp", ".tmp"}) {
    EXPECT_FALSE(env_.Exists(std::string(kDb) + left)) << left;
  }
}

// A device that reports success but keeps other bytes: the read-back comparison notices, even
// where the new file would pass its check (a flipped byte inside a title or a location).
TEST_P(SaveFaultsTest, BytesTheDeviceKeptWronglyLeaveBothFilesAsTheyWere) {
  const std::string db_tmp = std::string(kDb) + ".tmp", sd_tmp = std::string(kSd) + ".tmp";
  const struct {
    std::string file;
    size_t flip_at;            // past the end: the last byte goes missing
  } cases[] = {{db_tmp, 576},  // the first track's title: 104 + 96 + 92 + 244 + 40
               {db_tmp, 20},   // the dataset count
               {db_tmp, SIZE_MAX},
               {sd_tmp, 53},  // the first entry's name: 18 + 35
               {sd_tmp, SIZE_MAX}};
  for (const auto& c : cases) {
    env_.GarbleNthAppend(1, c.flip_at, c.file);
    ExpectUnchanged(c.file + " garbled at " + std::to_string(c.flip_at));
  }
}

constexpr const char* kFaultLayouts[] = {"", "ManyDatasets", "Signed"};
INSTANTIATE_TEST_SUITE_P(AddingAndRemoving, SaveFaultsTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(0, 1, 2),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Adding" : "Removing") +
                                  kFaultLayouts[std::get<1>(info.param)] +
                                  (std::get<2>(info.param) ? "NoSwap" : "");
                         });

// Every layout the writer meets, updated and read back by readers it shares no code with:
// libgpod and the fixture's inspector. Before and after each save libgpod and our reader read the
// same tracks; libgpod then sees every track and playlist as before, plus the new tracks in the
// library, or without the removed ones everywhere.

struct Layout {
  const char* name;
  ITunesDbOptions options{};   // of the fixture's database, unless one of these two
  const char* real = nullptr;  // a real iPod's folder
  bool libgpod = false;        // libgpod's database of a used iPod
  size_t gone = 0;             // the old track removed
  size_t podcast_items = 0;    // left in the podcast playlist of the type-3 dataset
  const char* guid = nullptr;  // libgpod's database signed for an iPod classic with this GUID
  friend void PrintTo(const Layout& l, std::ostream* os) { *os << l.name; }
};

// Items out of order, one position out of range: the writer numbers them afresh.
ITunesDbOptions StrangelyNumbered() {
  return {.items = std::vector<FixtureItem>{{3, 3}, {1, 9}, {5, 1}, {2, 4}, {4, 2}}};
}

const Layout kLayouts[] = {
    {"ThreeDatasets", StrangelyNumbered()},
    {"ManyDatasets", ManyDatasetLayout()},
    {"TwoDatasets", TwoDatasetLayout()},
    // Track 6 is the one episode of its podcast, which goes with it: of two podcasts with five
    // episodes, one with three is left.
    {"Libgpods", {}, nullptr, true, 6, 3},
    {"SignedLibgpods", {}, nullptr, true, 6, 3, kGuid},
    {"RealEarly", {}, "early"},
    {"RealPodcasts", {}, "podcasts"},
};

class IndependentCheckTest : public ::testing::TestWithParam<Layout> {
 protected:
  // libgpod's reading, checked against our reader's, of an image the inspector finds well formed.
  // Database ids are left out: libgpod makes up random ones where early databases have none.
  GpodDump Dump() {
    GpodDump dump;
    std::string error, image;
    DatabaseLayout layout;
    OwnedTracks ours;
    EXPECT_TRUE(ParseDatabaseFile(Env::Default(),
                                  root_.Path({"iPod_Control", "iTunes", "iTunesDB"}), &image,
                                  &layout, &ours)
                    .ok());
    EXPECT_TRUE(InspectITunesDb(image, &inspected_, &error)) << error;
    EXPECT_TRUE(GpodDumpOf(root_.path(), &dump, &error)) << error;
    std::vector<GpodTrack> theirs, mine;
    for (GpodTrack& t : dump.tracks) {
      theirs.push_back(
          {t.id, t.title, t.artist, t.album, t.track_number, t.path, t.genre, t.composer});
      t.database_id = 0;
    }
    for (const auto& t : ours) {
      mine.push_back({t->trackId, Utf16ToUtf8(t->title), Utf16ToUtf8(t->artist),
                      Utf16ToUtf8(t->album), t->trackNumber, Utf16ToUtf8(t->path),
                      Utf16ToUtf8(t->genre), Utf16ToUtf8(t->composer)});
    }
    EXPECT_EQ(mine, theirs);
    return dump;
  }

  TempFolder root_;
  InspectedDb inspected_;  // of the last Dump
};

TEST_P(IndependentCheckTest, AddedAndRemovedAsLibgpodReadsThem) {
  if (GpodToolPath().empty()) GTEST_SKIP() << "no libgpod in this build";
  const Layout& l = GetParam();
  std::string error, image;
  if (l.libgpod) {
    ASSERT_TRUE(GpodMake(root_.path(), 12, &error, l.guid ? l.guid : "")) << error;
  } else {
    if (l.real) {
      TUNEWELL_SKIP_WITHOUT_REAL_IPODS();
      const std::string real = JoinPath(RealIpodsDir(), {l.real, "iPod_Control", "iTunes"});
      ASSERT_TRUE(Env::Default().ReadFile(JoinPath(real, {"iTunesDB"}), &image).ok());
    } else {
      std::vector<FixtureTrack> tracks = SampleTracks(5);
      tracks[2].title = u"Euro \u20AC and clef \U0001D11E";
      tracks[4].composer = u"Bach";
      image = BuildITunesDb(tracks, l.options);
    }
    ASSERT_TRUE(WriteIPodTree(Env::Default(), root_.path(), {1, image}).ok());
  }
  const GpodDump before = Dump();

  // Header fields at and just past the edges of their rounding.
  std::vector<TrackInfo> fresh = {MakeTrack(u"Zz new", u"Artist 1", u"Album 0", 3),
                                  MakeTrack(u"Aa new \U0001D11E", u"Nobody", u"Fresh")};
  TrackInfo& full = fresh[0];
  full.genre = u"Jazz", full.composer = u"Comp", full.rating = 3, full.year = 2004;
  full.isVbr = full.hasLyrics = true;
  full.fileSize = 4000000, full.bitrate = 127999;
  full.duration = 0.9999;  // truncated, not rounded
  fresh[1].duration = 0.0004, fresh[1].bitrate = 128000;
  TrackArray candidates = ArrayOf(fresh);
  IPodDatabase adding(Env::Default(), root_.path());
  ASSERT_TRUE(adding.LoadForSync(&candidates).ok());
  // Signed as libgpod's own routine signs: signing our file again changes no byte.
  const auto signing = [&](IPodDatabase& ipod) {
    ASSERT_EQ(ipod.itunesDb().mustSign(), l.guid != nullptr);
    if (l.guid) ipod.itunesDb().SetSigningKey(KeyOf(l.guid));
  };
  const auto expect_signed = [&] {
    std::string ours, theirs;
    ASSERT_TRUE(Env::Default().ReadFile(adding.dbPath(), &ours).ok());
    ASSERT_TRUE(!l.guid || GpodSign(root_.path(), &error)) << error;
    EXPECT_TRUE(Env::Default().ReadFile(adding.dbPath(), &theirs).ok() && theirs == ours);
  };
  signing(adding);
  ASSERT_TRUE(adding.SaveAfterSync(candidates).ok());
  expect_signed();
  GpodDump expected = Dump();
  ASSERT_EQ(expected.tracks.size(), before.tracks.size() + 2);
  EXPECT_EQ(std::vector(expected.tracks.begin(), expected.tracks.end() - 2), before.tracks);
  // Short headers (early iPods') end before the lyrics flag and the media type.
  const uint32_t late = expected.tracks.back().media_type;
  EXPECT_EQ(
      expected.tracks.end()[-2],
      (GpodTrack{fresh[0].trackId, "Zz new", "Artist 1", "Album 0", 3, Utf16ToUtf8(fresh[0].path),
                 "Jazz", "Comp", 4000000, 999, 127, 2004, 60, 1, late, 0, 0, late}));
  EXPECT_EQ(expected.tracks.back(),
            (GpodTrack{fresh[1].trackId, "Aa new \xF0\x9D\x84\x9E", "Nobody", "Fresh", 0,
                       Utf16ToUtf8(fresh[1].path), "", "", 0, 0, 128, 0, 0, 0, 0, 0, 0, late}));
  EXPECT_EQ(expected.playlists, before.playlists);
  // libgpod sees no members where items have no position record (early iPods).
  EXPECT_EQ(expected.master_count, before.master_count + (before.master_count > 0 ? 2 : 0));

  TrackInfo old_one;
  old_one.trackId = before.tracks.at(l.gone).id;
  IPodDatabase removing(Env::Default(), root_.path());
  ASSERT_TRUE(removing.LoadForSync(nullptr).ok());
  signing(removing);
  ASSERT_TRUE(removing.SaveAfterRemoval({&old_one, &fresh[0]}).ok());
  expect_signed();
  expected.tracks.erase(expected.tracks.end() - 2);
  expected.tracks.erase(expected.tracks.begin() + l.gone);
  for (GpodPlaylist& pl : expected.playlists) std::erase(pl.members, old_one.trackId);
  const GpodDump after = Dump();
  EXPECT_EQ(after.tracks, expected.tracks);
  EXPECT_EQ(after.playlists, expected.playlists);
  EXPECT_EQ(after.master_count, before.master_count);
  if (l.podcast_items) {
    EXPECT_EQ(inspected_.datasets.at(1).playlists.at(1).items.size(), l.podcast_items);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, IndependentCheckTest, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tunewell
