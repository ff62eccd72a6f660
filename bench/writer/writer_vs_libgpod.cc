// Load + add 100 tracks + save on a 40,000-track database: this program's writer against
// libgpod's parse + write, and against merely reading and rewriting the file's bytes. Twice: on
// the three-dataset layout this program writes, and (where libgpod is there to write it) on the
// same database in libgpod's layout: eight datasets, album list, indexes and jump tables.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "database/empty_database.h"
#include "database/ipod_database.h"
#include "platform/replace_file.h"

namespace fs = std::filesystem;
using tunewell::Env;
using tunewell::Status;
using tunewell::TrackArray;
using tunewell::TrackInfo;

namespace {

constexpr int kLibraryTracks = 40000;
constexpr int kAddedTracks = 100;
constexpr int kRounds = 5;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::vector<TrackInfo> Tracks(int n, int seed) {
  std::vector<TrackInfo> tracks(n);
  for (int i = 0; i < n; ++i) {
    const std::u16string k(std::to_string(seed + i).begin(), std::to_string(seed + i).end());
    TrackInfo& t = tracks[i];
    t.title = u"A reasonably long track title " + k;
    t.artist =
        u"Artist " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + k.substr(0, 2);
    t.album = u"Album of the year " + k.substr(0, 3);
    t.genre = u"Rock";
    t.composer = i % 4 ? u"" : u"Composer " + k.substr(0, 1);
    t.kind = u"MPEG audio file";
    t.path = u":iPod_Control:Music:F" + k.substr(k.size() - 2) + u":ABCD.mp3";
    t.trackNumber = i % 20 + 1;
    t.fileSize = 4000000;
    t.duration = 240.5;
    t.bitrate = 192000;
  }
  return tracks;
}

Status AddAndSave(const std::string& root, std::vector<TrackInfo>& tracks) {
  tunewell::IPodDatabase ipod(Env::Default(), root);
  TrackArray array;
  for (TrackInfo& t : tracks) array.push_back(&t);
  RETURN_IF_ERROR(ipod.LoadForSync(&array));
  return ipod.SaveAfterSync(array);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs libgpod's side on the iPod at `root`, adding `tracks`: its seconds, or -1.
double RunGpod(const std::string& gpod_bench, const fs::path& root, int tracks) {
  const std::string command = gpod_bench + " '" + root.string() + "' " + std::to_string(tracks);
  FILE* pipe = popen(command.c_str(), "r");
  double seconds = -1;
  if (pipe == nullptr || std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
  if (pipe != nullptr && pclose(pipe) != 0) seconds = -1;
  return seconds;
}

// The rounds on copies of the iPod at `base`; false when a save fails.
bool Compare(const fs::path& work, const fs::path& base, const std::string& gpod_bench,
             const char* layout) {
  std::vector<double> ours, raw, theirs;
  for (int round = 0; round < kRounds; ++round) {
    const fs::path copy = work / ("round" + std::to_string(round));
    fs::copy(base, copy, fs::copy_options::recursive);
    const std::string root = copy.string() + "/";
    std::vector<TrackInfo> added = Tracks(kAddedTracks, 900000 + round * 1000);
    auto start = std::chrono::steady_clock::now();
    if (Status s = AddAndSave(root, added); !s.ok()) {
      std::fprintf(stderr, "%s\n", s.ToString().c_str());
      return false;
    }
    ours.push_back(Seconds(start));

    // The floor: read the bytes, write them back the same safe way, unchecked.
    const std::string path = (copy / "iPod_Control" / "iTunes" / "iTunesDB").string();
    start = std::chrono::steady_clock::now();
    std::string bytes;
    if (!Env::Default().ReadFile(path, &bytes).ok() ||
        !tunewell::ReplaceFileSafely(Env::Default(), path, bytes, nullptr, "").ok()) {
      return false;
    }
    raw.push_back(Seconds(start));

    if (!gpod_bench.empty()) {
      const fs::path other = work / ("gpod" + std::to_string(round));
      fs::copy(base, other, fs::copy_options::recursive);
      theirs.push_back(RunGpod(gpod_bench, other, kAddedTracks));
      if (theirs.back() < 0) {
        std::fprintf(stderr, "libgpod run failed\n");
        return false;
      }
      fs::remove_all(other);
    }
    fs::remove_all(copy);
  }
  const double o = Median(ours), r = Median(raw);
  std::printf("%s layout:\n", layout);
  std::printf("tunewell load + add %d + save: %8.1f ms (median of %d)\n", kAddedTracks, o * 1e3,
              kRounds);
  std::printf("read + write the bytes:         %8.1f ms   ours / raw = %.2f\n", r * 1e3, o / r);
  if (!theirs.empty()) {
    const double t = Median(theirs);
    std::printf("libgpod parse + add %d + write: %8.1f ms   libgpod / ours = %.1f\n", kAddedTracks,
                t * 1e3, t / o);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string gpod_bench = argc > 1 ? argv[1] : "";
  const fs::path work = fs::temp_directory_path() / "tunewell-writer-bench";
  fs::remove_all(work);
  const fs::path base = work / "base";
  fs::create_directories(base / "iPod_Control" / "iTunes");
  for (int f = 0; f < 20; ++f) {
    char name[8];
    std::snprintf(name, sizeof name, "F%02d", f);
    fs::create_directories(base / "iPod_Control" / "Music" / name);
  }
  const std::string base_root = base.string() + "/";
  const std::string db_path = (base / "iPod_Control" / "iTunes" / "iTunesDB").string();
  if (!tunewell::ReplaceFileSafely(Env::Default(), db_path, tunewell::BuildEmptyITunesDb(), nullptr,
                                   "")
           .ok())
    return 1;
  std::vector<TrackInfo> library = Tracks(kLibraryTracks, 100000);
  if (Status s = AddAndSave(base_root, library); !s.ok()) {
    std::fprintf(stderr, "%s\n", s.ToString().c_str());
    return 1;
  }
  std::printf("database: %d tracks, %.1f MB\n", kLibraryTracks, fs::file_size(db_path) / 1e6);

  if (!Compare(work, base, gpod_bench, "three-dataset")) return 1;
  if (gpod_bench.empty()) {
    std::printf("libgpod layout: skipped, no gpod_bench to write it\n");
  } else {
    // libgpod rewrites the same database in its own layout.
    const fs::path gpod_base = work / "gpod-base";
    fs::copy(base, gpod_base, fs::copy_options::recursive);
    if (RunGpod(gpod_bench, gpod_base, 0) < 0 || !Compare(work, gpod_base, gpod_bench, "libgpod")) {
      return 1;
    }
  }
  fs::remove_all(work);
  return 0;
}
