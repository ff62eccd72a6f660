#pragma once

#include <string>

namespace tunewell::cli {

// `frames` silent MPEG-1 Layer III frames: 128 kbit/s, 44.1 kHz, mono, 417 bytes each. Side
// information and main data all zero decode as silence: a valid MP3 stream for the demo
// library, tag readers and copies (the tests use it too).
inline std::string SilentMp3(int frames) {
  std::string frame(417, '\0');
  frame[0] = '\xFF';
  frame[1] = '\xFB';  // MPEG-1, Layer III, no CRC
  frame[2] = '\x90';  // 128 kbit/s, 44.1 kHz, no padding
  frame[3] = '\xC4';  // mono, original
  std::string out;
  out.reserve(frame.size() * static_cast<size_t>(frames > 0 ? frames : 0));
  for (int i = 0; i < frames; ++i) out += frame;
  return out;
}

}  // namespace tunewell::cli
