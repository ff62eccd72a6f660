// Runs stopped after every file-system call, and the next run that finishes what they left.

#include <set>

#include "database/hash58.h"
#include "sync/run_journal.h"
#include "tests/sync/sync_fixture.h"

namespace tunewell {
namespace {

using namespace fixture;  // NOLINT: the tests' own helpers

// A save stopped after its 1st, 2nd, ... n-th file-system call, as a crash or a pulled cable
// stops it, with only synced bytes surviving: each database on the iPod is then exactly the old
// one or exactly the new one, and the next sync finishes the job: the two databases in step, no
// music file that iTunesDB does not name, no temporary file or journal left behind; for an iPod
// classic's signed database too, whose signature then checks.
class CrashTest : public SyncRunTest, public ::testing::WithParamInterface<std::tuple<bool, bool>> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeIPod(env_, /*shuffle=*/true).ok());
    if (signing()) {
      ASSERT_TRUE(env_.AddFile(kDbPath, BuildITunesDb({}, SignedLayout())).ok());
      ASSERT_TRUE(
          env_.AddFile("/ipod/iPod_Control/Device/SysInfo", "FirewireGuid: 0x000A27001B2C3D4E")
              .ok());
    }
    // Put there by another program, named by no track: it must survive every repair.
    ASSERT_TRUE(env_.AddFile(kSdPath, BuildITunesSd({kForeign})).ok());
    ASSERT_TRUE(Sync({"a", "b", "c"}).status.ok());
  }
  bool removing() const { return std::get<0>(GetParam()); }
  bool signing() const { return std::get<1>(GetParam()); }

  SyncReport Sync(const std::vector<std::string>& names) {  // the same names drawn each time
    random_ = LcgRandom(5);
    owned_.clear();
    for (const std::string& n : names) owned_.push_back(AddSource(env_, n, u"A", NarrowToWide(n)));
    return Run();
  }
  // The save under test: two tracks added, or one removed.
  void Save() {
    if (!removing()) {
      Sync({"new1", "new2"}).status.IgnoreError();  // stopped runs fail; that is the point
      return;
    }
    IPodDatabase ipod(env_, kIPodRoot);
    RemoveTracksFromIPod(ipod, {listed_[1].get()}).IgnoreError();
  }

  static constexpr char16_t kForeign[] = u":iPod_Control:Music:F00:PODC.mp3";
  OwnedTracks listed_;
};

TEST_P(CrashTest, EveryStopLeavesTheOldOrTheNewDatabases) {
  ASSERT_TRUE(IPodDatabase(env_, kIPodRoot).ReadTrackList(&listed_).ok());
  const MemoryEnv::Snapshot start = env_.TakeSnapshot();
  const std::string old_db = *env_.Contents(kDbPath), old_sd = *env_.Contents(kSdPath);
  Save();
  const std::string new_db = *env_.Contents(kDbPath), new_sd = *env_.Contents(kSdPath);
  ASSERT_NE(new_db, old_db);
  ASSERT_NE(new_sd, old_sd);

  int stops = 0;
  for (int n = 0;; ++n) {
    SCOPED_TRACE("stopped after call " + std::to_string(n));
    env_.Restore(start);
    env_.ResetCounts();
    env_.StopAfter(n);
    Save();
    const bool finished = env_.FaultsFired() == 0;
    env_.SimulateCrash();
    env_.ClearAllFaults();
    const std::string db = env_.Contents(kDbPath).value_or("<none>");
    const std::string sd = env_.Contents(kSdPath).value_or("<none>");
    EXPECT_TRUE(db == old_db || db == new_db) << db.size() << " bytes";
    EXPECT_TRUE(sd == old_sd || sd == new_sd) << sd.size() << " bytes";

    EXPECT_TRUE(Sync({"later"}).status.ok());
    FireWireGuid guid;
    Hash58Key key;
    ASSERT_TRUE(ParseFireWireGuid("000A27001B2C3D4E", &guid) && DeriveHash58Key(guid, &key).ok());
    EXPECT_EQ(CheckHash58(key, *env_.Contents(kDbPath)).ok(), signing());
    for (const std::string& path : env_.Paths()) {
      EXPECT_FALSE(path.ends_with(".tmp") || path.ends_with(".journal")) << path;
    }
    std::set<std::u16string> in_db;
    OwnedTracks on_ipod;
    ASSERT_TRUE(IPodDatabase(env_, kIPodRoot).ReadTrackList(&on_ipod).ok());
    for (const auto& track : on_ipod) {
      in_db.insert(track->path);
      // Whole, not merely present: the database must not name a copy the crash cut short.
      EXPECT_EQ(env_.Contents(PathFromLocation(kIPodRoot, track->path)), std::string(1000, 'm'));
    }
    EXPECT_EQ(static_cast<size_t>(CountMusicFiles(env_, kIPodRoot)), in_db.size());
    const auto in_sd = ReadITunesSdNames(*env_.Contents(kSdPath));
    EXPECT_EQ(in_sd.front(), kForeign);
    EXPECT_EQ(std::set(in_sd.begin() + 1, in_sd.end()), in_db);
    if (finished) break;
    ++stops;
  }
  EXPECT_GT(stops, 10);
}

// iTunesSD cannot be replaced, and iTunesDB, replaced already, cannot be put back: the journal
// stays, so that the next run brings iTunesSD level with iTunesDB.
TEST_F(SyncRunTest, ALaggingShuffleDatabaseIsLeftToTheNextRun) {
  ASSERT_TRUE(MakeIPod(env_, /*shuffle=*/true).ok());
  Sources(2);
  env_.Fail(MemoryEnv::Op::kRename, kSdPath);
  env_.FailNth(MemoryEnv::Op::kRename, 2, kDbPath);
  EXPECT_THAT(Run().shuffle.message(), ::testing::HasSubstr("could not be put back"));
  env_.ClearAllFaults();
  owned_.clear();
  owned_.push_back(AddSource(env_, "later", u"B", u"Later"));
  ASSERT_TRUE(Run().complete());
  EXPECT_EQ(ReadITunesSdNames(*env_.Contents(kSdPath)).size(), 3u);
}

// Journals no run of ours writes: a location twice (in two spellings) gives one iTunesSD entry,
// and one larger than any run writes is dropped unread.
TEST_F(SyncRunTest, CraftedJournalsAreFinishedOnceOrDropped) {
  const std::string journal = JournalPath(kIPodRoot), trk0 = ":iPod_Control:Music:F00:TRK0.mp3";
  const std::string sd = BuildITunesSd({u":iPod_Control:Music:F01:PODC.mp3"});
  const std::pair<std::string, size_t> cases[] = {
      {"Tunewell journal 1\nreplacing\nadd " + trk0 + "\nadd :ipod_control:music:F00:TRK0.mp3\n",
       3},
      {std::string(kMaxJournalBytes + 1, 'x'), 2}};
  for (const auto& [text, entries] : cases) {
    SCOPED_TRACE(text.size());
    Fresh(1, 1000, IPodTree{3, BuildITunesDb(SampleTracks(1)), sd, {{trk0, "audio"}}});
    ASSERT_TRUE(env_.AddFile(journal, text).ok());
    if (text.size() > kMaxJournalBytes) env_.Fail(MemoryEnv::Op::kReadFile, journal);
    EXPECT_TRUE(Run().complete());
    EXPECT_FALSE(env_.Exists(journal));
    EXPECT_EQ(ReadITunesSdNames(*env_.Contents(kSdPath)).size(), entries);
  }
}

INSTANTIATE_TEST_SUITE_P(SyncAndRemoval, CrashTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Removal" : "Sync") +
                                  (std::get<1>(info.param) ? "Signed" : "");
                         });

}  // namespace
}  // namespace tunewell
