#pragma once

// The records of iTunesDB, each field named once with its offset from the record's start.
// Every integer is little-endian, 32-bit unless its comment says otherwise (see coding.h).
// Every record starts with its 4-byte tag and its header length at +4; the field at +8 is the
// record's total length (header and children), except in the two lists, where it counts the
// children. kMinHeader is the smallest header that holds the fields this program reads;
// kHeaderLength, where given, is the length of the records this program writes.

#include <cstddef>
#include <cstdint>

namespace tunewell {

// Fields every record shares.
namespace record {
inline constexpr size_t kTag = 0;  // 4 ASCII bytes: "mhbd", "mhit", ...
inline constexpr size_t kHeaderLength = 4;
inline constexpr size_t kTotalLength = 8;  // the list records count their children here
}  // namespace record

// "mhbd": the database header; its total length is the file's.
namespace mhbd {
inline constexpr size_t kUnknownOne = 12;  // 1
inline constexpr size_t kVersion = 16;     // database version
inline constexpr size_t kDatasetCount = 20;
// Later iPods check a signature over the file (hash58.h); databases of older models have zeros in
// the scheme and the signature. The database id and the 20 bytes at kUnsigned are left out of it.
inline constexpr size_t kDatabaseId = 24;      // 64-bit
inline constexpr size_t kChecksumScheme = 48;  // 16-bit
inline constexpr size_t kUnsigned = 50;
inline constexpr size_t kUnsignedLength = 20;
inline constexpr size_t kSignature = 88;
inline constexpr size_t kSignatureLength = 20;
// The shortest header with room for the signature.
inline constexpr uint32_t kSignedHeader = 108;
inline constexpr uint32_t kMinHeader = 12;
inline constexpr uint32_t kHeaderLength = 104;
// The database version of the iTunes generation whose layout this program writes.
inline constexpr uint32_t kWrittenVersion = 0x0c;
}  // namespace mhbd

// "mhsd": a dataset; a track list (type 1) or a playlist list (types 2 and 3) follows.
namespace mhsd {
inline constexpr size_t kType = 12;
inline constexpr uint32_t kMinHeader = 16;
inline constexpr uint32_t kHeaderLength = 96;
inline constexpr uint32_t kTrackType = 1;
inline constexpr uint32_t kPlaylistType = 2;
inline constexpr uint32_t kPodcastType = 3;
// Written by later desktop software: album list 4, artist list 8, and 5, 6, 10 holding lists
// this program carries over unread.
inline constexpr uint32_t kAlbumType = 4;
}  // namespace mhsd

// "mhlt" (the track list) and "mhlp" (the playlist list).
namespace mhlt {
inline constexpr size_t kCount = 8;  // tracks or playlists that follow
inline constexpr uint32_t kMinHeader = 12;
inline constexpr uint32_t kHeaderLength = 92;
}  // namespace mhlt
namespace mhlp = mhlt;
namespace mhla = mhlt;  // "mhla", the album list

// "mhit": a track; its string records ("mhod") follow the header.
namespace mhit {
inline constexpr size_t kStringCount = 12;
inline constexpr size_t kTrackId = 16;
inline constexpr size_t kVisible = 20;          // 1
inline constexpr size_t kFileType = 24;         // "MP3 " stored backwards
inline constexpr size_t kVbrFlag = 28;          // 8-bit
inline constexpr size_t kCompilationFlag = 29;  // 8-bit
inline constexpr size_t kRating = 31;           // 8-bit, stars * 20
inline constexpr size_t kFileSize = 36;
inline constexpr size_t kLengthMs = 40;
inline constexpr size_t kTrackNumber = 44;
inline constexpr size_t kYear = 52;
inline constexpr size_t kBitrate = 56;           // kbit/s
inline constexpr size_t kDatabaseId = 112;       // 64-bit
inline constexpr size_t kUnknownFFFF = 126;      // 16-bit, 0xFFFF
inline constexpr size_t kUnknown12 = 144;        // 16-bit, 12
inline constexpr size_t kDatabaseIdAgain = 168;  // 64-bit
inline constexpr size_t kLyricsFlag = 176;       // 8-bit
// 1 audio, which puts the track in the Music menu; 4 a podcast.
inline constexpr size_t kMediaType = 208;
inline constexpr uint32_t kAudio = 1;
// In headers of 584 bytes: the id of the track's "mhia" album record, 0 for none. (At 480 an
// artist list id, which this program leaves 0: new tracks get no artist record.)
inline constexpr size_t kAlbumId = 288;
inline constexpr uint32_t kMinHeader = 20;
// The shortest header the writer rewrites: long enough for the database id.
inline constexpr uint32_t kMinRewrittenHeader = 120;
inline constexpr uint32_t kHeaderLength = 244;
}  // namespace mhit

// "mhod": a data record. Its header is 24 bytes; what follows depends on the type at +12.
namespace mhod {
inline constexpr size_t kType = 12;
inline constexpr uint32_t kMinLength = 16;
inline constexpr uint32_t kHeaderLength = 24;

// String records (types 1 to 12: title, path, album, ...).
inline constexpr size_t kStringEncoding = 24;    // 1 UTF-16LE; 2 UTF-8 (some desktop programs)
inline constexpr size_t kStringLength = 28;      // bytes of text
inline constexpr size_t kStringUnknownOne = 32;  // 1
inline constexpr size_t kStringText = 40;        // the text itself
inline constexpr uint32_t kUtf16Encoding = 1;
inline constexpr uint32_t kUtf8Encoding = 2;

// Sort indexes (type 52): the 0-based places of the tracks in one sort order.
inline constexpr uint32_t kSortIndexType = 52;
inline constexpr size_t kSortType = 24;
inline constexpr size_t kEntryCount = 28;
inline constexpr size_t kEntries = 72;  // entry i at kEntries + kSortEntryLength * i
inline constexpr uint32_t kSortEntryLength = 4;

// Jump tables (type 53): one entry per run of tracks in the sort index of the same sort type
// whose field starts with the same letter (digits and fields without a letter or digit under
// '0', leading punctuation skipped, letters upper case), at the run's first place in the index.
inline constexpr uint32_t kJumpTableType = 53;
inline constexpr size_t kJumpCount = 28;    // entries; the sort type at kSortType
inline constexpr size_t kJumpEntries = 40;  // entry i at kJumpEntries + 12 * i
inline constexpr size_t kJumpLetter = 0;    // 16-bit UTF-16 code unit, then 2 zero bytes
inline constexpr size_t kJumpFirst = 4;     // place in the sort index
inline constexpr size_t kJumpRun = 8;       // tracks in the run
inline constexpr uint32_t kJumpEntryLength = 12;

// Album records' strings: the album and its artist, laid out as the track strings are.
inline constexpr uint32_t kAlbumNameType = 200;
inline constexpr uint32_t kAlbumArtistType = 201;

// Position records (type 100), the child of a playlist item.
inline constexpr uint32_t kPositionType = 100;
inline constexpr size_t kPosition = 24;
inline constexpr uint32_t kPositionLength = 44;
}  // namespace mhod

// "mhyp": a playlist; its data records, then its items, follow the header.
namespace mhyp {
inline constexpr size_t kDataCount = 12;
inline constexpr size_t kItemCount = 16;
inline constexpr size_t kMaster = 20;      // 1 for the library playlist
inline constexpr size_t kPlaylistId = 28;  // 64-bit
inline constexpr uint32_t kMinHeader = 20;
inline constexpr uint32_t kHeaderLength = 108;
}  // namespace mhyp

// "mhip": a playlist item; its position record follows the header.
namespace mhip {
inline constexpr size_t kDataCount = 12;   // records after the header: 1, the position record
inline constexpr size_t kUnknown526 = 20;  // 526; other writers put 0, or a podcast item's id
// In the podcast playlist, an item with kGroup set heads a podcast (track id 0, a title
// record as its child); episodes name their podcast's kUnknown526 id at kGroupParent.
inline constexpr size_t kGroup = 16;
inline constexpr uint32_t kGroupFlag = 0x100;
inline constexpr size_t kGroupParent = 32;
inline constexpr size_t kTrackId = 24;
inline constexpr uint32_t kMinHeader = 28;
inline constexpr uint32_t kHeaderLength = 76;
// An item as the writer keeps and writes it: header and position record.
inline constexpr uint32_t kLength = kHeaderLength + mhod::kPositionLength;
}  // namespace mhip

// "mhia": an album of the album list; its string records (album, artist) follow the header.
// Both libgpod and a desktop program write 88-byte headers, one record per album and artist.
namespace mhia {
inline constexpr size_t kStringCount = 12;
inline constexpr size_t kAlbumId = 16;       // what tracks name at mhit::kAlbumId
inline constexpr size_t kPersistentId = 20;  // 64-bit, distinct per album
inline constexpr size_t kUnknownTwo = 28;    // 2
inline constexpr uint32_t kMinHeader = 20;
inline constexpr uint32_t kHeaderLength = 88;
}  // namespace mhia

}  // namespace tunewell
