#pragma once

// iPod folder trees for tests, in any Env.

#include <map>
#include <optional>
#include <string>

#include "platform/env.h"
#include "platform/status.h"
#include "tests/support/temp_folder.h"

namespace tunewell::fixture {

struct IPodTree {
  int music_folders = 20;                  // F00 .. F(n-1) under iPod_Control/Music
  std::optional<std::string> itunes_db{};  // iPod_Control/iTunes/iTunesDB, when given
  std::optional<std::string> itunes_sd{};  // iPod_Control/iTunes/iTunesSD, when given
  // Further files by iPod location (":iPod_Control:Music:F00:ABCD.mp3") and contents; their
  // folders must be among those above.
  std::map<std::string, std::string> files{};
};

// Writes `tree` below `root` through `env`: the root folder itself when it is missing (its
// parent must exist), iPod_Control, its iTunes and Music folders, the music folders and the
// files.
Status WriteIPodTree(Env& env, const std::string& root, const IPodTree& tree);

// The full path of an iPod location below `root`.
std::string PathOfLocation(const std::string& root, const std::string& location);

// Writes `contents` to `path` through `env`, replacing the file.
Status WriteWholeFile(Env& env, const std::string& path, const std::string& contents);

}  // namespace tunewell::fixture
