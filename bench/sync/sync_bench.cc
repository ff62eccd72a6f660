// A sync of 1,000 small MP3 files onto an iPod folder whose database already holds 40,000
// tracks, on the real disk. The database share (lock, load with the duplicate check, save) is
// reported apart from the copying; the target for it is under half a second.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

#include "database/ipod_database.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "storage/random_source.h"
#include "sync/sync_run.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

constexpr int kExistingTracks = 40000;
constexpr int kNewFiles = 1000;
// Of the files, this many repeat a track already on the iPod and are dropped by the load.
constexpr int kRepeats = 100;
constexpr size_t kFileBytes = 4 * 1024;

using Clock = std::chrono::steady_clock;

// Notes when each phase of a run ends.
class PhaseClock : public SyncProgress, public MissingFileNotice {
 public:
  Clock::time_point start, loaded, copied, saved;
  // Processor time at the same points: the machine's other load does not count in it.
  std::clock_t cpu_start = 0, cpu_loaded = 0, cpu_copied = 0, cpu_saved = 0;
  int items = 0;

  void SetItemCount(int32_t) override {
    if (++items == 1) {
      start = Clock::now();
      cpu_start = std::clock();
    } else {
      loaded = Clock::now();
      cpu_loaded = std::clock();
    }
  }
  void SetStatus(const std::string& text) override {
    if (text != kUpdatingDatabaseStatus) return;
    copied = Clock::now();
    cpu_copied = std::clock();
  }
  void Step() override {
    saved = Clock::now();
    cpu_saved = std::clock();
  }
  void ShowSummary(const SyncSummary&) override {}
  void ShowFailure(const std::string& text) override {
    std::fprintf(stderr, "sync failed: %s\n", text.c_str());
  }
  void Show(const std::string& text, const std::string&) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
};

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

double CpuSeconds(std::clock_t from, std::clock_t to) {
  return static_cast<double>(to - from) / CLOCKS_PER_SEC;
}

class SyncFixture {
 public:
  SyncFixture() : root_(temp_.path() + "ipod" + kPathSeparator) {
    std::vector<fixture::FixtureTrack> tracks = fixture::SampleTracks(kExistingTracks);
    db_image_ = fixture::BuildITunesDb(tracks);
    fixture::IPodTree tree;
    tree.itunes_db = db_image_;
    Check(env_.CreateFolder(temp_.path() + "ipod"));
    Check(fixture::WriteIPodTree(env_, root_, tree));
    const std::string music = temp_.path() + "music";
    Check(env_.CreateFolder(music));
    for (int k = 0; k < kNewFiles; ++k) {
      auto track = std::make_unique<TrackInfo>();
      const std::string path = music + kPathSeparator + "song" + std::to_string(k) + ".mp3";
      Check(fixture::WriteWholeFile(env_, path, std::string(kFileBytes, 'm')));
      track->path = NarrowToWide(path);
      if (k < kRepeats) {
        // The texts of SampleTracks' track k.
        track->title = tracks[k].title;
        track->artist = tracks[k].artist;
        track->album = tracks[k].album;
      } else {
        track->title = u"New title " + NarrowToWide(std::to_string(k));
        track->artist = u"New artist " + NarrowToWide(std::to_string(k % 40));
        track->album = u"New album " + NarrowToWide(std::to_string(k % 90));
      }
      track->fileSize = static_cast<int32_t>(kFileBytes);
      track->trackNumber = k % 14 + 1;
      track->kind = std::u16string(kMpegAudioFileKind);
      sources_.push_back(std::move(track));
    }
  }

  // Puts the iPod back as it was before a run: the original database, empty music folders.
  void Reset() {
    const std::string itunes = JoinPath(root_, {"iPod_Control", "iTunes"});
    Check(fixture::WriteWholeFile(env_, JoinPath(itunes, {"iTunesDB"}), db_image_));
    env_.RemoveFile(JoinPath(itunes, {"iTunesDB.bak"})).IgnoreError();
    const std::string music = JoinPath(root_, {"iPod_Control", "Music"});
    std::vector<FolderEntry> folders, files;
    Check(env_.ListFolder(music, &folders));
    for (const FolderEntry& folder : folders) {
      const std::string path = JoinPath(music, {folder.name});
      Check(env_.ListFolder(path, &files));
      for (const FolderEntry& file : files) {
        env_.RemoveFile(JoinPath(path, {file.name})).IgnoreError();
      }
    }
    copies_.clear();
    tracks_.clear();
    for (const auto& source : sources_) {
      copies_.push_back(std::make_unique<TrackInfo>(*source));
      tracks_.push_back(copies_.back().get());
    }
  }

  SyncReport Run(PhaseClock& clock) {
    LcgRandom random(1);
    return RunSync(SyncServices{env_, clock, clock, nullptr, &random}, root_, tracks_, 0);
  }

  const std::string& root() const { return root_; }
  TrackArray& tracks() { return tracks_; }
  Env& env() { return env_; }

 private:
  static void Check(const Status& s) {
    if (!s.ok()) {
      std::fprintf(stderr, "setup failed: %s\n", s.ToString().c_str());
      std::abort();
    }
  }

  Env& env_ = Env::Default();
  fixture::TempFolder temp_;
  std::string root_;
  std::string db_image_;
  OwnedTracks sources_;
  OwnedTracks copies_;
  TrackArray tracks_;
};

// Made once; its temporary folder goes at exit.
SyncFixture& Fixture() {
  static SyncFixture fixture;
  return fixture;
}

// The whole run, with the database share and the copying reported apart (seconds per run).
void BM_SyncThousandOntoFortyThousand(benchmark::State& state) {
  SyncFixture& f = Fixture();
  double database = 0, load = 0, save = 0, copying = 0, load_cpu = 0, save_cpu = 0;
  for (auto _ : state) {
    state.PauseTiming();
    f.Reset();
    PhaseClock clock;
    state.ResumeTiming();
    const SyncReport report = f.Run(clock);
    state.PauseTiming();
    if (!report.complete() || report.summary.copied != kNewFiles - kRepeats) {
      state.SkipWithError("the run did not copy every new track");
      break;
    }
    load += Seconds(clock.start, clock.loaded);
    save += Seconds(clock.copied, clock.saved);
    copying += Seconds(clock.loaded, clock.copied);
    database += Seconds(clock.start, clock.loaded) + Seconds(clock.copied, clock.saved);
    load_cpu += CpuSeconds(clock.cpu_start, clock.cpu_loaded);
    save_cpu += CpuSeconds(clock.cpu_copied, clock.cpu_saved);
    state.ResumeTiming();
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["database_s"] = database / runs;
  state.counters["database_cpu_s"] = (load_cpu + save_cpu) / runs;
  state.counters["load_cpu_s"] = load_cpu / runs;
  state.counters["save_cpu_s"] = save_cpu / runs;
  state.counters["load_and_duplicates_s"] = load / runs;
  state.counters["save_s"] = save / runs;
  state.counters["copying_s"] = copying / runs;
}
BENCHMARK(BM_SyncThousandOntoFortyThousand)->Unit(benchmark::kMillisecond)->Iterations(5);

// The database share alone: load with the duplicate check, then the save of 900 new tracks
// whose files are taken as copied.
void BM_DatabaseShareOnly(benchmark::State& state) {
  SyncFixture& f = Fixture();
  for (auto _ : state) {
    state.PauseTiming();
    f.Reset();
    state.ResumeTiming();
    IPodDatabase ipod(f.env(), f.root());
    if (!ipod.LoadForSync(&f.tracks()).ok()) {
      state.SkipWithError("load failed");
      break;
    }
    int k = 0;
    for (TrackInfo* track : f.tracks()) {
      track->path = u":iPod_Control:Music:F00:S" + NarrowToWide(std::to_string(k++)) + u".mp3";
    }
    if (!ipod.SaveAfterSync(f.tracks()).ok()) {
      state.SkipWithError("save failed");
      break;
    }
  }
}
BENCHMARK(BM_DatabaseShareOnly)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace tunewell

BENCHMARK_MAIN();
