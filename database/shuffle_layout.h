#pragma once

// iTunesSD: big-endian, 24-bit fields. An 18-byte header whose first field counts the entries,
// then 558-byte entries, each starting with its own length.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace tunewell {

inline constexpr size_t kShuffleHeaderLength = 18;
inline constexpr size_t kShuffleEntryLength = 558;
inline constexpr size_t kShuffleNameOffset = 33;
inline constexpr size_t kShuffleNameUnits = 261;
inline constexpr uint32_t kShuffleMaxEntries = 0xFFFFFF;

// Ok when `image` is a header and exactly as many 558-byte entries as it counts.
Status CheckShuffleImage(std::string_view image);

// The entry for a file at iPod location `location` (":iPod_Control:..."), stored with '/' for
// ':'. InvalidArgument when the name does not fit the 261-unit field.
Status BuildShuffleEntry(std::u16string_view location, std::string* entry);

// The name of the entry at `entry` read back, with ':' for '/'.
std::u16string ShuffleEntryName(std::string_view entry);

}  // namespace tunewell
