#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "storage/random_source.h"

namespace tunewell {

// <root>iPod_Control<sep>Music, the folder that holds the music folders.
std::string MusicDirectory(std::string_view root);

// The numbers of the music folders under <root>/iPod_Control/Music, ascending: real folders,
// not links, named "F" and the number in at least two digits (F00, F07, F119). Gaps left by
// deleted folders stay gaps. None when the folder cannot be listed.
std::vector<int32_t> MusicFolderNumbers(Env& env, const std::string& root);

// Draws once and appends the number of one of `folders` (the one at the draw modulo their
// count, in at least two digits) to `path`, which ends in "...Music<sep>F". InvalidArgument,
// drawing nothing, when there are none.
Status GenerateDirName(const std::vector<int32_t>& folders, RandomSource& random,
                       std::string* path);

// How many taken names GenerateFileName passes over before it gives up.
inline constexpr int kMaxNameAttempts = 4096;

// Appends `letters` uppercase letters (one draw each, first to last) and ".mp3" to `path`, a
// folder path ending in a separator, drawing a whole new name while the result names anything
// that exists. NoSpace, with `path` unchanged, after kMaxNameAttempts taken names.
Status GenerateFileName(Env& env, int letters, RandomSource& random, std::string* path);

}  // namespace tunewell
