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

uint32_t TrackRecordLength(const TrackInfo& track, uint32_t header_length) {
  return header_length + mhod::kStringText * static_cast<uint32_t>(track.TextFieldCount()) +
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
  PutFixed32(&h, mhit::kMediaType, mhit::kAudio);
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

void AppendTrackRecord(const TrackInfo& track, uint64_t database_id, std::string* out,
                       const TrackRecordShape& shape) {
  const size_t at = out->size();
  *out += BuildTrackHeader(track, database_id);
  if (shape.header_length != mhit::kHeaderLength) {
    out->resize(at + shape.header_length, '\0');
    PutFixed32(out, at + record::kHeaderLength, shape.header_length);
    PutFixed32(out, at + record::kTotalLength, TrackRecordLength(track, shape.header_length));
  }
  if (shape.header_length >= mhit::kAlbumId + 4) {
    PutFixed32(out, at + mhit::kAlbumId, shape.album_id);
  }
  for (const auto& [text, type] : StringOrder(track)) *out += BuildStringRecord(*text, type);
}

std::string BuildSortIndexRecord(SortType type, const std::vector<uint32_t>& entries) {
  std::string header = NewRecord("mhod", mhod::kHeaderLength, mhod::kEntries);
  PutFixed32(&header, mhod::kType, mhod::kSortIndexType);
  PutFixed32(&header, mhod::kSortType, static_cast<uint32_t>(type));
  return BuildSortIndexLike(header, entries);
}

std::string BuildPlaylistItem(uint32_t track_id, uint32_t position) {
  std::string r = BuildItemLike(mhip::kHeaderLength, track_id, position);
  PutFixed32(&r, mhip::kUnknown526, 526);
  return r;
}

std::string BuildAlbumRecord(uint32_t header_length, uint32_t album_id, uint64_t persistent_id,
                             std::u16string_view album, std::u16string_view artist) {
  std::string r = NewRecord("mhia", header_length, header_length);
  r += BuildStringRecord(album, mhod::kAlbumNameType);
  r += BuildStringRecord(artist, mhod::kAlbumArtistType);
  PutFixed32(&r, record::kTotalLength, static_cast<uint32_t>(r.size()));
  PutFixed32(&r, mhia::kStringCount, (album.empty() ? 0 : 1) + (artist.empty() ? 0 : 1));
  PutFixed32(&r, mhia::kAlbumId, album_id);
  if (header_length >= mhia::kUnknownTwo + 4) {
    PutFixed64(&r, mhia::kPersistentId, persistent_id);
    PutFixed32(&r, mhia::kUnknownTwo, 2);
  }
  return r;
}

std::string BuildItemLike(uint32_t header_length, uint32_t track_id,
                          std::optional<uint32_t> position) {
  const uint32_t length = header_length + (position ? mhod::kPositionLength : 0);
  std::string r = NewRecord("mhip", header_length, length);
  PutFixed32(&r, record::kTotalLength, length);
  PutFixed32(&r, mhip::kDataCount, position ? 1 : 0);
  PutFixed32(&r, mhip::kTrackId, track_id);
  if (position) {
    const size_t child = header_length;
    r.replace(child + record::kTag, 4, "mhod");
    PutFixed32(&r, child + record::kHeaderLength, mhod::kHeaderLength);
    PutFixed32(&r, child + record::kTotalLength, mhod::kPositionLength);
    PutFixed32(&r, child + mhod::kType, mhod::kPositionType);
    PutFixed32(&r, child + mhod::kPosition, *position);
  }
  return r;
}

std::string BuildJumpTable(std::string_view header, const std::vector<JumpEntry>& entries) {
  std::string r(header);
  r.resize(mhod::kJumpEntries + size_t{mhod::kJumpEntryLength} * entries.size(), '\0');
  PutFixed32(&r, record::kTotalLength, static_cast<uint32_t>(r.size()));
  PutFixed32(&r, mhod::kJumpCount, static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t at = mhod::kJumpEntries + mhod::kJumpEntryLength * i;
    PutFixed32(&r, at + mhod::kJumpLetter, entries[i].letter);
    PutFixed32(&r, at + mhod::kJumpFirst, entries[i].first);
    PutFixed32(&r, at + mhod::kJumpRun, entries[i].run);
  }
  return r;
}

std::string BuildSortIndexLike(std::string_view header, const std::vector<uint32_t>& entries) {
  std::string r(header);
  r.resize(mhod::kEntries + 4 * entries.size(), '\0');
  PutFixed32(&r, record::kTotalLength, static_cast<uint32_t>(r.size()));
  PutFixed32(&r, mhod::kEntryCount, static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) PutFixed32(&r, mhod::kEntries + 4 * i, entries[i]);
  return r;
}

}  // namespace tunewell
