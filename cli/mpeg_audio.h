#pragma once

#include <cstddef>
#include <string_view>

namespace tunewell::cli {

// Whether `bytes` (a whole file, or its start) hold MPEG audio: after any ID3v2 tags, within the
// first 64 KiB, an MPEG frame header whose frame is followed by a second header of the same
// stream, or by the end of `bytes`. Text, random bytes and tags alone do not.
bool HoldsMpegAudio(std::string_view bytes);

// How much of a file, from its start, HoldsMpegAudio needs to see, judged from `start`, the
// part read so far: when `start` ends inside the tags, read that much and ask again.
size_t MpegAudioCheckLength(std::string_view start);

}  // namespace tunewell::cli
