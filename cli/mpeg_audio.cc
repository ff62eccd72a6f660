#include "cli/mpeg_audio.h"

#include <cstddef>
#include <cstdint>

namespace tunewell::cli {

namespace {

// Junk or padding a real file may carry between its tags and its first frame.
constexpr size_t kSearchWindow = 64 * 1024;
constexpr size_t kHeaderSize = 4;
// MPEG-2.5 layer II at 160 kbit/s and 8 kHz, padded: the longest frame a header describes.
constexpr size_t kLongestFrame = 2881;

uint8_t ByteAt(std::string_view bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }

// What two frames of one stream share, and how long this frame is.
struct FrameHeader {
  int version = 0;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  int layer = 0;    // 3: Layer I, 2: Layer II, 1: Layer III
  int rate_index = 0;
  size_t length = 0;
};

// Kilobits per second by bitrate index 1-14, for MPEG-1 layers I, II, III and MPEG-2/2.5
// layer I, layers II and III.
constexpr int kBitrates[5][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
constexpr int kSampleRates[3] = {44100, 48000, 32000};  // MPEG-1; halved for 2, quartered for 2.5

// The header at `at`; false for anything that is not one (free-format frames included, whose
// length the header does not give).
bool ReadHeader(std::string_view bytes, size_t at, FrameHeader* header) {
  if (at > bytes.size() || bytes.size() - at < kHeaderSize) return false;
  const uint8_t b1 = ByteAt(bytes, at + 1), b2 = ByteAt(bytes, at + 2);
  if (ByteAt(bytes, at) != 0xFF || (b1 & 0xE0) != 0xE0) return false;
  header->version = (b1 >> 3) & 3;
  header->layer = (b1 >> 1) & 3;
  const int bitrate_index = b2 >> 4;
  header->rate_index = (b2 >> 2) & 3;
  if (header->version == 1 || header->layer == 0 || bitrate_index == 0 || bitrate_index == 15 ||
      header->rate_index == 3) {
    return false;
  }
  const bool mpeg1 = header->version == 3;
  const int table = mpeg1 ? 3 - header->layer : header->layer == 3 ? 3 : 4;
  const int64_t bitrate = int64_t{kBitrates[table][bitrate_index - 1]} * 1000;
  const int halvings = mpeg1 ? 0 : header->version == 2 ? 1 : 2;
  const int64_t rate = kSampleRates[header->rate_index] >> halvings;
  const int64_t padding = (b2 >> 1) & 1;
  int64_t length = 0;
  if (header->layer == 3) {
    length = (12 * bitrate / rate + padding) * 4;
  } else {
    length = (header->layer == 1 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
  }
  header->length = static_cast<size_t>(length);
  return true;
}

// Where the audio starts: past every ID3v2 tag at the front. Beyond `bytes` when a tag claims
// more than there is, at that tag's claimed end.
size_t PastTags(std::string_view bytes) {
  size_t at = 0;
  while (bytes.size() - at >= 10 && bytes.substr(at, 3) == "ID3") {
    uint32_t size = 0;
    for (size_t i = 6; i < 10; ++i) {
      const uint8_t b = ByteAt(bytes, at + i);
      if (b >= 0x80) return at;  // not a tag: its size bytes hold seven bits each
      size = (size << 7) | b;
    }
    const bool footer = (ByteAt(bytes, at + 5) & 0x10) != 0;
    const size_t tag = size_t{10} + size + (footer ? 10 : 0);
    at += tag;
    if (at > bytes.size()) return at;
  }
  return at;
}

}  // namespace

size_t MpegAudioCheckLength(std::string_view start) {
  return PastTags(start) + kSearchWindow + kLongestFrame + kHeaderSize;
}

bool HoldsMpegAudio(std::string_view bytes) {
  const size_t start = PastTags(bytes);
  if (start > bytes.size()) return false;
  const size_t end = bytes.size() - start > kSearchWindow ? start + kSearchWindow : bytes.size();
  for (size_t at = start; at < end; ++at) {
    FrameHeader first, second;
    if (!ReadHeader(bytes, at, &first)) continue;
    const size_t next = at + first.length;
    if (next == bytes.size()) return true;
    if (ReadHeader(bytes, next, &second) && second.version == first.version &&
        second.layer == first.layer && second.rate_index == first.rate_index) {
      return true;
    }
  }
  return false;
}

}  // namespace tunewell::cli
