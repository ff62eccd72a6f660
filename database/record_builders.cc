#include "database/record_builders.h"

#include <array>
#include <utility>

#include "database/byte_order.h"
#include "database/database_layout.h"
#include "database/track_reader.h"

namespace tunewell {

namespace {

// Track header offsets.
constexpr size_t kTotalLength = 8;
constexpr size_t kStringCount = 12;
constexpr size_t kTrackId = 16;
constexpr size_t kFileType = 24;  // "MP3 " stored backwards
constexpr size_t kVbrFlag = 28;
constexpr size_t kCompilationFlag = 29;
constexpr size_t kRating = 31;
constexpr size_t kFileSize = 36;
constexpr size_t kLengthMs = 40;
constexpr size_t kTrackNumber = 44;
constexpr size_t kYear = 52;
constexpr size_t kBitrate = 56;
constexpr size_t kDatabaseId = 112;
constexpr size_t kUnknownFFFF = 126;
constexpr size_t kUnknown12 = 144;
constexpr size_t kDatabaseIdAgain = 168;
constexpr size_t kLyricsFlag = 176;
constexpr size_t kUnknownOne = 208;

// The texts of a new track in the order their string records follow the header.
std::array<std::pair<const std::u16string*, uint32_t>, 7> StringOrder(const TrackInfo& t) {
  return {{{&t.title, kTitleString},
           {&t.artist, kArtistString},
           {&t.composer, kComposerString},
           {&t.album, kAlbumString},
           {&t.genre, kGenreString},
           {&t.kind, kKindString},
           {&t.path, kPathString}}};
}

}  // namespace

uint32_t TrackRecordLength(const TrackInfo& track) {
  return kTrackHeaderLength + kStringTextOffset * static_cast<uint32_t>(track.TextFieldCount()) +
         track.TotalTextLength(2);
}

std::string BuildTrackHeader(const TrackInfo& track, uint64_t database_id) {
  std::string h(kTrackHeaderLength, '\0');
  h.replace(0, 4, "mhit");
  SetU32(&h, 4, kTrackHeaderLength);
  SetU32(&h, kTotalLength, TrackRecordLength(track));
  SetU32(&h, kStringCount, static_cast<uint32_t>(track.TextFieldCount()));
  SetU32(&h, kTrackId, track.trackId);
  SetU32(&h, 20, 1);
  h.replace(kFileType, 4, "\x20\x33\x50\x4D", 4);
  h[kVbrFlag] = track.isVbr ? 1 : 0;
  h[kCompilationFlag] = 1;
  h[kRating] = static_cast<char>(track.rating * 20);
  SetU32(&h, kFileSize, static_cast<uint32_t>(track.fileSize));
  // Truncated toward zero; out-of-range values wrap as the 32-bit field they are stored in.
  SetU32(&h, kLengthMs, static_cast<uint32_t>(static_cast<int64_t>(track.duration * 1000.0)));
  SetU32(&h, kTrackNumber, static_cast<uint32_t>(track.trackNumber));
  SetU32(&h, kYear, static_cast<uint32_t>(track.year));
  SetU32(&h, kBitrate, static_cast<uint32_t>(track.bitrate / 1000));
  WriteUInt64LE(h.data() + kDatabaseId, database_id);
  WriteUInt(h.data() + kUnknownFFFF, 0xFFFF, 2, true);
  WriteUInt(h.data() + kUnknown12, 12, 2, true);
  WriteUInt64LE(h.data() + kDatabaseIdAgain, database_id);
  h[kLyricsFlag] = track.hasLyrics ? 1 : 0;
  SetU32(&h, kUnknownOne, 1);
  return h;
}

std::string BuildStringRecord(std::u16string_view text, uint32_t type) {
  if (text.empty()) return std::string();
  const uint32_t bytes = static_cast<uint32_t>(text.size() * 2);
  std::string r(kStringTextOffset + bytes, '\0');
  r.replace(0, 4, "mhod");
  SetU32(&r, 4, kStringHeaderLength);
  SetU32(&r, 8, kStringTextOffset + bytes);
  SetU32(&r, 12, type);
  SetU32(&r, 24, 1);
  SetU32(&r, 28, bytes);
  SetU32(&r, 32, 1);
  for (size_t i = 0; i < text.size(); ++i) {
    WriteUInt(r.data() + kStringTextOffset + 2 * i, text[i], 2, true);
  }
  return r;
}

void AppendTrackRecord(const TrackInfo& track, uint64_t database_id, std::string* out) {
  *out += BuildTrackHeader(track, database_id);
  for (const auto& [text, type] : StringOrder(track)) *out += BuildStringRecord(*text, type);
}

std::string BuildSortIndexRecord(SortType type, const std::vector<uint32_t>& entries) {
  const uint32_t n = static_cast<uint32_t>(entries.size());
  std::string r(kSortIndexHeaderLength + 4 * size_t{n}, '\0');
  r.replace(0, 4, "mhod");
  SetU32(&r, 4, kStringHeaderLength);
  SetU32(&r, 8, kSortIndexHeaderLength + 4 * n);
  SetU32(&r, 12, kSortIndexType);
  SetU32(&r, 24, static_cast<uint32_t>(type));
  SetU32(&r, 28, n);
  for (uint32_t i = 0; i < n; ++i) SetU32(&r, kSortIndexHeaderLength + 4 * size_t{i}, entries[i]);
  return r;
}

std::string BuildPlaylistItem(uint32_t track_id, uint32_t position) {
  std::string r(kItemLength, '\0');
  r.replace(0, 4, "mhip");
  SetU32(&r, 4, kItemHeaderLength);
  SetU32(&r, 8, kItemLength);
  SetU32(&r, 12, 1);
  SetU32(&r, 20, 526);
  SetU32(&r, 24, track_id);
  r.replace(kItemHeaderLength, 4, "mhod");
  SetU32(&r, kItemHeaderLength + 4, kStringHeaderLength);
  SetU32(&r, kItemHeaderLength + 8, kPositionRecordLength);
  SetU32(&r, kItemHeaderLength + 12, kPositionRecordType);
  SetU32(&r, kItemHeaderLength + 24, position);
  return r;
}

}  // namespace tunewell
