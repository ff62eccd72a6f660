#pragma once

// The records this program writes into iTunesDB, byte for byte (layouts in itunesdb_records.h).

#include <cstdint>
#include <string>
#include <string_view>

#include "database/track_order.h"
#include "track/track_info.h"

namespace tunewell {

// The 244-byte "mhit" header of a new track; `track.trackId` must be set. Its total length and
// string count cover the string records that AppendTrackRecord writes after it.
std::string BuildTrackHeader(const TrackInfo& track, uint64_t database_id);

// A "mhod" string record of `type` holding `text` as UTF-16LE; empty when the text is empty.
std::string BuildStringRecord(std::u16string_view text, uint32_t type);

// The header and the string records of a new track, in the order title, artist, composer,
// album, genre, kind, path (empty texts get no record).
void AppendTrackRecord(const TrackInfo& track, uint64_t database_id, std::string* out);

// Total length of a new track's record: 244 + 40 per non-empty text + 2 per code unit.
uint32_t TrackRecordLength(const TrackInfo& track);

// A type-52 "mhod" sort index of `type` listing `entries` (0-based places in the track dataset).
std::string BuildSortIndexRecord(SortType type, const std::vector<uint32_t>& entries);

// A 120-byte "mhip" playlist item with its type-100 position record.
std::string BuildPlaylistItem(uint32_t track_id, uint32_t position);

}  // namespace tunewell
