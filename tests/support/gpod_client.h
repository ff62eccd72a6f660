#pragma once

// gpod_tool (libgpod) run from tests, as an independent reader and writer of iTunesDB. Windows
// builds have no libgpod: GpodToolPath() is then "" and the tests skip.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace tunewell::fixture {

struct GpodTrack {  // texts in UTF-8
  uint32_t id = 0;
  std::string title, artist, album;
  int32_t track_number = 0;
  std::string path, genre, composer;
  // Header fields: bytes, milliseconds, kbit/s, year, stars * 20, flags, the 64-bit id.
  uint32_t size = 0;
  int32_t length_ms = 0, bitrate = 0, year = 0;
  uint32_t rating = 0, vbr = 0, lyrics = 0;
  uint64_t database_id = 0;
  uint32_t plays = 0, media_type = 0;
  bool operator==(const GpodTrack&) const = default;
  friend void PrintTo(const GpodTrack& t, std::ostream* os) {
    *os << t.id << " " << t.title << "/" << t.artist << "/" << t.album << "/" << t.genre << "/"
        << t.composer << "/" << t.path << " #" << t.track_number << " size " << t.size << " ms "
        << t.length_ms << " kbit/s " << t.bitrate << " year " << t.year << " rating " << t.rating
        << " vbr " << t.vbr << " lyrics " << t.lyrics << " dbid " << t.database_id << " plays "
        << t.plays << " media " << t.media_type;
  }
};
struct GpodPlaylist {             // one after the master playlist
  std::string name, kind, rules;  // kind "podcast", "smart" or "plain"; rules "field:action:text;"
  std::vector<uint32_t> members;  // track ids in order
  bool operator==(const GpodPlaylist&) const = default;
};
struct GpodDump {
  std::vector<GpodTrack> tracks;  // in file order
  int master_count = -1;          // tracks in the master playlist
  std::vector<GpodPlaylist> playlists;
};

inline std::string GpodToolPath() { return TUNEWELL_GPOD_TOOL; }

inline std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs `command` in the shell: its exit status (-1 when it could not run; always on Windows)
// and its stdout.
inline int RunCommand(const std::string& command, std::string* output) {
  output->clear();
#ifdef _WIN32
  (void)command;
  return -1;
#else
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output->append(buffer, n);
  const int status = ::pclose(pipe);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

inline bool RunGpodTool(const std::string& args, std::string* output, std::string* error) {
  const int status = GpodToolPath().empty()
                         ? -1
                         : RunCommand(ShellQuote(GpodToolPath()) + " " + args + " 2>&1", output);
  if (status != 0)
    *error = "gpod_tool " + args + " exited with " + std::to_string(status) + ": " + *output;
  return status == 0;
}

// An iPod folder tree below `root` with a libgpod-written iTunesDB of an iPod that desktop
// software has used: playlists, podcasts, play counts (see gpod_tool.c).
// With a `guid`, of an iPod classic with that FireWire GUID, signed by libgpod.
inline bool GpodMake(const std::string& root, int tracks, std::string* error,
                     const std::string& guid = "") {
  std::string output;
  return RunGpodTool("make " + ShellQuote(root) + " " + std::to_string(tracks) + " " + guid,
                     &output, error);
}

// libgpod's own routine signs the iTunesDB below `root` again, in place.
inline bool GpodSign(const std::string& root, std::string* error) {
  std::string output;
  return RunGpodTool("sign " + ShellQuote(root), &output, error);
}

// Reads the iTunesDB below `root` with libgpod. False, with the reason, when it cannot.
inline bool GpodDumpOf(const std::string& root, GpodDump* dump, std::string* error) {
  *dump = GpodDump();
  std::string output;
  if (!RunGpodTool("dump " + ShellQuote(root), &output, error)) return false;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> f(1);
    for (char c : line) c == '\t' ? f.emplace_back() : f.back().append(1, c);
    if (f[0] == "track" && f.size() == 19) {
      dump->tracks.push_back(
          {uint32_t(std::stoul(f[1])), f[2], f[3], f[4], std::stoi(f[5]), f[6], f[7], f[8],
           uint32_t(std::stoul(f[9])), std::stoi(f[10]), std::stoi(f[11]), std::stoi(f[12]),
           uint32_t(std::stoul(f[13])), uint32_t(std::stoul(f[14])), uint32_t(std::stoul(f[15])),
           std::stoull(f[16]), uint32_t(std::stoul(f[17])), uint32_t(std::stoul(f[18]))});
    } else if (f[0] == "mpl" && f.size() == 2) {
      dump->master_count = std::stoi(f[1]);
    } else if (f[0] == "playlist" && f.size() == 5) {
      GpodPlaylist& pl = dump->playlists.emplace_back(GpodPlaylist{f[1], f[2], f[3], {}});
      std::istringstream ids(f[4]);
      for (std::string id; std::getline(ids, id, ',');) pl.members.push_back(std::stoul(id));
    } else {
      *error = "unexpected line from gpod_tool: " + line;
      return false;
    }
  }
  return true;
}

}  // namespace tunewell::fixture
