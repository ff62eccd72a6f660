#pragma once

// Runs gpod_tool (libgpod) from tests: an independent reader and writer of iTunesDB. There is
// no libgpod in Windows builds; GpodToolPath() is then empty and tests skip.

#include <cstdint>
#include <string>
#include <vector>

namespace tunewell::fixture {

// The gpod_tool program, or "" where it is not built.
std::string GpodToolPath();

// What `gpod_tool dump` printed. Texts are UTF-8.
struct GpodTrack {
  uint32_t id = 0;
  std::string title, artist, album;
  int32_t track_number = 0;
  std::string path, genre, composer;
};
struct GpodPlaylist {
  std::string name;
  int count = 0;
  bool master = false;
};
struct GpodDump {
  std::vector<GpodTrack> tracks;  // in file order
  std::vector<GpodPlaylist> playlists;
  int master_count = -1;  // tracks in the master playlist
};

// Parses the iTunesDB below `root` with libgpod. False, with the reason in `error`, when libgpod
// cannot parse it or the tool cannot run.
bool GpodDumpOf(const std::string& root, GpodDump* dump, std::string* error);

// Makes an iPod folder tree below `root` with a libgpod-written iTunesDB of `tracks` tracks
// (their texts are listed in gpod_tool.c).
bool GpodMake(const std::string& root, int tracks, std::string* error);

// Runs `command` in the shell; returns its exit status (-1 when it could not run or did not
// exit) and what it wrote to stdout. POSIX only; -1 elsewhere.
int RunCommand(const std::string& command, std::string* output);

// `text` quoted for the shell.
std::string ShellQuote(const std::string& text);

}  // namespace tunewell::fixture
