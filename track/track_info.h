#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tunewell {

// One track, wherever it is: gathered from a library for a sync, or read from the iPod.
struct TrackInfo {
  // Before a copy the local file; after it the iPod location (":iPod_Control:Music:F07:QKZA.mp3").
  std::u16string path;
  std::u16string title;
  std::u16string genre;
  std::u16string artist;
  std::u16string album;
  std::u16string composer;
  std::u16string kind;

  bool isVbr = false;
  double duration = 0.0;  // seconds
  int32_t year = 0;
  int32_t trackNumber = 0;
  int32_t fileSize = 0;  // bytes
  int32_t bitrate = 0;   // bits per second
  int32_t rating = 0;    // stars, 0 to 5
  bool hasLyrics = false;
  // -1 until known: the index in the source playlist when gathered, the 1-based place in the
  // iPod's track list once read or written.
  int32_t position = -1;
  uint32_t trackId = 0;

  // How many of the seven texts are non-empty.
  int TextFieldCount() const;
  // unit_size times the number of code units of all seven texts together.
  uint32_t TotalTextLength(uint32_t unit_size) const;
};

// The literal kind of every track a sync gathers.
inline constexpr std::u16string_view kMpegAudioFileKind = u"MPEG audio file";

// Owns the tracks it holds.
using OwnedTracks = std::vector<std::unique_ptr<TrackInfo>>;
// Refers to tracks owned elsewhere, in a meaningful order.
using TrackArray = std::vector<TrackInfo*>;

// Removes the entry at `place`, moving the later ones down. Out of range does nothing.
void RemoveEntry(TrackArray& array, size_t place);

// The text read as optional white space, an optional sign and decimal digits; 0 without digits,
// clamped to the 32-bit range.
int32_t LeadingDecimalInteger(std::u16string_view text);

// Stars from a 0-99 rating text: <=0 -> 0, 1-12 -> 1, 13-37 -> 2, 38-62 -> 3, 63-86 -> 4,
// 87-100 -> 5, above 100 -> 0.
int32_t StarsFromRating(std::u16string_view text);

}  // namespace tunewell
