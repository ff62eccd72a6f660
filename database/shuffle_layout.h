#pragma once

// iTunesSD: big-endian, 24-bit fields (see coding.h), each field named once here with its
// offset. An 18-byte header whose first field counts the entries, then 558-byte entries, each
// starting with its own length. The entry's name alone is UTF-16LE.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace tunewell {

namespace sd {
// The header.
inline constexpr size_t kEntryCount = 0;
inline constexpr size_t kHeaderUnknown = 3;      // 0x010800
inline constexpr size_t kHeaderLengthField = 6;  // 18
inline constexpr size_t kHeaderLength = 18;
inline constexpr uint32_t kHeaderUnknownValue = 0x010800;

// An entry.
inline constexpr size_t kEntryLengthField = 0;  // 558
inline constexpr size_t kEntryUnknown = 3;      // 0x5AA501
inline constexpr size_t kStartTime = 24;        // 100
inline constexpr size_t kEntryUnknownOne = 27;  // 1
inline constexpr size_t kEntryUnknown512 = 30;  // 512
inline constexpr size_t kName = 33;             // kNameUnits UTF-16LE units, '/' for ':'
inline constexpr size_t kShuffleFlag = 555;     // 8-bit, 1
inline constexpr size_t kEntryLength = 558;
inline constexpr size_t kNameUnits = 261;
inline constexpr uint32_t kMaxEntries = 0xFFFFFF;
}  // namespace sd

// Ok when `image` is a header and exactly as many 558-byte entries as it counts.
Status CheckShuffleImage(std::string_view image);

// The entry count of a checked image.
uint32_t ShuffleEntryCount(std::string_view image);

// Sets the entry count of `image`. REQUIRES: it holds a header.
void SetShuffleEntryCount(std::string* image, uint32_t count);

// The entry for a file at iPod location `location` (":iPod_Control:..."), stored with '/' for
// ':'. InvalidArgument when the name does not fit the 261-unit field.
Status BuildShuffleEntry(std::u16string_view location, std::string* entry);

// The name of the entry at `entry` read back, with ':' for '/'.
std::u16string ShuffleEntryName(std::string_view entry);

}  // namespace tunewell
