// The whole `tunewell sync` command, process start included, adding 100 tagged MP3s to an iPod
// whose iTunesDB (and iTunesSD) hold 40,000 tracks, side by side in each run with libgpod's parse
// + add 100 + write of the same database, with this program's database share alone, and with
// merely reading and safely rewriting the databases' bytes. Also counts the bytes a sync writes.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_library.h"
#include "cli/silent_mp3.h"
#include "database/empty_database.h"
#include "database/ipod_database.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/text.h"
#include "tests/support/ipod_tree.h"

extern char** environ;

namespace tunewell {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLibraryTracks = 40000;
constexpr int kAddedTracks = 100;
constexpr int kFramesPerFile = 10;
constexpr double kMB = 1e6;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Check(const Status& s, const char* what) {
  if (s.ok()) return;
  std::fprintf(stderr, "%s: %s\n", what, s.ToString().c_str());
  std::exit(1);
}

std::u16string Wide(const std::string& text) { return NarrowToWide(text); }

// Texts of the tracks already on the iPod: varied enough that every sort has work to do.
std::vector<TrackInfo> LibraryTracks() {
  std::vector<TrackInfo> tracks(kLibraryTracks);
  for (int i = 0; i < kLibraryTracks; ++i) {
    const std::string k = std::to_string(100000 + i * 7919 % kLibraryTracks);
    TrackInfo& t = tracks[i];
    t.title = Wide("A reasonably long track title " + k);
    t.artist = Wide(std::string("Artist ") + static_cast<char>('A' + i % 26) + k.substr(2, 2));
    t.album = Wide("Album of the year " + k.substr(1, 3));
    t.genre = i % 3 ? u"Rock" : u"Jazz";
    t.composer = i % 4 ? u"" : Wide("Composer " + k.substr(3, 1));
    t.kind = std::u16string(kMpegAudioFileKind);
    const int folder = i % 20;
    t.path = Wide(":iPod_Control:Music:F" + std::string(folder < 10 ? "0" : "") +
                  std::to_string(folder) + ":T" + k + ".mp3");
    t.trackNumber = i % 20 + 1;
    t.fileSize = 4000000;
    t.duration = 240.5;
    t.bitrate = 192000;
  }
  return tracks;
}

cli::Id3Tags NewTags(int k) {
  return {"New title " + std::to_string(k),
          "New artist " + std::to_string(k % 7),
          "New album " + std::to_string(k % 11),
          "Pop",
          "",
          2024,
          k % 12 + 1};
}

struct Outcome {
  int code = -1;
  double seconds = 0;
  double cpu_seconds = 0;  // user and system: steadier than `seconds` on a shared machine
  uint64_t written = 0;    // bytes the process dirtied on disk
};

// Starts `args` with its output in `output` and waits for it.
Outcome Run(const std::vector<std::string>& args, const std::string& output) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Outcome outcome;
  const Clock::time_point start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
      outcome.code = WEXITSTATUS(status);
    }
    outcome.written = static_cast<uint64_t>(usage.ru_oublock) * 512;
    for (const timeval& t : {usage.ru_utime, usage.ru_stime}) {
      outcome.cpu_seconds += static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    }
  }
  outcome.seconds = SecondsSince(start);
  posix_spawn_file_actions_destroy(&actions);
  return outcome;
}

// Read, write beside, flush, read back, rename: the least a safe rewrite of a file can cost.
Status RewriteBytes(Env& env, const std::string& path) {
  std::string bytes, again;
  RETURN_IF_ERROR(env.ReadFile(path, &bytes));
  std::unique_ptr<WritableFile> file;
  RETURN_IF_ERROR(env.NewWritableFile(path + ".new", false, &file));
  RETURN_IF_ERROR(file->Append(bytes));
  RETURN_IF_ERROR(file->Sync());
  RETURN_IF_ERROR(file->Close());
  RETURN_IF_ERROR(env.ReadFile(path + ".new", &again));
  if (again != bytes) return Status::IOError(path + ": read back differs");
  RETURN_IF_ERROR(env.RenameFile(path + ".new", path));
  return env.SyncFolder(ParentOf(path));
}

uint64_t SizeOr0(const fs::path& path) {
  std::error_code error;
  const uint64_t size = fs::file_size(path, error);
  return error ? 0 : size;
}

class CommandFixture {
 public:
  CommandFixture() {
    work_ = fs::temp_directory_path() / ("tunewell-command-bench-" + std::to_string(getpid()));
    fs::remove_all(work_);
    fs::create_directories(work_ / "library");
    Env& env = Env::Default();
    const std::string base = (work_ / "base").string();
    Check(env.CreateFolder(base), "base folder");
    fixture::IPodTree tree;
    tree.itunes_db = BuildEmptyITunesDb();
    tree.itunes_sd = BuildEmptyITunesSd();
    Check(fixture::WriteIPodTree(env, base, tree), "iPod tree");
    std::vector<TrackInfo> tracks = LibraryTracks();
    TrackArray array;
    for (TrackInfo& t : tracks) array.push_back(&t);
    IPodDatabase ipod(env, base);
    Check(ipod.LoadForSync(nullptr), "load");
    Check(ipod.SaveAfterSync(array), "library save");
    fs::remove(fs::path(ipod.dbPath() + ".bak"));

    const std::string mp3 = cli::SilentMp3(kFramesPerFile);
    for (int k = 0; k < kAddedTracks; ++k) {
      const std::string path = (work_ / "library" / ("song" + std::to_string(k) + ".mp3")).string();
      Check(fixture::WriteWholeFile(env, path, mp3), "mp3");
      Check(cli::WriteId3Tags(path, NewTags(k)), "tags");
    }
  }
  ~CommandFixture() { fs::remove_all(work_); }

  // A fresh copy of the iPod folder, ready for one run.
  std::string FreshIPod(const std::string& name) {
    const fs::path ipod = work_ / name;
    fs::remove_all(ipod);
    fs::copy(work_ / "base", ipod, fs::copy_options::recursive);
    // An iPod's files are on the device before a sync starts, not still being written back.
    ::sync();
    return ipod.string();
  }
  fs::path work() const { return work_; }
  std::string library() const { return (work_ / "library").string(); }

 private:
  fs::path work_;
};

CommandFixture& Fixture() {
  static CommandFixture fixture;
  return fixture;
}

// The database share alone, in this process: load with the duplicate check, then the save of
// the added tracks as if their files had been copied.
Status DatabaseShare(const std::string& root) {
  std::vector<TrackInfo> added(kAddedTracks);
  TrackArray array;
  for (int k = 0; k < kAddedTracks; ++k) {
    const cli::Id3Tags tags = NewTags(k);
    TrackInfo& t = added[k];
    t.title = Wide(tags.title);
    t.artist = Wide(tags.artist);
    t.album = Wide(tags.album);
    t.genre = Wide(tags.genre);
    t.trackNumber = tags.track;
    t.kind = std::u16string(kMpegAudioFileKind);
    t.path = Wide(":iPod_Control:Music:F00:N" + std::to_string(k) + ".mp3");
    array.push_back(&t);
  }
  IPodDatabase ipod(Env::Default(), root);
  RETURN_IF_ERROR(ipod.LoadForSync(&array));
  return ipod.SaveAfterSync(array);
}

void BM_WholeSyncCommand(benchmark::State& state) {
  CommandFixture& f = Fixture();
  const std::string out = (f.work() / "output.txt").string();
  double command = 0, gpod = 0, share = 0, rewrite = 0, command_cpu = 0, gpod_cpu = 0;
  uint64_t written = 0, db = 0, backup = 0, sd = 0, audio = 0;
  // Each side runs twice, on copies made before the first run. The first run starts as the
  // machine was left by the other side; the second where its own first run left it. That
  // matters on a virtual machine that gives memory left free for a moment back to its host:
  // a process touching it again waits for the host, page by page, and the command touches tens
  // of megabytes of fresh memory in a fraction of a second, libgpod about as much over seconds.
  double command_again = 0, gpod_again = 0;
  for (auto _ : state) {
    const std::string ipod = f.FreshIPod("ipod");
    const std::string ipod_again = f.FreshIPod("ipod-again");
    const Outcome run = Run({TUNEWELL_BINARY, "sync", "--ipod", ipod, f.library()}, out);
    const Outcome again = Run({TUNEWELL_BINARY, "sync", "--ipod", ipod_again, f.library()}, out);
    if (run.code != 0 || again.code != 0) {
      state.SkipWithError("tunewell sync failed");
      break;
    }
    state.SetIterationTime(run.seconds);
    command += run.seconds;
    command_again += again.seconds;
    command_cpu += run.cpu_seconds;
    written += run.written;
    const fs::path itunes = fs::path(ipod) / "iPod_Control" / "iTunes";
    db += SizeOr0(itunes / "iTunesDB");
    sd += SizeOr0(itunes / "iTunesSD");
    backup += SizeOr0(itunes / "iTunesDB.bak");
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(ipod) / "iPod_Control" / "Music")) {
      if (entry.is_regular_file()) audio += entry.file_size();
    }

    // libgpod's own figure: parse, add, write, its process start not counted.
    double gpod_seconds[2] = {-1, -1};
    const std::string copies[2] = {f.FreshIPod("gpod"), f.FreshIPod("gpod-again")};
    for (int k = 0; k < 2; ++k) {
      const Outcome gpod_run = Run({GPOD_BENCH, copies[k], std::to_string(kAddedTracks)}, out);
      std::string printed;
      if (gpod_run.code != 0 || !Env::Default().ReadFile(out, &printed).ok()) break;
      gpod_seconds[k] = std::stod(printed);
      if (k == 0) gpod_cpu += gpod_run.cpu_seconds;  // its process start included here
    }
    if (gpod_seconds[1] < 0) {
      state.SkipWithError("gpod_bench failed");
      break;
    }
    gpod += gpod_seconds[0];
    gpod_again += gpod_seconds[1];

    std::string root = f.FreshIPod("share");
    Clock::time_point start = Clock::now();
    Check(DatabaseShare(root), "database share");
    share += SecondsSince(start);

    root = f.FreshIPod("rewrite");
    start = Clock::now();
    for (const char* name : {"iTunesDB", "iTunesSD"}) {
      Check(RewriteBytes(Env::Default(), JoinPath(root, {"iPod_Control", "iTunes", name})),
            "rewrite");
    }
    rewrite += SecondsSince(start);
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["command_s"] = command / runs;
  state.counters["libgpod_s"] = gpod / runs;
  state.counters["libgpod_per_command"] = gpod / command;
  state.counters["command_again_s"] = command_again / runs;
  state.counters["libgpod_again_s"] = gpod_again / runs;
  state.counters["libgpod_per_command_again"] = gpod_again / command_again;
  state.counters["command_cpu_s"] = command_cpu / runs;
  state.counters["libgpod_cpu_s"] = gpod_cpu / runs;
  state.counters["libgpod_per_command_cpu"] = gpod_cpu / command_cpu;
  state.counters["db_share_s"] = share / runs;
  state.counters["rewrite_s"] = rewrite / runs;
  state.counters["db_share_per_rewrite"] = share / rewrite;
  state.counters["written_MB"] = written / runs / kMB;
  state.counters["itunesdb_MB"] = db / runs / kMB;
  state.counters["backup_file_MB"] = backup / runs / kMB;
  state.counters["itunessd_MB"] = sd / runs / kMB;
  state.counters["audio_MB"] = audio / runs / kMB;
}
// Seven runs, each side by side; read the ratios' medians (libgpod_per_command_again compares
// the second runs), and as the best run the max of the libgpod_per_* ratios and the min of
// db_share_per_rewrite. written_MB counts what the command itself put on the disk; the *_MB sizes
// say of what.
BENCHMARK(BM_WholeSyncCommand)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->ComputeStatistics("min",
                        [](const std::vector<double>& v) {
                          return *std::min_element(v.begin(), v.end());
                        })
    ->ComputeStatistics("max",
                        [](const std::vector<double>& v) {
                          return *std::max_element(v.begin(), v.end());
                        })
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace tunewell

BENCHMARK_MAIN();
