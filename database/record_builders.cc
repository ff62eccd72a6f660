#include "database/record_builders.h"

#include <array>
#include <utility>

#include "database/coding.h"
#include "database/itunesdb_records.h"
#include "database/track_reader.h"

namespace tunewell {

namespace {

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

// A record of `length` zero bytes with its tag and header length set.
std::string NewRecord(const char* tag, uint32_t header_length, size_t length) {
  std::string r(length, '\0');
  r.replace(record::kTag, 4, tag);
  PutFixed32(&r, record::kHeaderLength, header_length);
  return r;
}

}  // namespace

uint32_t TrackRecordLength(const TrackInfo& track) {
  return mhit::kHeaderLength + mhod::kStringText * static_cast<uint32_t>(track.TextFieldCount()) +
         track.TotalTextLength(2);
}

std::string BuildTrackHeader(const TrackInfo& track, uint64_t database_id) {
  std::string h = NewRecord("mhit", mhit::kHeaderLength, mhit::kHeaderLength);
  PutFixed32(&h, record::kTotalLength, TrackRecordLength(track));
  PutFixed32(&h, mhit::kStringCount, static_cast<uint32_t>(track.TextFieldCount()));
  PutFixed32(&h, mhit::kTrackId, track.trackId);
  PutFixed32(&h, mhit::kVisible, 1);
  h.replace(mhit::kFileType, 4, "\x20\x33\x50\x4D", 4);
  h[mhit::kVbrFlag] = track.isVbr ? 1 : 0;
  h[mhit::kCompilationFlag] = 1;
  h[mhit::kRating] = static_cast<char>(track.rating * 20);
  PutFixed32(&h, mhit::kFileSize, static_cast<uint32_t>(track.fileSize));
  // Truncated toward zero; out-of-range values wrap as the 32-bit field they are stored in.
  PutFixed32(&h, mhit::kLengthMs,
             static_cast<uint32_t>(static_cast<int64_t>(track.duration * 1000.0)));
  PutFixed32(&h, mhit::kTrackNumber, static_cast<uint32_t>(track.trackNumber));
  PutFixed32(&h, mhit::kYear, static_cast<uint32_t>(track.year));
  PutFixed32(&h, mhit::kBitrate, static_cast<uint32_t>(track.bitrate / 1000));
  PutFixed64(&h, mhit::kDatabaseId, database_id);
  PutFixed16(&h, mhit::kUnknownFFFF, 0xFFFF);
  PutFixed16(&h, mhit::kUnknown12, 12);
  PutFixed64(&h, mhit::kDatabaseIdAgain, database_id);
  h[mhit::kLyricsFlag] = track.hasLyrics ? 1 : 0;
  PutFixed32(&h, mhit::kUnknownOne, 1);
  return h;
}

std::string BuildStringRecord(std::u16string_view text, uint32_t type) {
  if (text.empty()) return std::string();
  const uint32_t bytes = static_cast<uint32_t>(text.size() * 2);
  std::string r = NewRecord("mhod", mhod::kHeaderLength, mhod::kStringText + bytes);
  PutFixed32(&r, record::kTotalLength, mhod::kStringText + bytes);
  PutFixed32(&r, mhod::kType, type);
  PutFixed32(&r, mhod::kStringEncoding, mhod::kUtf16Encoding);
  PutFixed32(&r, mhod::kStringLength, bytes);
  PutFixed32(&r, mhod::kStringUnknownOne, 1);
  for (size_t i = 0; i < text.size(); ++i) PutFixed16(&r, mhod::kStringText + 2 * i, text[i]);
  return r;
}

void AppendTrackRecord(const TrackInfo& track, uint64_t database_id, std::string* out) {
  *out += BuildTrackHeader(track, database_id);
  for (const auto& [text, type] : StringOrder(track)) *out += BuildStringRecord(*text, type);
}

std::string BuildSortIndexRecord(SortType type, const std::vector<uint32_t>& entries) {
  const uint32_t n = static_cast<uint32_t>(entries.size());
  const uint32_t length = mhod::kEntries + 4 * n;
  std::string r = NewRecord("mhod", mhod::kHeaderLength, length);
  PutFixed32(&r, record::kTotalLength, length);
  PutFixed32(&r, mhod::kType, mhod::kSortIndexType);
  PutFixed32(&r, mhod::kSortType, static_cast<uint32_t>(type));
  PutFixed32(&r, mhod::kEntryCount, n);
  for (uint32_t i = 0; i < n; ++i) PutFixed32(&r, mhod::kEntries + 4 * size_t{i}, entries[i]);
  return r;
}

std::string BuildPlaylistItem(uint32_t track_id, uint32_t position) {
  std::string r = NewRecord("mhip", mhip::kHeaderLength, mhip::kLength);
  PutFixed32(&r, record::kTotalLength, mhip::kLength);
  PutFixed32(&r, mhip::kUnknownOne, 1);
  PutFixed32(&r, mhip::kUnknown526, 526);
  PutFixed32(&r, mhip::kTrackId, track_id);
  const size_t child = mhip::kHeaderLength;
  r.replace(child + record::kTag, 4, "mhod");
  PutFixed32(&r, child + record::kHeaderLength, mhod::kHeaderLength);
  PutFixed32(&r, child + record::kTotalLength, mhod::kPositionLength);
  PutFixed32(&r, child + mhod::kType, mhod::kPositionType);
  PutFixed32(&r, child + mhod::kPosition, position);
  return r;
}

}  // namespace tunewell
