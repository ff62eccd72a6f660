#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "storage/random_source.h"

namespace tunewell {

// <root>iPod_Control<sep>Music, the folder that holds the music folders.
std::string MusicDirectory(std::string_view root);

// The number of music folders under <root>/iPod_Control/Music: folders named "F" followed by
// digits only (F00, F01, ...). 0 when the folder cannot be listed.
int32_t CountMusicFolders(Env& env, const std::string& root);

// Draws once and appends the folder number (the draw modulo `folder_count`, at least two digits:
// F07, F119) to `path`, which ends in "...Music<sep>F". InvalidArgument, drawing nothing, when
// `folder_count` is below 1.
Status GenerateDirName(int32_t folder_count, RandomSource& random, std::string* path);

// How many taken names GenerateFileName passes over before it gives up.
inline constexpr int kMaxNameAttempts = 4096;

// Appends `letters` uppercase letters (one draw each, first to last) and ".mp3" to `path`, a
// folder path ending in a separator, drawing a whole new name while the result names anything
// that exists. NoSpace, with `path` unchanged, after kMaxNameAttempts taken names.
Status GenerateFileName(Env& env, int letters, RandomSource& random, std::string* path);

}  // namespace tunewell
