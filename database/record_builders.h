#pragma once

// The records this program writes into iTunesDB, byte for byte (layouts in itunesdb_records.h).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/itunesdb_records.h"
#include "database/track_order.h"
#include "track/track_info.h"

namespace tunewell {

// The 244-byte "mhit" header of a new track; `track.trackId` must be set. Its total length and
// string count cover the string records that AppendTrackRecord writes after it.
std::string BuildTrackHeader(const TrackInfo& track, uint64_t database_id);

// A "mhod" string record of `type` holding `text` as UTF-16LE; empty when the text is empty.
std::string BuildStringRecord(std::u16string_view text, uint32_t type);

// How a new track's record is shaped to match the file's own: its header length, cut or
// zero-padded from 244, and the album it names where the header has room.
struct TrackRecordShape {
  uint32_t header_length = mhit::kHeaderLength;
  uint32_t album_id = 0;
};

// The header and the string records of a new track, in the order title, artist, composer,
// album, genre, kind, path (empty texts get no record).
void AppendTrackRecord(const TrackInfo& track, uint64_t database_id, std::string* out,
                       const TrackRecordShape& shape = {});

// Total length of a new track's record: the header + 40 per non-empty text + 2 per code unit.
uint32_t TrackRecordLength(const TrackInfo& track, uint32_t header_length = mhit::kHeaderLength);

// An "mhia" album record of `header_length` with its album and (when not empty) artist strings.
std::string BuildAlbumRecord(uint32_t header_length, uint32_t album_id, uint64_t persistent_id,
                             std::u16string_view album, std::u16string_view artist);

// A type-52 "mhod" sort index of `type` listing `entries` (0-based places in the track dataset).
std::string BuildSortIndexRecord(SortType type, const std::vector<uint32_t>& entries);

// A 120-byte "mhip" playlist item with its type-100 position record.
std::string BuildPlaylistItem(uint32_t track_id, uint32_t position);

// An item of `header_length` bytes (zero but for its record count and track id) followed, when
// `position` is set, by a position record.
std::string BuildItemLike(uint32_t header_length, uint32_t track_id,
                          std::optional<uint32_t> position);

// A type-53 jump table of `type`: `first_letters` holds each entry's letter, index place and
// run length, in index order; `header` is the existing record's first kJumpEntries bytes.
struct JumpEntry {
  char16_t letter;
  uint32_t first, run;
};
std::string BuildJumpTable(std::string_view header, const std::vector<JumpEntry>& entries);

// A type-52 index like BuildSortIndexRecord's, keeping the existing record's first kEntries
// bytes `header` (its sort type among them).
std::string BuildSortIndexLike(std::string_view header, const std::vector<uint32_t>& entries);

}  // namespace tunewell
