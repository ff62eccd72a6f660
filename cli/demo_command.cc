#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_files.h"
#include "cli/cli_library.h"
#include "cli/commands.h"
#include "cli/contents_tree.h"
#include "cli/exit_codes.h"
#include "cli/silent_mp3.h"
#include "cli/sync_command.h"
#include "database/ipod_database.h"
#include "platform/path.h"
#include "platform/replace_file.h"

namespace tunewell::cli {

namespace {

constexpr char kDefaultFolder[] = "demo";
// Proof that the demo made its folder, so that a later demo there may use it again.
constexpr char kMarkerFile[] = "README-tunewell-demo.txt";
constexpr char kMarkerText[] =
    "Made by `tunewell demo`: ipod/ is a demo iPod, library/ the music synced to it.\n"
    "Running the demo again here reuses both; deleting this folder removes the demo.\n";

struct DemoTrack {
  const char* file;  // below the library folder
  Id3Tags tags;
  int frames;
};

const std::vector<DemoTrack>& DemoTracks() {
  static const std::vector<DemoTrack> tracks = {
      {"Aurora Lane/Northern Lights/01 First Light.mp3",
       {"First Light", "Aurora Lane", "Northern Lights", "Ambient", "M. Sorensen", 2004, 1},
       80},
      {"Aurora Lane/Northern Lights/02 Polar Night.mp3",
       {"Polar Night", "Aurora Lane", "Northern Lights", "Ambient", "M. Sorensen", 2004, 2},
       95},
      {"Aurora Lane/Northern Lights/03 Solstice.mp3",
       {"Solstice", "Aurora Lane", "Northern Lights", "Ambient", "", 2004, 3},
       70},
      {"Aurora Lane/Harbour Songs/01 Low Tide.mp3",
       {"Low Tide", "Aurora Lane", "Harbour Songs", "Folk", "", 2006, 1},
       60},
      {"Aurora Lane/Harbour Songs/02 Lighthouse.mp3",
       {"Lighthouse", "Aurora Lane", "Harbour Songs", "Folk", "J. Okafor", 2006, 2},
       75},
      {"The Quiet Engines/Signal Fires/01 Relay.mp3",
       {"Relay", "The Quiet Engines", "Signal Fires", "Rock", "", 2005, 1},
       90},
      {"The Quiet Engines/Signal Fires/02 Static Bloom.mp3",
       {"Static Bloom", "The Quiet Engines", "Signal Fires", "Rock", "", 2005, 2},
       85},
  };
  return tracks;
}

constexpr char kNotMp3File[] = "The Quiet Engines/Signal Fires/Field Recording.wav";
constexpr char kPlaylistFile[] = "Favourites.m3u";

void PutLe(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Half a second of 8-bit mono silence at 8 kHz.
std::string SilentWav() {
  const uint32_t samples = 4000;
  std::string out = "RIFF";
  PutLe(&out, 36 + samples, 4);
  out += "WAVEfmt ";
  PutLe(&out, 16, 4);
  PutLe(&out, 1, 2);     // PCM
  PutLe(&out, 1, 2);     // mono
  PutLe(&out, 8000, 4);  // samples per second
  PutLe(&out, 8000, 4);  // bytes per second
  PutLe(&out, 1, 2);     // block alignment
  PutLe(&out, 8, 2);     // bits per sample
  out += "data";
  PutLe(&out, samples, 4);
  out.append(samples, '\x80');
  return out;
}

// Writes `contents` at `path` unless a file is there already.
Status WriteOnce(Env& env, const std::string& path, const std::string& contents, bool* written) {
  *written = false;
  if (env.KindOf(path) == PathKind::kFile) return Status::Ok();
  RETURN_IF_ERROR(CreateFolders(env, ParentOf(path)));
  RETURN_IF_ERROR(WriteFileSafely(env, path, contents));
  *written = true;
  return Status::Ok();
}

// Makes the demo library's files that are missing: tagged MP3s by two artists on three albums,
// one WAV and a playlist.
Status MakeDemoLibrary(Env& env, const std::string& library) {
  auto path_of = [&](const char* relative) {
    std::string path = WithTrailingSeparator(library) + relative;
    for (char& c : path) {
      if (c == '/') c = kPathSeparator;
    }
    return path;
  };
  int made = 0;
  bool untagged = false;
  for (const DemoTrack& track : DemoTracks()) {
    const std::string path = path_of(track.file);
    bool written = false;
    RETURN_IF_ERROR(WriteOnce(env, path, SilentMp3(track.frames), &written));
    if (!written) continue;
    ++made;
    const Status tagged = WriteId3Tags(path, track.tags);
    if (tagged.IsRefused()) {
      untagged = true;
    } else if (!tagged.ok()) {
      return tagged;
    }
  }
  bool written = false;
  RETURN_IF_ERROR(WriteOnce(env, path_of(kNotMp3File), SilentWav(), &written));
  made += written ? 1 : 0;
  std::string playlist = "#EXTM3U\n";
  for (int i : {0, 4, 5}) playlist += std::string(DemoTracks()[i].file) + "\n";
  RETURN_IF_ERROR(WriteOnce(env, path_of(kPlaylistFile), playlist, &written));
  made += written ? 1 : 0;
  if (made > 0) {
    std::printf("made the demo library %s (%d files)%s\n", library.c_str(), made,
                untagged ? ", without tags: this build has no TagLib" : "");
  }
  return Status::Ok();
}

// The demo's folder holds its iPod and its library and nothing the demo did not make itself,
// least of all a real iPod's database. Refused: nothing changes.
Status CheckDemoFolder(Env& env, const std::string& folder) {
  const PathKind kind = env.KindOf(folder);
  if (kind == PathKind::kNone) return Status::Ok();
  if (kind != PathKind::kFolder) return Status::Refused(folder + " is not a folder");
  const std::string marker = JoinPath(folder, {kMarkerFile});
  if (env.KindOf(JoinPath(folder, {"iPod_Control"})) != PathKind::kNone) {
    return Status::Refused(folder + " holds an iPod's folders; the demo never writes there");
  }
  if (env.KindOf(marker) == PathKind::kFile) return Status::Ok();
  for (const char* made : {"ipod", "library"}) {
    if (env.KindOf(JoinPath(folder, {made})) != PathKind::kNone) {
      return Status::Refused(JoinPath(folder, {made}) + " was not made by the demo");
    }
  }
  return Status::Ok();
}

}  // namespace

int RunDemo(Env& env, const std::vector<std::string>& args) {
  Arguments parsed;
  if (auto exit = ParseCommandLine(args, {.command = "demo", .positionals = true}, &parsed)) {
    return *exit;
  }
  if (parsed.positionals.size() > 1) {
    PrintError("demo takes at most one folder");
    return kExitUsage;
  }
  // An empty name would put the demo's files into the current folder.
  if (!parsed.positionals.empty() && parsed.positionals[0].empty()) {
    PrintError("demo needs a folder name, not an empty one");
    return kExitUsage;
  }
  const std::string folder =
      WithoutTrailingSeparator(parsed.positionals.empty() ? kDefaultFolder : parsed.positionals[0]);
  const std::string ipod = JoinPath(folder, {"ipod"});
  const std::string library = JoinPath(folder, {"library"});
  Status s = CheckDemoFolder(env, folder);
  if (!s.ok()) {
    PrintError(s.message() + "; nothing was changed");
    return kExitUnusable;
  }
  bool new_marker = false;
  s = WriteOnce(env, JoinPath(folder, {kMarkerFile}), kMarkerText, &new_marker);
  if (!s.ok()) {
    PrintError("cannot make the demo folder: " + s.ToString());
    return kExitUnusable;
  }

  IPodDatabase probe(env, ipod);
  if (env.KindOf(probe.dbPath()) == PathKind::kNone) {
    const int made = RunInit(env, {"--ipod", ipod});
    if (made != kExitDone) return made;
  }
  s = MakeDemoLibrary(env, library);
  if (!s.ok()) {
    PrintError("cannot make the demo library: " + s.ToString());
    return kExitUnusable;
  }
  std::printf("syncing %s to %s\n", library.c_str(), ipod.c_str());
  std::fflush(stdout);
  const int synced = SyncToIPod(env, ipod, "", {library});
  if (synced != kExitDone && synced != kExitIncomplete) return synced;

  IPodDatabase ipod_db(env, ipod);
  OwnedTracks tracks;
  const Status read = ipod_db.ReadTrackList(&tracks);
  if (!read.ok()) {
    PrintError("cannot read the demo iPod's database: " + read.ToString());
    return kExitUnusable;
  }
  std::printf("\n%s now holds:\n", ipod.c_str());
  PrintContentsTree(tracks);
  std::printf("\nTry: tunewell list --ipod %s --json\n", ipod.c_str());
  return synced;
}

}  // namespace tunewell::cli
