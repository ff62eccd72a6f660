#include "cli/mpeg_audio.h"

#include <gtest/gtest.h>

#include <random>

#include "cli/silent_mp3.h"

namespace tunewell::cli {
namespace {

// An ID3v2.4 tag of `size` bytes after its header.
std::string Id3Tag(uint32_t size) {
  std::string tag("ID3\x04\x00\x00", 6);
  for (int shift : {21, 14, 7, 0}) tag += static_cast<char>((size >> shift) & 0x7F);
  return tag + std::string(size, '\0');
}

TEST(HoldsMpegAudioTest, FramesAfterTagsAndNothingElse) {
  std::string noise(32 * 1024, '\0');
  std::mt19937 bits(11);
  for (char& c : noise) c = static_cast<char>(bits());
  const std::pair<std::string, bool> cases[] = {
      {SilentMp3(1), true},
      {Id3Tag(300) + Id3Tag(5) + SilentMp3(2), true},
      {"text, not music", false},
      {noise, false},
      {Id3Tag(2000), false},
      {Id3Tag(5000).substr(0, 400) + SilentMp3(2), false},  // a tag longer than the file
      {SilentMp3(1) + std::string(500, 'x'), false},        // no second frame
      {std::string(70 * 1024, 'x') + SilentMp3(3), false},  // beyond the search
      {Id3Tag(300000) + Id3Tag(9) + std::string(64 * 1024 - 10, 'x') + SilentMp3(2), true},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(HoldsMpegAudio(bytes), expected);
    // The start that the check length asks for, asked again as it grows, decides the same.
    std::string_view start = std::string_view(bytes).substr(0, 12);
    while (start.size() < bytes.size() && MpegAudioCheckLength(start) > start.size()) {
      start = std::string_view(bytes).substr(0, MpegAudioCheckLength(start));
    }
    EXPECT_EQ(HoldsMpegAudio(start), expected) << start.size() << " of " << bytes.size();
  }
}

}  // namespace
}  // namespace tunewell::cli
