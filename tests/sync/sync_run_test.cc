// The sync run against an iPod in memory: what it copies, records and shows, the copies that
// stop it, and the databases and locks that keep it from changing anything; its progress.

#include "tests/sync/sync_fixture.h"

namespace tunewell {
namespace {

using namespace fixture;  // NOLINT: the tests' own helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST_F(SyncRunTest, CopiesRecordsAndStepsToTheFullBar) {
  Fresh(3);
  const SyncReport report = Run(2);
  EXPECT_TRUE(report.complete());
  EXPECT_EQ(report.summary, (SyncSummary{3, 0, 3, 2}));
  EXPECT_THAT(progress_.calls,
              ElementsAre("items 3", "items 3", "status Initialising...", "step 20 %",
                          "status Copying... A0 - T0", "step 40 %", "status Copying... A1 - T1",
                          "step 60 %", "status Copying... A2 - T2", "step 80 %",
                          "status Updating iPod database files.", "step 100 %", "summary"));
  EXPECT_EQ(host_.refreshes, 1);
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"T0", u"T1", u"T2"));
  // The list now holds the copied tracks, each at its iPod location, with its file there.
  ASSERT_EQ(tracks_.size(), 3u);
  for (TrackInfo* track : tracks_) {
    EXPECT_EQ(env_.Contents(PathFromLocation(kIPodRoot, track->path)), std::string(1000, 'm'));
  }
}

TEST_F(SyncRunTest, EmptyListOrTracksAlreadyThereLeaveTheIPodAlone) {
  Fresh(0);
  EXPECT_TRUE(Run(4).status.ok());
  EXPECT_TRUE(progress_.calls.empty());
  Sources(1);
  ASSERT_TRUE(Run().complete());
  const auto before = SnapshotWithoutLock(env_);
  // A stale stage goes at the start of every run that holds the lock.
  ASSERT_TRUE(env_.AddFile(std::string(kDbPath) + ".tmp", "stale").ok());
  progress_ = RecordingProgress();
  const SyncReport report = Run();
  EXPECT_EQ(report.summary, (SyncSummary{0, 1, 0, 0}));
  EXPECT_THAT(progress_.calls, ElementsAre("items 1", "summary"));
  EXPECT_EQ(SnapshotWithoutLock(env_), before);
}

void NoRoomAfterThree(MemoryEnv& e) { e.SetCapacity(e.UsedBytes() + 3 * 100000 + 110000); }
void MissingSecond(MemoryEnv& e) { e.Erase("/music/t1.mp3"); }
void FailSecondCopy(MemoryEnv& e) { e.FailCopyAfter(10, 2); }
void NoMusicFolders(MemoryEnv& e) { e.Erase("/ipod/iPod_Control/Music"); }
// Room for two copies and the stage of a large iTunesSD: a third copy would leave too little.
void RoomForTwoAndTheDatabases(MemoryEnv& e) {
  ASSERT_TRUE(
      e.AddFile(kSdPath, BuildITunesSd(Titles(400, u":iPod_Control:Music:F00:X.mp3"))).ok());
  e.SetCapacity(e.UsedBytes() + 2 * 110000 + e.Contents(kSdPath)->size() + 5000);
}

// How a run counts and reports the copies that stopped it; the causes are storage's.
TEST_F(SyncRunTest, CopiesThatStopTheRunAreCountedAndReported) {
  const struct {
    const char* name;
    void (*fault)(MemoryEnv&);
    SyncSummary summary;
    int missing;
    bool stopped;
    Titles on_ipod;
    int32_t last_percent;
  } cases[] = {
      // Each needs 100,000 bytes plus 2,000 for each of five: after three, not enough.
      {"no room after three", NoRoomAfterThree, {5, 0, 3, 0}, 0, true, {u"T0", u"T1", u"T2"}, 71},
      {"room kept for the databases",
       RoomForTwoAndTheDatabases,
       {5, 0, 2, 0},
       0,
       true,
       {u"T0", u"T1"},
       57},
      {"missing source", MissingSecond, {4, 0, 4, 0}, 1, false, {u"T0", u"T2", u"T3", u"T4"}, 85},
      {"failed copy", FailSecondCopy, {5, 0, 1, 0, true}, 0, true, {u"T0"}, 42},
      // Nothing copied, nothing written.
      {"no music folders", NoMusicFolders, {5, 0, 0, 0, true}, 0, true, {}, 28},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh(5, 100000);
    c.fault(env_);
    const auto before = SnapshotWithoutLock(env_);
    const SyncReport report = Run();
    EXPECT_TRUE(c.summary.copied > 0 || SnapshotWithoutLock(env_) == before);
    EXPECT_TRUE(report.status.ok());
    EXPECT_EQ(report.summary, c.summary);
    EXPECT_EQ(report.missing, c.missing);
    EXPECT_EQ(!report.stopped.ok(), c.stopped);
    EXPECT_EQ(TitlesOnIPod(env_), c.on_ipod);
    EXPECT_EQ(tracks_.size(), c.on_ipod.size());
    EXPECT_EQ(progress_.model.percent(), c.last_percent);
    EXPECT_EQ(notice_.shown.size(), static_cast<size_t>(c.missing));
  }
}

struct StopAfterOneCopy : StopRequest {
  bool Requested() const override { return ++asked > 1; }
  mutable int asked = 0;
};

// A run that cannot record its copies, or is asked to stop, takes them off again.
TEST_F(SyncRunTest, CopiesThatWillNotBeRecordedAreTakenBack) {
  for (bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "stopped" : "iTunesDB cannot be replaced");
    Fresh(2);
    const auto before = SnapshotWithoutLock(env_);
    StopAfterOneCopy request;
    if (!stop) env_.Fail(MemoryEnv::Op::kRename, kDbPath);
    tracks_ = ArrayOf(owned_);
    const SyncReport report =
        RunSync(SyncServices{env_, progress_, notice_, &host_, &random_, stop ? &request : nullptr},
                kIPodRoot, tracks_, 0);
    EXPECT_EQ(report.status.IsStopped(), stop);
    EXPECT_FALSE(report.status.ok());
    EXPECT_THAT(progress_.failure, HasSubstr("copied files were removed again"));
    EXPECT_TRUE(tracks_.empty());
    EXPECT_EQ(SnapshotWithoutLock(env_), before);
  }
}

// The one orchestration test of "an unusable iPod or database changes nothing" (the command
// line's tests are the other home): for a sync run and a removal alike.
TEST_F(SyncRunTest, UnusableDatabasesChangeNothing) {
  const std::string sd = BuildITunesSd({u":iPod_Control:Music:F00:TRK0.mp3"});
  std::string lying = sd;
  lying[2] = 3;  // three entries promised, one there
  const std::string signed_db = BuildITunesDb(SampleTracks(3), SignedLayout());
  std::string later_scheme = signed_db;
  later_scheme[48] = 2;  // the nano 4G's and later ones'
  const struct {
    const char* name;
    std::optional<std::string> db, sd;
  } cases[] = {
      {"missing iTunesDB", std::nullopt, std::nullopt},
      {"garbage iTunesDB", "garbage", std::nullopt},
      {"a signed database without a FireWire GUID", signed_db, std::nullopt},
      {"a later signing scheme", later_scheme, std::nullopt},
      {"cut iTunesSD", BuildITunesDb(SampleTracks(3)), sd.substr(0, sd.size() - 100)},
      {"iTunesSD with a lying count", BuildITunesDb(SampleTracks(3)), lying},
      {"two-byte iTunesSD", BuildITunesDb(SampleTracks(3)), std::string("\0\0", 2)},
      {"no iPod at all", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    for (bool removal : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (removal ? ", removal" : ", sync"));
      IPodTree tree{3, c.db, c.sd, {{":iPod_Control:Music:F00:TRK0.mp3", "audio"}}};
      Fresh(2, 1000, std::string(c.name) != "no iPod at all" ? std::optional(tree) : std::nullopt);
      const auto before = SnapshotWithoutLock(env_);
      if (removal) {
        TrackInfo first = MakeTrack(u"TRK0", u"", u"");
        first.trackId = 1;
        IPodDatabase ipod(env_, kIPodRoot);
        const std::string said = RemoveTracksFromIPod(ipod, {&first}).message();
        EXPECT_THAT(said, HasSubstr("nothing was removed"));
        EXPECT_EQ(said.find("--firewire-guid"), said.npos);  // the plug-in's runs have no options
      } else {
        const SyncReport report = Run();
        EXPECT_FALSE(report.status.ok());
        EXPECT_EQ(owned_.size(), 2u);
        EXPECT_EQ(tracks_.size(), 2u);
        EXPECT_THAT(progress_.failure, HasSubstr("Nothing was changed"));
      }
      EXPECT_EQ(SnapshotWithoutLock(env_), before);
    }
  }
}

// The sync run's test follows a whole bar; here a new count and rounding.
TEST(ProgressModelTest, ANewCountStartsAgainAndPercentsAreTruncated) {
  ProgressModel model;
  model.SetItemCount(3);
  model.Step();
  model.SetItemCount(1);
  EXPECT_EQ(model.Step(), 33);
  model.SetItemCount(98);
  for (int i = 0; i < 28; ++i) model.Step();
  EXPECT_EQ(model.Step(), 29);  // where floating point would give 28.999...
}

TEST(SummaryLinesTest, VisibilityAndTexts) {
  using Lines = std::vector<std::string>;  // the visible ones
  const std::pair<SyncSummary, Lines> cases[] = {
      {{3, 2, 3, 0},
       {"Copied 3 items successfully.", "Skipped 2 items that already existed on iPod."}},
      {{5, 0, 2, 4},
       {"Copied 2 items successfully.", "Skipped 0 items that already existed on iPod.",
        "iPod is full. 3 items not copied due to lack of space.",
        "Skipped 4 items that were not MP3s."}},
      // The copied line shows also for nothing copied; the plural stays for one.
      {{0, 1, 0, 1},
       {"Copied 0 items successfully.", "Skipped 1 items that already existed on iPod.",
        "Skipped 1 items that were not MP3s."}},
  };
  for (const auto& [summary, expected] : cases) {
    Lines visible;
    for (const auto& line : SummaryLines(summary)) {
      if (line.visible) visible.push_back(line.text);
    }
    EXPECT_EQ(visible, expected);
  }
}

}  // namespace
}  // namespace tunewell
