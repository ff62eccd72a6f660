#include "cli/mpeg_audio.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cli/silent_mp3.h"

namespace tunewell::cli {
namespace {

// An ID3v2.4 header claiming `size` bytes of frames, with those bytes.
std::string Id3Tag(uint32_t size) {
  std::string tag("ID3\x04\x00\x00", 6);
  for (int shift : {21, 14, 7, 0}) tag += static_cast<char>((size >> shift) & 0x7F);
  return tag + std::string(size, '\0');
}

TEST(HoldsMpegAudioTest, FramesAfterTagsAndNothingElse) {
  std::string noise(32 * 1024, '\0');
  std::mt19937 bits(11);
  for (char& c : noise) c = static_cast<char>(bits());
  const std::string frame = SilentMp3(1);
  const struct {
    const char* name;
    std::string bytes;
    bool expected;
  } cases[] = {
      {"frames", SilentMp3(3), true},
      {"one frame to the end", frame, true},
      {"two tags, then frames", Id3Tag(300) + Id3Tag(5) + SilentMp3(2), true},
      {"a prefix cut inside the second frame", SilentMp3(2).substr(0, 600), true},
      {"empty", "", false},
      {"text", "hello, this is not music\n", false},
      {"noise", noise, false},
      {"a tag alone", Id3Tag(2000), false},
      {"a tag longer than the file", Id3Tag(5000).substr(0, 400) + SilentMp3(2), false},
      {"a header cut short", frame.substr(0, 3), false},
      {"a frame followed by no frame", frame + std::string(500, 'x'), false},
      {"frames beyond the search", std::string(70 * 1024, 'x') + SilentMp3(3), false},
  };
  for (const auto& c : cases) EXPECT_EQ(HoldsMpegAudio(c.bytes), c.expected) << c.name;
}

}  // namespace
}  // namespace tunewell::cli
