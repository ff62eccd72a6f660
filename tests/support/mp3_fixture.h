#pragma once

#include <string>

namespace tunewell::fixture {

// `frames` silent MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz, mono): a valid MP3 stream for
// tag readers and copies.
inline std::string SilentMp3(int frames) {
  std::string frame(417, '\0');
  frame[0] = '\xFF';
  frame[1] = '\xFB';
  frame[2] = '\x90';
  frame[3] = '\xC4';
  std::string out;
  for (int i = 0; i < frames; ++i) out += frame;
  return out;
}

}  // namespace tunewell::fixture
