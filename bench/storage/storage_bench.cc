// Storage on the real disk: copying a 50 MB track into a music folder against `cp` of the same
// file (the copy should cost no more than 10% over cp), and removing 1,000 tracks from an iPod
// whose database holds 40,000 (one load and one save of iTunesDB, however many tracks go).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <string>

#include "database/ipod_database.h"
#include "platform/path.h"
#include "platform/text.h"
#include "storage/ipod_location.h"
#include "storage/random_source.h"
#include "storage/track_copy.h"
#include "sync/removal_run.h"
#include "tests/support/gpod_client.h"
#include "tests/support/ipod_tree.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {
namespace {

constexpr size_t kTrackBytes = 50 * 1000 * 1000;
constexpr int kDatabaseTracks = 40000;
constexpr int kRemovedTracks = 1000;

class SilentNotice : public MissingFileNotice {
 public:
  void Show(const std::string&, const std::string&) override {}
};

// The real disk, counting the calls that read or replace a database file.
class CountingEnv : public Env {
 public:
  std::map<std::string, int> reads, renames;

  Status ReadFile(const std::string& path, std::string* contents) override {
    ++reads[path];
    return base_.ReadFile(path, contents);
  }
  Status ProbeFile(const std::string& path, bool share_read) override {
    return base_.ProbeFile(path, share_read);
  }
  Status FileSize(const std::string& path, uint64_t* size) override {
    return base_.FileSize(path, size);
  }
  PathKind KindOf(const std::string& path) override { return base_.KindOf(path); }
  Status Identify(const std::string& path, FileIdentity* identity) override {
    return base_.Identify(path, identity);
  }
  Status ListFolder(const std::string& path, std::vector<FolderEntry>* entries) override {
    return base_.ListFolder(path, entries);
  }
  Status FreeBytes(const std::string& path, uint64_t* bytes) override {
    return base_.FreeBytes(path, bytes);
  }
  Status NewWritableFile(const std::string& path, bool hidden,
                         std::unique_ptr<WritableFile>* file) override {
    return base_.NewWritableFile(path, hidden, file);
  }
  Status CopyFileTo(const std::string& from, const std::string& to) override {
    return base_.CopyFileTo(from, to);
  }
  Status RemoveFile(const std::string& path) override { return base_.RemoveFile(path); }
  Status RenameFile(const std::string& from, const std::string& to) override {
    ++renames[to];
    return base_.RenameFile(from, to);
  }
  Status SyncFolder(const std::string& path) override { return base_.SyncFolder(path); }
  Status SyncVolume(const std::string& path) override { return base_.SyncVolume(path); }
  Status CreateFolder(const std::string& path) override { return base_.CreateFolder(path); }
  Status LockFile(const std::string& path, std::unique_ptr<FileLock>* lock,
                  const LockWait& wait) override {
    return base_.LockFile(path, lock, wait);
  }
  uint64_t NowSeconds() override { return base_.NowSeconds(); }

 private:
  Env& base_ = Env::Default();
};

std::string MakeSource(const std::string& folder) {
  std::string bytes(kTrackBytes, '\0');
  uint32_t x = 12345;
  for (char& c : bytes) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  const std::string path = folder + "source.mp3";
  if (!fixture::WriteWholeFile(Env::Default(), path, bytes).ok()) std::abort();
  return path;
}

void BM_CopyTrackToIPod(benchmark::State& state) {
  fixture::TempFolder folder;
  Env& env = Env::Default();
  const std::string source = MakeSource(folder.path());
  const std::string root = folder.path() + "IPOD";
  env.CreateFolder(root).IgnoreError();
  fixture::IPodTree tree;
  tree.music_folders = 20;
  if (!fixture::WriteIPodTree(env, root, tree).ok()) std::abort();
  const CopyTarget ipod = CopyTarget::For(env, root);
  LcgRandom random = LcgRandom::SeededFromClock(env);
  SilentNotice notice;
  for (auto _ : state) {
    TrackInfo track;
    track.path = NarrowToWide(source);
    track.fileSize = static_cast<int32_t>(kTrackBytes);
    if (CopyTrackToIPod(ipod, track, 1, random, notice) != CopyResult::Copied) {
      state.SkipWithError("copy failed");
      break;
    }
    state.PauseTiming();
    env.RemoveFile(PathFromLocation(ipod.root, track.path)).IgnoreError();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTrackBytes));
}
BENCHMARK(BM_CopyTrackToIPod)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_CpCommand(benchmark::State& state) {
  fixture::TempFolder folder;
  const std::string source = MakeSource(folder.path());
  const std::string command =
      "cp " + fixture::ShellQuote(source) + " " + fixture::ShellQuote(folder.path() + "QKZA.mp3");
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("cp failed");
      break;
    }
    state.PauseTiming();
    Env::Default().RemoveFile(folder.path() + "QKZA.mp3").IgnoreError();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTrackBytes));
}
BENCHMARK(BM_CpCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_RemoveTracksFromIPod(benchmark::State& state) {
  fixture::TempFolder folder;
  const std::string root = folder.path();
  const auto sample = fixture::SampleTracks(kDatabaseTracks);
  fixture::IPodTree tree;
  tree.music_folders = 3;
  tree.itunes_db = fixture::BuildITunesDb(sample);
  CountingEnv env;
  for (auto _ : state) {
    state.PauseTiming();
    if (!fixture::WriteIPodTree(env, root, tree).ok()) std::abort();
    // Every 40th track goes: 1,000 of them, spread over the database.
    for (int i = 0; i < kRemovedTracks; ++i) {
      fixture::WriteWholeFile(env, fixture::PathOfLocation(root, Utf16ToUtf8(sample[i * 40].path)),
                              "audio")
          .IgnoreError();
    }
    OwnedTracks tracks;
    if (!IPodDatabase(env, root).ReadTrackList(&tracks).ok()) std::abort();
    TrackArray removed;
    for (const auto& t : tracks) {
      if ((t->trackId - 1) % 40 == 0) removed.push_back(t.get());
    }
    env.reads.clear();
    env.renames.clear();
    IPodDatabase ipod(env, root);
    RemovalReport report;
    state.ResumeTiming();

    const Status s = RemoveTracksFromIPod(ipod, removed, &report);

    state.PauseTiming();
    if (!s.ok() || report.files_deleted != kRemovedTracks) {
      state.SkipWithError(s.ok() ? "files left" : s.ToString().c_str());
      break;
    }
    state.counters["iTunesDB_reads"] = env.reads[ipod.dbPath()];
    state.counters["iTunesDB_replacements"] = env.renames[ipod.dbPath()];
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RemoveTracksFromIPod)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace tunewell

BENCHMARK_MAIN();
