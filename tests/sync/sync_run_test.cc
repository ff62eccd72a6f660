#include "sync/sync_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/path.h"
#include "storage/ipod_location.h"
#include "storage/random_source.h"
#include "tests/sync/fake_player.h"
#include "tests/sync/memory_ipod.h"

namespace tunewell {
namespace {

using testing::AddSource;
using testing::ArrayOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::kDbPath;
using testing::kIPodRoot;
using testing::RecordingHost;
using testing::RecordingNotice;
using testing::RecordingProgress;
using testing::TitlesOnIPod;

class SyncRunTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::MakeIPod(env_); }

  // Sources named t0, t1, ... with artist "A<k>" and title "T<k>".
  void AddTracks(int n, size_t size = 1000) {
    for (int k = 0; k < n; ++k) {
      const std::string s = std::to_string(k);
      owned_.push_back(
          AddSource(env_, "t" + s, u"A" + NarrowToWide(s), u"T" + NarrowToWide(s), size));
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

TEST_F(SyncRunTest, EmptyListTouchesNothing) {
  const auto before = env_.TakeSnapshot();
  const SyncReport report = Run(4);
  EXPECT_TRUE(report.status.ok());
  EXPECT_TRUE(progress_.calls.empty());
  EXPECT_EQ(host_.refreshes, 0);
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

TEST_F(SyncRunTest, CopiesRecordsAndStepsToTheFullBar) {
  AddTracks(3);
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
    EXPECT_EQ(track->path.rfind(u":iPod_Control:Music:F", 0), 0u);
    EXPECT_EQ(env_.Contents(PathFromLocation(kIPodRoot, track->path)).value_or(""),
              std::string(1000, 'm'));
  }
}

TEST_F(SyncRunTest, TrackAlreadyOnTheIPodLeavesItsFilesAlone) {
  AddTracks(1);
  ASSERT_TRUE(Run().complete());
  const auto before = testing::SnapshotWithoutLock(env_);

  progress_ = RecordingProgress();
  owned_.clear();
  AddTracks(1);
  const SyncReport report = Run();
  EXPECT_EQ(report.summary, (SyncSummary{0, 1, 0, 0}));
  EXPECT_THAT(progress_.calls, ElementsAre("items 1", "summary"));
  EXPECT_FALSE(SummaryLines(report.summary)[2].visible);
  EXPECT_EQ(testing::SnapshotWithoutLock(env_), before);
}

TEST_F(SyncRunTest, NoRoomAfterThreeOfFive) {
  AddTracks(5, 100000);
  // Each track needs its 100,000 bytes plus 2,000 for each of the five: after three copies the
  // free space equals the need, which is not enough.
  env_.SetCapacity(env_.UsedBytes() + 3 * 100000 + 110000);
  const SyncReport report = Run();
  EXPECT_EQ(report.summary, (SyncSummary{5, 0, 3, 0}));
  EXPECT_FALSE(report.stopped.ok());
  EXPECT_FALSE(report.complete());
  EXPECT_THAT(
      progress_.statuses,
      ElementsAre("Initialising...", "Copying... A0 - T0", "Copying... A1 - T1",
                  "Copying... A2 - T2", "Copying... A3 - T3", "Updating iPod database files."));
  EXPECT_EQ(progress_.percents, (std::vector<int32_t>{14, 28, 42, 57, 71}));
  EXPECT_EQ(SummaryLines(report.summary)[2].text,
            "iPod is full. 2 items not copied due to lack of space.");
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"T0", u"T1", u"T2"));
  EXPECT_EQ(tracks_.size(), 3u);
}

TEST_F(SyncRunTest, FirstTrackWithoutRoomStillWritesTheDatabase) {
  AddTracks(2);
  env_.SetFreeBytes(0);
  const std::string db_before = *env_.Contents(kDbPath);
  const SyncReport report = Run();
  EXPECT_EQ(report.summary, (SyncSummary{2, 0, 0, 0}));
  EXPECT_EQ(SummaryLines(report.summary)[2].text,
            "iPod is full. 2 items not copied due to lack of space.");
  EXPECT_TRUE(tracks_.empty());
  // Rewritten, keeping the old one as a backup, with no track.
  EXPECT_TRUE(env_.Exists(std::string(kDbPath) + ".bak"));
  EXPECT_TRUE(TitlesOnIPod(env_).empty());
  EXPECT_EQ(progress_.percents, (std::vector<int32_t>{25, 50}));
}

TEST_F(SyncRunTest, MissingSourceInTheMiddleIsDroppedAndCountedNowhere) {
  AddTracks(3);
  env_.Erase("/music/t1.mp3");
  const SyncReport report = Run();
  EXPECT_THAT(notice_.shown,
              ElementsAre("Problem locating track.: Unable to locate file : /music/t1.mp3"));
  EXPECT_EQ(report.summary, (SyncSummary{2, 0, 2, 0}));
  EXPECT_EQ(report.missing, 1);
  EXPECT_FALSE(report.complete());
  EXPECT_FALSE(SummaryLines(report.summary)[2].visible);
  // 4 of 5 steps.
  EXPECT_EQ(progress_.percents.back(), 80);
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"T0", u"T2"));
}

TEST_F(SyncRunTest, StatusWithEmptyArtistAndTitle) {
  owned_.push_back(AddSource(env_, "blank", u"", u""));
  Run();
  EXPECT_EQ(progress_.statuses.at(1), "Copying...  - ");
}

TEST_F(SyncRunTest, FailedCopyEndsTheCopyingLikeLackOfRoom) {
  AddTracks(4);
  env_.FailCopyAfter(10, 2);
  const SyncReport report = Run();
  EXPECT_EQ(report.summary, (SyncSummary{4, 0, 1, 0}));
  EXPECT_THAT(report.stopped.message(), HasSubstr("t1.mp3"));
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"T0"));
  // The partial file went again: only the one copied file is in the music folders.
  int music_files = 0;
  for (const std::string& path : env_.Paths()) {
    if (path.find("Music" + std::string(1, kPathSeparator) + "F") != std::string::npos &&
        path.ends_with(".mp3")) {
      ++music_files;
    }
  }
  EXPECT_EQ(music_files, 1);
}

TEST_F(SyncRunTest, NoMusicFoldersCopiesNothing) {
  env_.Erase("/ipod/iPod_Control/Music");
  AddTracks(2);
  const SyncReport report = Run();
  EXPECT_EQ(report.summary, (SyncSummary{2, 0, 0, 0}));
  EXPECT_FALSE(report.stopped.ok());
  EXPECT_TRUE(TitlesOnIPod(env_).empty());
}

TEST_F(SyncRunTest, UnusableDatabaseChangesNothingAndSaysWhy) {
  AddTracks(2);
  for (const std::string& db : {std::string("garbage"), std::string()}) {
    env_.AddFile(kDbPath, db).IgnoreError();
    if (db.empty()) env_.Erase(kDbPath);
    progress_ = RecordingProgress();
    const auto before = testing::SnapshotWithoutLock(env_);
    const SyncReport report = Run();
    EXPECT_FALSE(report.status.ok());
    EXPECT_THAT(progress_.failure, HasSubstr("database cannot be used"));
    EXPECT_THAT(progress_.failure, HasSubstr("Nothing was changed"));
    EXPECT_FALSE(progress_.summary_shown);
    EXPECT_EQ(testing::SnapshotWithoutLock(env_), before);
    EXPECT_EQ(owned_.size(), 2u);
    EXPECT_EQ(tracks_.size(), 2u);
  }
  // No iTunes folder at all: not an iPod.
  env_.Erase("/ipod/iPod_Control");
  const auto before = env_.TakeSnapshot();
  EXPECT_FALSE(Run().status.ok());
  EXPECT_EQ(env_.TakeSnapshot(), before);
}

TEST_F(SyncRunTest, DatabaseThatCannotBeWrittenTakesTheCopiesBack) {
  AddTracks(2);
  const auto before = testing::SnapshotWithoutLock(env_);
  env_.FailRename(true);
  const SyncReport report = Run();
  EXPECT_FALSE(report.status.ok());
  EXPECT_THAT(progress_.failure, HasSubstr("copied files were removed again"));
  EXPECT_FALSE(progress_.summary_shown);
  EXPECT_TRUE(tracks_.empty());
  EXPECT_EQ(testing::SnapshotWithoutLock(env_), before);
}

TEST_F(SyncRunTest, ShuffleDatabaseIsKeptInStep) {
  env_.AddFile(testing::kSdPath, BuildEmptyITunesSd()).IgnoreError();
  AddTracks(2);
  const std::string sd_before = *env_.Contents(testing::kSdPath);
  const SyncReport report = Run();
  EXPECT_TRUE(report.complete());
  EXPECT_GT(env_.Contents(testing::kSdPath)->size(), sd_before.size());
}

TEST_F(SyncRunTest, NoRootStopsBeforeTouchingAnything) {
  AddTracks(1);
  tracks_ = ArrayOf(owned_);
  const SyncReport report =
      RunSync(SyncServices{env_, progress_, notice_, nullptr, &random_}, "", tracks_, 0);
  EXPECT_FALSE(report.status.ok());
  EXPECT_FALSE(progress_.failure.empty());
}

// A progress that holds the run at its first copy until told to go on.
class GateProgress : public RecordingProgress {
 public:
  void SetStatus(const std::string& text) override {
    RecordingProgress::SetStatus(text);
    if (text.rfind("Copying", 0) != 0) return;
    std::unique_lock<std::mutex> lock(mutex_);
    reached_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_; });
  }
  void WaitUntilReached() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return reached_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool reached_ = false;
  bool open_ = false;
};

TEST_F(SyncRunTest, TwoRunsOnOneIPodTakeTurns) {
  OwnedTracks first, second;
  first.push_back(AddSource(env_, "x", u"A", u"Same"));
  second.push_back(AddSource(env_, "y", u"A", u"Same"));
  TrackArray first_tracks = ArrayOf(first), second_tracks = ArrayOf(second);
  GateProgress gate;
  RecordingProgress other;
  LcgRandom other_random(9);
  SyncReport first_report, second_report;

  std::thread a([&] {
    first_report =
        RunSync(SyncServices{env_, gate, notice_, nullptr, &random_}, kIPodRoot, first_tracks, 0);
  });
  gate.WaitUntilReached();
  env_.ResetCounts();
  std::thread b([&] {
    second_report = RunSync(SyncServices{env_, other, notice_, nullptr, &other_random}, kIPodRoot,
                            second_tracks, 0);
  });
  // The second run is at the lock; it must not read the database before the first wrote it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (env_.Calls(MemoryEnv::Op::kLock) == 0 && env_.Calls(MemoryEnv::Op::kReadFile) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  EXPECT_EQ(env_.Calls(MemoryEnv::Op::kReadFile), 0);
  gate.Open();
  a.join();
  b.join();
  EXPECT_EQ(first_report.summary, (SyncSummary{1, 0, 1, 0}));
  EXPECT_EQ(second_report.summary, (SyncSummary{0, 1, 0, 0}));
  EXPECT_THAT(TitlesOnIPod(env_), ElementsAre(u"Same"));
}

}  // namespace
}  // namespace tunewell
