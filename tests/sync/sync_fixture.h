#pragma once

// What the sync program's tests share: an iPod and sources in memory, a recorded progress, and
// the fixture that runs a sync over them.

#include <gmock/gmock.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "database/empty_database.h"
#include "database/ipod_database.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "storage/ipod_location.h"
#include "storage/random_source.h"
#include "sync/progress.h"
#include "sync/removal_run.h"
#include "sync/sync_run.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"
#include "tests/support/recorders.h"

namespace tunewell::fixture {

using Titles = std::vector<std::u16string>;

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

inline constexpr char kIPodRoot[] = "/ipod/";
inline constexpr char kDbPath[] = "/ipod/iPod_Control/iTunes/iTunesDB";
inline constexpr char kSdPath[] = "/ipod/iPod_Control/iTunes/iTunesSD";

// An empty database (and iTunesSD, with `shuffle`) and three music folders.
inline Status MakeIPod(MemoryEnv& env, bool shuffle = false) {
  IPodTree tree{3, BuildEmptyITunesDb()};
  if (shuffle) tree.itunes_sd = BuildEmptyITunesSd();
  return WriteIPodTree(env, kIPodRoot, tree);
}

// A source file of `size` bytes at /music/<name>.mp3 and a track on "Album" that names it.
inline std::unique_ptr<TrackInfo> AddSource(MemoryEnv& env, const std::string& name,
                                            std::u16string artist, std::u16string title,
                                            size_t size = 1000) {
  const std::string path = "/music/" + name + ".mp3";
  EXPECT_TRUE(env.AddFile(path, std::string(size, 'm')).ok());
  auto track =
      std::make_unique<TrackInfo>(MakeTrack(std::move(title), std::move(artist), u"Album"));
  track->path = NarrowToWide(path);
  track->fileSize = static_cast<int32_t>(size);
  return track;
}

inline std::vector<std::u16string> TitlesOnIPod(Env& env, const std::string& root = kIPodRoot) {
  OwnedTracks tracks;
  EXPECT_TRUE(IPodDatabase(env, root).ReadTrackList(&tracks).ok());
  std::vector<std::u16string> titles;
  for (const auto& t : tracks) titles.push_back(t->title);
  return titles;
}

// Everything on the volume but the lock file, which a run leaves behind by design.
inline MemoryEnv::Snapshot SnapshotWithoutLock(const MemoryEnv& env) {
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

}  // namespace tunewell::fixture
