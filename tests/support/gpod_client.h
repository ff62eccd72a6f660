#pragma once

// gpod_tool (libgpod) run from tests, as an independent reader and writer of iTunesDB. Windows
// builds have no libgpod: GpodToolPath() is then "" and the tests skip.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tunewell::fixture {

std::string GpodToolPath();

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

// Reads the iTunesDB below `root` with libgpod. False, with the reason, when it cannot.
bool GpodDumpOf(const std::string& root, GpodDump* dump, std::string* error);
// An iPod folder tree below `root` with a libgpod-written iTunesDB of an iPod that desktop
// software has used: playlists, podcasts, play counts (see gpod_tool.c).
bool GpodMake(const std::string& root, int tracks, std::string* error);

// Runs `command` in the shell: its exit status (-1 when it could not run; always on Windows)
// and its stdout.
int RunCommand(const std::string& command, std::string* output);
std::string ShellQuote(const std::string& text);

}  // namespace tunewell::fixture
