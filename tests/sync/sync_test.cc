// The sync run and the removal run against an iPod in memory, stopped by faults and by crashes;
// then sync requests: the auto-sync file, which playlists, which of their items, against a player
// library made of plain containers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "database/empty_database.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "storage/ipod_location.h"
#include "storage/ipod_lock.h"
#include "storage/random_source.h"
#include "sync/auto_sync_file.h"
#include "sync/player_library.h"
#include "sync/progress.h"
#include "sync/removal_run.h"
#include "sync/sync_run.h"
#include "sync/track_collection.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"
#include "tests/support/recorders.h"

namespace tunewell {
namespace {

using namespace fixture;  // NOLINT: the tests' own helpers
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Titles = std::vector<std::u16string>;
using Names = std::vector<std::string>;

// Every call as text, in order: "items 3", "status Initialising...", "step 20 %", "summary",
// "failure ...".
class RecordingProgress : public SyncProgress {
 public:
  std::vector<std::string> calls;
  ProgressModel model;
  std::string failure;

  void SetItemCount(int32_t items) override {
    model.SetItemCount(items);
    calls.push_back("items " + std::to_string(items));
  }
  void SetStatus(const std::string& text) override { calls.push_back("status " + text); }
  void Step() override { calls.push_back("step " + ProgressModel::PercentText(model.Step())); }
  void ShowSummary(const SyncSummary&) override { calls.push_back("summary"); }
  void ShowFailure(const std::string& text) override {
    calls.push_back("failure " + (failure = text));
  }
};

constexpr char kIPodRoot[] = "/ipod/";
constexpr char kDbPath[] = "/ipod/iPod_Control/iTunes/iTunesDB";
constexpr char kSdPath[] = "/ipod/iPod_Control/iTunes/iTunesSD";

// An empty database (and iTunesSD, with `shuffle`) and three music folders.
Status MakeIPod(MemoryEnv& env, bool shuffle = false) {
  IPodTree tree{3, BuildEmptyITunesDb()};
  if (shuffle) tree.itunes_sd = BuildEmptyITunesSd();
  return WriteIPodTree(env, kIPodRoot, tree);
}

// A source file of `size` bytes at /music/<name>.mp3 and a track on "Album" that names it.
std::unique_ptr<TrackInfo> AddSource(MemoryEnv& env, const std::string& name, std::u16string artist,
                                     std::u16string title, size_t size = 1000) {
  const std::string path = "/music/" + name + ".mp3";
  EXPECT_TRUE(env.AddFile(path, std::string(size, 'm')).ok());
  auto track =
      std::make_unique<TrackInfo>(MakeTrack(std::move(title), std::move(artist), u"Album"));
  track->path = NarrowToWide(path);
  track->fileSize = static_cast<int32_t>(size);
  return track;
}

std::vector<std::u16string> TitlesOnIPod(Env& env, const std::string& root = kIPodRoot) {
  OwnedTracks tracks;
  EXPECT_TRUE(IPodDatabase(env, root).ReadTrackList(&tracks).ok());
  std::vector<std::u16string> titles;
  for (const auto& t : tracks) titles.push_back(t->title);
  return titles;
}

// Everything on the volume but the lock file, which a run leaves behind by design.
MemoryEnv::Snapshot SnapshotWithoutLock(const MemoryEnv& env) {
  MemoryEnv::Snapshot snapshot = env.TakeSnapshot();
  std::erase_if(snapshot.files, [](const auto& f) { return f.first.ends_with(".tunewell.lock"); });
  return snapshot;
}

class SyncRunTest : public ::testing::Test {
 protected:
  // Starts over: `tree` (none: no iPod), no faults or room limits, `n` sources.
  void Fresh(int n, size_t size = 1000,
             std::optional<IPodTree> tree = IPodTree{3, BuildEmptyITunesDb()}) {
    env_.Erase("/ipod");
    env_.ClearAllFaults();
    env_.SetCapacity(std::nullopt);
    env_.SetFreeBytes(std::nullopt);
    ASSERT_TRUE(!tree || WriteIPodTree(env_, kIPodRoot, *tree).ok());
    progress_ = RecordingProgress();
    notice_.shown.clear();
    Sources(n, size);
  }
  // Sources t0, t1, ... with artist "A<k>" and title "T<k>".
  void Sources(int n, size_t size = 1000) {
    owned_.clear();
    for (int k = 0; k < n; ++k) {
      const std::u16string s = NarrowToWide(std::to_string(k));
      owned_.push_back(AddSource(env_, "t" + std::to_string(k), u"A" + s, u"T" + s, size));
    }
  }
  SyncReport Run(int32_t not_mp3 = 0) {
    tracks_ = ArrayOf(owned_);
    return RunSync(SyncServices{env_, progress_, notice_, &host_, &random_}, kIPodRoot, tracks_,
                   not_mp3);
  }

  MemoryEnv env_;
  RecordingProgress progress_;
  RecordingNotice notice_;
  RecordingHost host_;
  LcgRandom random_{7};
  OwnedTracks owned_;
  TrackArray tracks_;
};

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
  std::string signed_db = BuildITunesDb(SampleTracks(3));
  signed_db[48] = 1;  // a checksum scheme
  const struct {
    const char* name;
    std::optional<std::string> db, sd;
  } cases[] = {
      {"missing iTunesDB", std::nullopt, std::nullopt},
      {"garbage iTunesDB", "garbage", std::nullopt},
      {"a signed database", signed_db, std::nullopt},
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
        EXPECT_THAT(RemoveTracksFromIPod(ipod, {&first}).message(),
                    HasSubstr("nothing was removed"));
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

// One change to an iPod at a time: a run and a removal wait for the lock before they read.
TEST_F(SyncRunTest, RunsAndRemovalsWaitForTheLockBeforeReading) {
  for (bool removal : {false, true}) {
    SCOPED_TRACE(removal ? "removal" : "sync");
    Fresh(1);
    IPodLock held;
    ASSERT_TRUE(IPodLock::Acquire(env_, kIPodRoot, &held).ok());
    env_.ResetCounts();
    std::thread other([&] {
      IPodDatabase ipod(env_, kIPodRoot);
      (removal ? RemoveTracksFromIPod(ipod, {}) : Run().status).IgnoreError();
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (env_.Calls(MemoryEnv::Op::kLock) == 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(env_.Calls(MemoryEnv::Op::kLock), 1);
    EXPECT_EQ(env_.Calls(MemoryEnv::Op::kReadFile), 0);
    held.Release();
    other.join();
    EXPECT_GT(env_.Calls(MemoryEnv::Op::kReadFile), 0);
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

constexpr char kDriveRoot[] = "E:/";

std::string FileOf(const FixtureTrack& track) {
  return PathOfLocation(kDriveRoot, Utf16ToUtf8(track.path));
}

// An iPod whose iTunesDB and iTunesSD list `tracks`, with an audio file for each track in a
// music folder ("audio <id>") and a file outside it that no removal may touch.
void MakeDriveIPod(MemoryEnv& env, const std::vector<FixtureTrack>& tracks) {
  IPodTree tree{3, BuildITunesDb(tracks)};
  std::vector<std::u16string> locations;
  for (const FixtureTrack& t : tracks) {
    locations.push_back(t.path);
    if (t.path.starts_with(u":iPod_Control:Music:F0")) {
      tree.files[Utf16ToUtf8(t.path)] = "audio " + std::to_string(t.id);
    }
  }
  tree.itunes_sd = BuildITunesSd(locations);
  ASSERT_TRUE(WriteIPodTree(env, kDriveRoot, tree).ok());
  ASSERT_TRUE(env.AddFile("E:/precious.txt", "keep me").ok());
}

// Removes the tracks with the given ids, read back from the iPod as a removal receives them.
Status Remove(MemoryEnv& env, std::vector<uint32_t> ids, RemovalReport* report = nullptr) {
  IPodDatabase ipod(env, kDriveRoot);
  OwnedTracks listed;
  RETURN_IF_ERROR(ipod.ReadTrackList(&listed));
  TrackArray picked;
  for (const auto& t : listed) {
    if (std::find(ids.begin(), ids.end(), t->trackId) != ids.end()) picked.push_back(t.get());
  }
  return RemoveTracksFromIPod(ipod, picked, report);
}

void DeletedByHand(MemoryEnv& e, const std::vector<FixtureTrack>& t) { e.Erase(FileOf(t[1])); }
void RemoveFails(MemoryEnv& e, const std::vector<FixtureTrack>& t) { e.FailRemove(FileOf(t[0])); }

// What becomes of the audio files once both databases are written.
TEST(RemovalTest, FilesThatAreGoneStillNamedEscapingOrStuck) {
  const std::vector<std::u16string> escaping = {
      u":iPod_Control:iTunes:iTunesDB", u":iPod_Control:Music:..:iTunes:iTunesSD",
      u":iPod_Control:Music:F00:..:..:..:precious.txt", u":/precious.txt"};
  const struct {
    const char* name;
    bool fat;
    void (*fault)(MemoryEnv&, const std::vector<FixtureTrack>&);
    int deleted, missing, kept;
    std::vector<std::u16string> paths = {};  // replacing the sample's first ones
  } cases[] = {
      {"deleted by hand beforehand", false, DeletedByHand, 3, 1, 0},
      {"outside the music folders", false, nullptr, 0, 0, 4, escaping},
      // On a FAT volume, the file of track 5, which stays.
      {"named by a staying track", true, nullptr, 3, 0, 1, {u":iPod_Control:Music:F01:trk4.MP3"}},
      {"a deletion that fails", false, RemoveFails, 3, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryEnv env(c.fat ? MemoryEnv::Names::kCaseInsensitive : MemoryEnv::Names::kCaseSensitive);
    auto tracks = SampleTracks(6);
    for (size_t i = 0; i < c.paths.size(); ++i) tracks[i].path = c.paths[i];
    MakeDriveIPod(env, tracks);
    if (c.fault) c.fault(env, tracks);
    RemovalReport report;
    ASSERT_TRUE(Remove(env, {1, 2, 3, 4}, &report).ok());
    EXPECT_EQ(report.files_deleted, c.deleted);
    EXPECT_EQ(report.files_missing, c.missing);
    EXPECT_EQ(report.files_kept.size(), static_cast<size_t>(c.kept));
    EXPECT_EQ(TitlesOnIPod(env, kDriveRoot), (Titles{u"Title 5", u"Title 4"}));
    EXPECT_EQ(env.Contents("E:/precious.txt"), "keep me");
    EXPECT_TRUE(env.Exists("E:/iPod_Control/iTunes/iTunesSD"));
  }
}

// On any database failure no file is touched, and the two databases stay in step.
TEST(RemovalTest, DatabasesThatCannotBeWrittenDeleteNothing) {
  for (const char* target :
       {"E:/iPod_Control/iTunes/iTunesDB", "E:/iPod_Control/iTunes/iTunesSD"}) {
    SCOPED_TRACE(target);
    MemoryEnv env;
    MakeDriveIPod(env, SampleTracks(6));
    const auto before = env.TakeSnapshot();
    env.Fail(MemoryEnv::Op::kRename, target);
    EXPECT_THAT(Remove(env, {1, 2}).message(), ::testing::HasSubstr("no audio file was deleted"));
    // Added besides: the lock file and the backup of an iTunesDB that was put back.
    for (const auto& [path, bytes] : before.files) EXPECT_EQ(env.Contents(path), bytes) << path;
  }
}

// On a full iPod a removal gives up the backup to make room; the next save with room keeps one
// again.
TEST(RemovalTest, AFullIPodGivesUpTheBackupToRemove) {
  MemoryEnv env;
  MakeDriveIPod(env, SampleTracks(6));
  const std::string db = "E:/iPod_Control/iTunes/iTunesDB";
  // An older, larger database: room enough for the new files once it is gone.
  ASSERT_TRUE(env.AddFile(db + ".bak", std::string(2 * env.UsedBytes(), 'b')).ok());
  env.SetCapacity(env.UsedBytes());
  RemovalReport report;
  ASSERT_TRUE(Remove(env, {1, 2}, &report).ok());
  EXPECT_TRUE(report.backup_given_up);
  EXPECT_EQ(TitlesOnIPod(env, kDriveRoot),
            (Titles{u"Title 5", u"Title 2", u"Title 3", u"Title 4"}));
  EXPECT_FALSE(env.Exists(db + ".bak"));
  env.SetCapacity(std::nullopt);
  const std::string before = *env.Contents(db);
  ASSERT_TRUE(Remove(env, {3}, &report).ok());
  EXPECT_FALSE(report.backup_given_up);
  EXPECT_EQ(env.Contents(db + ".bak"), before);
}

// A save stopped after its 1st, 2nd, ... n-th file-system call, as a crash or a pulled cable
// stops it, with only synced bytes surviving: each database on the iPod is then exactly the old
// one or exactly the new one, and the next sync finishes the job: the two databases in step, no
// music file that iTunesDB does not name, no temporary file or journal left behind.
class CrashTest : public SyncRunTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeIPod(env_, /*shuffle=*/true).ok());
    // Put there by another program, named by no track: it must survive every repair.
    ASSERT_TRUE(env_.AddFile(kSdPath, BuildITunesSd({kForeign})).ok());
    ASSERT_TRUE(Sync({"a", "b", "c"}).status.ok());
  }
  bool removing() const { return GetParam(); }

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
  void Restore(const MemoryEnv::Snapshot& snapshot) {
    for (const std::string& path : env_.Paths()) env_.Erase(path);
    for (const std::string& folder : snapshot.folders) ASSERT_TRUE(env_.AddFolder(folder).ok());
    for (const auto& [path, bytes] : snapshot.files) ASSERT_TRUE(env_.AddFile(path, bytes).ok());
  }
  int TotalCalls() const {
    int total = 0;
    for (int op = 0; op <= static_cast<int>(MemoryEnv::Op::kLock); ++op) {
      total += env_.Calls(static_cast<MemoryEnv::Op>(op));
    }
    return total;
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
    Restore(start);
    env_.ResetCounts();
    env_.StopAfter(n);
    Save();
    const bool finished = TotalCalls() <= n;
    env_.SimulateCrash();
    env_.ClearAllFaults();
    const std::string db = env_.Contents(kDbPath).value_or("<none>");
    const std::string sd = env_.Contents(kSdPath).value_or("<none>");
    EXPECT_TRUE(db == old_db || db == new_db) << db.size() << " bytes";
    EXPECT_TRUE(sd == old_sd || sd == new_sd) << sd.size() << " bytes";

    EXPECT_TRUE(Sync({"later"}).status.ok());
    size_t files = 0;
    for (const std::string& path : env_.Paths()) {
      EXPECT_FALSE(path.ends_with(".tmp") || path.ends_with(".journal")) << path;
      files += path.find("iPod_Control") != std::string::npos && path.ends_with(".mp3");
    }
    std::set<std::u16string> in_db;
    OwnedTracks on_ipod;
    ASSERT_TRUE(IPodDatabase(env_, kIPodRoot).ReadTrackList(&on_ipod).ok());
    for (const auto& track : on_ipod) {
      in_db.insert(track->path);
      // Whole, not merely present: the database must not name a copy the crash cut short.
      EXPECT_EQ(env_.Contents(PathFromLocation(kIPodRoot, track->path)), std::string(1000, 'm'));
    }
    EXPECT_EQ(files, in_db.size());
    const auto in_sd = ReadITunesSdNames(*env_.Contents(kSdPath));
    EXPECT_EQ(in_sd.front(), kForeign);
    EXPECT_EQ(std::set(in_sd.begin() + 1, in_sd.end()), in_db);
    if (finished) break;
    ++stops;
  }
  EXPECT_GT(stops, 10);
}

INSTANTIATE_TEST_SUITE_P(SyncAndRemoval, CrashTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Removal" : "Sync"; });

using Result = AutoSyncFile::ReadResult;
constexpr char kAutoSync[] = "/ipod/autoSync";

// Reads `bytes` back through CountNames and NextName, as a request does.
Names ReadBack(MemoryEnv& env, std::string_view bytes) {
  EXPECT_TRUE(env.AddFile(kAutoSync, bytes).ok());
  AutoSyncFile file(env);
  EXPECT_EQ(file.Read(kIPodRoot), bytes.empty() ? Result::kEmpty : Result::kNames);
  Names names;
  std::string name;
  size_t cursor = 0;
  for (int i = file.CountNames(); i > 0 && file.NextName(&name, &cursor); --i) {
    EXPECT_LE(cursor, file.data().size());
    names.push_back(name);
  }
  EXPECT_FALSE(file.NextName(&name, &cursor));
  EXPECT_EQ(file.Names(), names);
  return names;
}

// Written as name, zero, line feed, hidden; read back alike, and never past the data when it
// is damaged (no selection written).
TEST(AutoSyncFileTest, WrittenAndReadBackAlikeAndDamagedFilesNeverRunPastTheData) {
  MemoryEnv env;
  ASSERT_TRUE(env.AddFolder("/ipod").ok());
  const std::string long_name(300, 'x');
  const struct {
    std::optional<Names> selection;
    std::string bytes;
    Names read;
  } cases[] = {
      {Names{"Road Trip", "Pop"}, std::string("Road Trip\0\nPop\0\n", 16), {"Road Trip", "Pop"}},
      {Names{}, "", {}},
      {Names{""}, std::string("\0\n", 2), {""}},
      // A name is stored as the reader will see it: cut to 259 bytes, or at a zero byte.
      {Names{long_name, std::string("a\0b", 3)},
       std::string(259, 'x') + '\0' + '\n' + "a" + '\0' + '\n',
       {std::string(259, 'x'), "a"}},
      {{}, std::string("Rock\0Jazz\0", 10), {"Rock", "Jazz"}},    // no line feeds
      {{}, std::string("Rock\0\nJazz\0", 11), {"Rock", "Jazz"}},  // the last one without
      // A last name cut short: no partial name that could match another playlist.
      {{}, std::string("Rock\0\nRock Cla", 14), {"Rock"}},
      {{}, "Rock", {}},
      {{}, "\n\n\n", {}},
      {{}, std::string("\0\0", 2), {"", ""}},
      {{}, long_name + '\0' + '\n' + "Next" + '\0' + '\n', {std::string(259, 'x'), "Next"}},
  };
  for (const auto& c : cases) {
    if (c.selection) {
      ASSERT_TRUE(WriteAutoSyncSelection(env, kIPodRoot, *c.selection).ok());
      EXPECT_EQ(env.Contents(kAutoSync), c.bytes);
      EXPECT_TRUE(env.IsHidden(kAutoSync));
    }
    EXPECT_EQ(ReadBack(env, c.bytes), c.read) << c.bytes;
  }
}

TEST(AutoSyncFileTest, AbsentUnreadableOrDeletedCountsAsAbsent) {
  MemoryEnv env;
  AutoSyncFile file(env);
  EXPECT_EQ(file.Read(kIPodRoot), Result::kAbsent);
  EXPECT_TRUE(file.Delete(kIPodRoot).ok());
  ASSERT_TRUE(env.AddFile(kAutoSync, std::string("A\0\n", 3)).ok());
  env.HoldExclusive(kAutoSync);
  EXPECT_EQ(file.Read(kIPodRoot), Result::kAbsent);
  EXPECT_EQ(file.CountNames(), 0);
  env.Release(kAutoSync);
  EXPECT_TRUE(file.Delete(kIPodRoot).ok());
  EXPECT_FALSE(env.Exists(kAutoSync));
}

// One media item, playlist or query result.
struct FakeMedia : PlayerMedia {
  FakeMedia(std::u16string n, std::u16string u, std::map<std::u16string, std::u16string> i,
            double d = 0.0)
      : name(std::move(n)), url(std::move(u)), info(std::move(i)), duration(d) {}
  std::u16string Name() override { return name; }
  std::u16string SourceUrl() override { return url; }
  double Duration() override { return duration; }
  std::u16string GetItemInfo(std::u16string_view key) override {
    auto it = info.find(std::u16string(key));
    return it == info.end() ? std::u16string() : it->second;
  }
  std::u16string name, url;
  std::map<std::u16string, std::u16string> info;
  double duration;
};

struct FakePlaylist : PlayerPlaylist {
  explicit FakePlaylist(std::u16string n) : name(std::move(n)) {}
  int32_t Count() override { return static_cast<int32_t>(items.size()); }
  std::shared_ptr<PlayerMedia> Item(int32_t index) override { return items.at(index); }
  void AppendItem(const std::shared_ptr<PlayerMedia>& media) override { items.push_back(media); }
  std::u16string name;
  std::vector<std::shared_ptr<PlayerMedia>> items;
};

struct FakeLibrary : PlayerLibrary {
  // A library item by artist "Artist" on "Album"; `type` is its "FileType".
  std::shared_ptr<FakeMedia> AddMedia(std::u16string title, std::u16string path,
                                      std::u16string type = u"mp3",
                                      std::map<std::u16string, std::u16string> more = {}) {
    more.try_emplace(u"Author", u"Artist");
    more.try_emplace(u"WM/AlbumTitle", u"Album");
    more[u"FileType"] = std::move(type);
    return media.emplace_back(std::make_shared<FakeMedia>(title, path, more));
  }
  std::shared_ptr<FakePlaylist> AddPlaylist(std::u16string name,
                                            std::vector<std::shared_ptr<FakeMedia>> items = {}) {
    auto playlist = playlists.emplace_back(std::make_shared<FakePlaylist>(std::move(name)));
    playlist->items.assign(items.begin(), items.end());
    return playlist;
  }
  std::vector<std::u16string> Names() const {
    std::vector<std::u16string> names;
    for (const auto& p : playlists) names.push_back(p->name);
    return names;
  }
  std::shared_ptr<PlayerPlaylist> NewPlaylist(std::u16string_view name) override {
    ++new_playlists;
    return AddPlaylist(std::u16string(name));
  }
  PlaylistArray GetPlaylistsByName(std::u16string_view name) override {
    PlaylistArray found;
    for (auto& p : playlists) {
      if (p->name == name) found.push_back(p);
    }
    return found;
  }
  PlaylistArray GetAllPlaylists() override { return {playlists.begin(), playlists.end()}; }
  void RemovePlaylist(const std::shared_ptr<PlayerPlaylist>& playlist) override {
    std::erase_if(playlists, [&](const auto& p) { return p == playlist; });
  }
  std::shared_ptr<PlayerPlaylist> GetMediaByName(std::u16string_view title) override {
    auto found = std::make_shared<FakePlaylist>(u"");
    for (auto& m : media) {
      if (m->name == title) found->AppendItem(m);
    }
    return found;
  }
  std::vector<std::shared_ptr<FakeMedia>> media;
  std::vector<std::shared_ptr<FakePlaylist>> playlists;
  int new_playlists = 0;
};

TEST(GatherTracksTest, RepeatsAcrossAndWithinPlaylistsAndFileTypes) {
  FakeLibrary library;
  auto a = library.AddMedia(u"Song", u"/m/a.mp3");
  auto a_elsewhere = library.AddMedia(u"Song", u"/other/a.mp3");
  auto live = library.AddMedia(u"Song", u"/m/live.mp3", u"mp3", {{u"WM/AlbumTitle", u"Live"}});
  auto wma = library.AddMedia(u"Tune", u"/m/t.wma", u"wma");
  auto tune_mp3 = library.AddMedia(u"Tune", u"/m/t.mp3");
  auto caps = library.AddMedia(u"Loud", u"/m/l.MP3", u"MP3");
  auto untyped = library.AddMedia(u"Blank", u"/m/b.mp3", u"");
  auto b = library.AddMedia(u"Other", u"/m/o.mp3");
  library.AddPlaylist(u"One", {a, a_elsewhere, live, wma, tune_mp3, caps, untyped});
  library.AddPlaylist(u"Two", {b, a, live, b});
  OwnedTracks tracks;
  int32_t not_mp3 = 0, repeats = 0;
  GatherTracks(library.GetAllPlaylists(), &tracks, &not_mp3, &repeats);
  // A second copy of a song is passed over silently; so is an MP3 that repeats an earlier WMA.
  // "MP3" in capitals and an empty type are not "mp3". Positions are per playlist.
  std::vector<std::string> gathered;
  for (const auto& t : tracks) {
    gathered.push_back(Utf16ToUtf8(t->title + u"/" + t->album) + " @" +
                       std::to_string(t->position));
  }
  EXPECT_THAT(gathered, ElementsAre("Song/Album @0", "Song/Live @2", "Other/Album @0"));
  EXPECT_EQ(std::tie(not_mp3, repeats), std::make_tuple(3, 5));
}

TEST(TrackFromMediaTest, AttributesBecomeFields) {
  FakeMedia media(u"Title", u"/m/t.mp3",
                  {{u"WM/Genre", u"Jazz"},
                   {u"Author", u"Artist"},
                   {u"WM/Composer", u"Composer"},
                   {u"WM/AlbumTitle", u"Album"},
                   {u"Bitrate", u"192000"},
                   {u"ReleaseDate", u"1999-04-01"},
                   {u"WM/TrackNumber", u"7/12"},
                   {u"FileSize", u"4000000"},
                   {u"WM/Lyrics", u"la la"},
                   {u"IsVBR", u"True"},
                   {u"UserEffectiveRating", u"75"}},
                  183.5);
  const auto t = TrackFromMedia(media, 4);
  EXPECT_EQ(std::tie(t->title, t->path, t->genre, t->artist, t->composer, t->album, t->kind),
            std::tie(u"Title", u"/m/t.mp3", u"Jazz", u"Artist", u"Composer", u"Album",
                     u"MPEG audio file"));
  // "True" is not "true"; the effective rating stands in for an empty user rating.
  EXPECT_EQ(std::tie(t->bitrate, t->year, t->trackNumber, t->fileSize, t->position, t->duration,
                     t->hasLyrics, t->isVbr, t->rating),
            std::make_tuple(192000, 1999, 7, 4000000, 4, 183.5, true, false, 4));
  FakeMedia rated(u"T", u"/p",
                  {{u"UserRating", u"13"}, {u"UserEffectiveRating", u"99"}, {u"IsVBR", u"true"}});
  const auto r = TrackFromMedia(rated, 0);
  EXPECT_EQ(std::tie(r->rating, r->isVbr, r->hasLyrics), std::make_tuple(2, true, false));
}

struct FakeSyncList : SyncListSource {
  std::vector<SyncListRow> CheckedRows() override { return rows; }
  std::vector<SyncListRow> rows;
};

class SyncRequestTest : public SyncRunTest {
 protected:
  void SetUp() override {
    env_.Erase("/");
    ASSERT_TRUE(MakeIPod(env_).ok());
    library_ = FakeLibrary();
    host_ = RecordingHost();
    host_.root = kIPodRoot;
    host_.sync_list = &sync_list_;
    sync_list_.rows.clear();
  }
  // A library item whose source file exists.
  std::shared_ptr<FakeMedia> Song(const std::u16string& title, const std::string& file,
                                  std::u16string type = u"mp3") {
    env_.AddFile("/music/" + file, std::string(500, 's')).IgnoreError();
    return library_.AddMedia(title, NarrowToWide("/music/" + file), type, {{u"FileSize", u"500"}});
  }
  void Check(const std::string& title, const std::string& file) {
    sync_list_.rows.push_back({title, "/music/" + file});
  }
  SyncReport Request(HookEvent event) {
    progress_ = RecordingProgress();
    return HandleSyncRequest(SyncServices{env_, progress_, notice_, nullptr, &random_}, library_,
                             host_, event);
  }

  FakeLibrary library_;
  FakeSyncList sync_list_;
};

TEST_F(SyncRequestTest, CheckedRowsGoThroughATemporaryPlaylist) {
  Song(u"One", "one.mp3");
  Song(u"Two", "two.mp3");
  Song(u"Song", "a/song.mp3");
  Song(u"Song", "b/song.mp3");  // the same song kept in another folder
  Song(u"Tune", "tune.wma", u"wma");
  Check("Two", "two.mp3");
  Check("Song", "a/song.mp3");
  Check("Song", "b/song.mp3");
  Check("Tune", "tune.wma");
  Check("One", "moved/one.mp3");          // no library item has this path any more
  library_.AddPlaylist(u"TunewellTemp");  // left over from an earlier request
  const SyncReport report = Request(HookEvent::kSyncTab);
  EXPECT_TRUE(report.complete());
  EXPECT_EQ(report.summary, (SyncSummary{2, 0, 2, 1}));
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"Song", u"Two"));
  EXPECT_THAT(library_.Names(), IsEmpty());
  EXPECT_EQ(library_.new_playlists, 1);
  EXPECT_EQ(std::tie(host_.stops, host_.refreshes, host_.waits, host_.wait_depth),
            std::make_tuple(0, 1, 1, 0));
  EXPECT_THAT(host_.notices.shown, IsEmpty());

  // Without a Sync list the temporary playlist stays empty.
  host_.sync_list = nullptr;
  EXPECT_EQ(Request(HookEvent::kSyncTab).total, 0);
  EXPECT_EQ(library_.new_playlists, 2);
  EXPECT_THAT(library_.Names(), IsEmpty());
}

// Every auto-sync file against every event. The file decides whenever there is one, even from
// the Sync tab; without one, only the Sync tab syncs (its checked rows); event 2 only thanks.
TEST_F(SyncRequestTest, AutoSyncFileByEvent) {
  const std::optional<Names> files[] = {std::nullopt, Names{}, Names{"Second", "Missing", "Second"},
                                        Names{"Empty"}};
  const Titles chosen[] = {{u"One"}, {u"One", u"Two"}, {u"Two"}, {}};
  for (size_t f = 0; f < std::size(files); ++f) {
    for (HookEvent event : {HookEvent::kSyncTab, HookEvent::kSync, HookEvent::kNoticeOnly,
                            HookEvent::kSyncSettings, HookEvent::kRefreshAndSync}) {
      SCOPED_TRACE("file " + std::to_string(f) + ", event " +
                   std::to_string(static_cast<int>(event)));
      SetUp();
      library_.AddPlaylist(u"Second", {Song(u"Two", "two.mp3")});
      library_.AddPlaylist(u"Other", {Song(u"One", "one.mp3")});
      library_.AddPlaylist(u"Empty");
      Check("One", "one.mp3");
      if (files[f]) {
        ASSERT_TRUE(WriteAutoSyncSelection(env_, kIPodRoot, *files[f]).ok());
      }
      const auto before = env_.TakeSnapshot();
      Request(event);
      if (event == HookEvent::kNoticeOnly) {
        EXPECT_THAT(host_.notices.shown,
                    ElementsAre(std::string(kNoticeCaption) + ": " + kSyncFromSyncTabNotice));
        EXPECT_EQ(std::tie(host_.root_asks, host_.waits), std::make_tuple(0, 0));
        EXPECT_EQ(env_.TakeSnapshot(), before);
        continue;
      }
      const Titles expected = !files[f] && event != HookEvent::kSyncTab ? Titles{} : chosen[f];
      EXPECT_EQ(TitlesOnIPod(env_), expected);
      EXPECT_EQ(progress_.calls.empty(), expected.empty());
      // The player's own sync stops only for settings and refresh events with work to do.
      const bool stops =
          (event == HookEvent::kSyncSettings || event == HookEvent::kRefreshAndSync) &&
          !expected.empty();
      EXPECT_EQ(host_.stops, stops ? 1 : 0);
      EXPECT_EQ(library_.new_playlists, !files[f] && event == HookEvent::kSyncTab ? 1 : 0);
      EXPECT_EQ(library_.Names(), (Titles{u"Second", u"Other", u"Empty"}));
      EXPECT_EQ(host_.wait_depth, 0);
    }
  }
}

TEST_F(SyncRequestTest, NoIPodRootStopsWithANotice) {
  Song(u"One", "one.mp3");
  Check("One", "one.mp3");
  host_.root.clear();
  const auto before = env_.TakeSnapshot();
  EXPECT_FALSE(Request(HookEvent::kSyncTab).status.ok());
  EXPECT_THAT(host_.notices.shown, ElementsAre(std::string(kNoticeCaption) + ": " + kNoIPodNotice));
  EXPECT_THAT(progress_.calls, IsEmpty());
  EXPECT_EQ(std::tie(library_.new_playlists, host_.wait_depth), std::make_tuple(0, 0));
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

}  // namespace
}  // namespace tunewell
