#pragma once

// Builds iPod database images for tests, written apart from the production reader and writer so
// that each can check the other. The default iTunesDB is the three-dataset layout the writer
// rewrites; options bend it into the other shapes found on real iPods, or into broken ones.
//
//   std::vector<FixtureTrack> tracks = SampleTracks(3);
//   ITunesDbMap map;
//   std::string image = BuildITunesDb(tracks, {}, &map);
//   PutU32(&image, map.tracks[1] + 8, 0);  // break the second track's total length
//
// Every image is little-endian, except iTunesSD (big-endian, 24-bit fields).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunewell::fixture {

// Little-endian fields of an image. REQUIRES: the field lies inside the image.
void PutU32(std::string* image, size_t offset, uint32_t value);
void PutU64(std::string* image, size_t offset, uint64_t value);
uint32_t GetU32(std::string_view image, size_t offset);
uint64_t GetU64(std::string_view image, size_t offset);
// Big-endian 24-bit fields of iTunesSD.
void PutU24BE(std::string* image, size_t offset, uint32_t value);
uint32_t GetU24BE(std::string_view image, size_t offset);

// The string record types of a track.
enum : uint32_t {
  kTitle = 1,
  kPath = 2,
  kAlbum = 3,
  kArtist = 4,
  kGenre = 5,
  kKind = 6,
  kComment = 8,
  kComposer = 12,
};

// A string record written as given: `bytes` is the text field exactly (UTF-16LE normally, any
// length, odd included), `encoding` the +24 field (1 UTF-16, 2 UTF-8).
struct RawString {
  uint32_t type = 0;
  std::string bytes;
  uint32_t encoding = 1;
};

struct FixtureTrack {
  uint32_t id = 0;
  uint64_t database_id = 0;  // 0: 0x1000000000 + id
  int32_t track_number = 0;
  // Each non-empty text gets a string record, in the order title, artist, composer, album,
  // genre, kind, path (the order the writer uses).
  std::u16string title{}, artist{}, composer{}, album{}, genre{}, kind{}, path{};
  // Written after the texts, in this order.
  std::vector<RawString> extra_strings{};
};

// `n` tracks with ids 1..n and distinct texts: "Title k", "Artist k%5", "Album k%3", track
// number k%12+1, path ":iPod_Control:Music:F0(k%3):TRKk.mp3" (k counts from 0).
std::vector<FixtureTrack> SampleTracks(size_t n);

// An item of the library playlist. Without `position` it has no position record.
struct FixtureItem {
  uint32_t track_id = 0;
  std::optional<uint32_t> position;
};

struct ITunesDbOptions {
  uint32_t database_header_length = 104;
  uint32_t dataset_header_length = 96;
  uint32_t track_list_header_length = 92;
  uint32_t track_header_length = 244;  // fields that do not fit a shorter header are left out
  uint32_t playlist_list_header_length = 92;
  uint32_t playlist_header_length = 108;
  uint32_t item_header_length = 76;  // with the 44-byte position record: 120 bytes
  uint32_t database_version = 0x19;

  // Datasets in file order by type: 1 the tracks, 2 and 3 a playlist list, any other type a
  // record list holding nothing.
  std::vector<uint32_t> dataset_types = {1, 2, 3};
  // Header length of the type-3 dataset's own playlist list, when it is to differ.
  std::optional<uint32_t> second_playlist_list_header_length{};

  // Library playlist data records: a title record (type 1), a type-100 record when
  // `preferences_records` (every playlist gets one after its title), then `sort_index_count` sort
  // indexes (types 3, 5, 4, 7, 18, then 3 again...) each followed by a type-53 record when
  // `jump_tables`, then `trailing_records` records of type 100 with no payload.
  bool library_title = true;
  bool preferences_records = false;
  int sort_index_count = 5;
  bool jump_tables = false;
  int trailing_records = 0;
  // Entries per sort index; nullopt: one per track. The entries are 0..k-1 in track order:
  // nothing reads them back as an order.
  std::optional<uint32_t> sort_index_entries{};

  // The library playlist's items; nullopt: one per track in track order with position k+1, or
  // with no position record when not `item_positions`.
  std::optional<std::vector<FixtureItem>> items{};
  bool item_positions = true;
  // Playlists after the library playlist in every playlist dataset, each holding every track.
  int extra_playlists = 0;

  // Bytes added inside the track dataset after the last track record, and after the last
  // dataset (counted in the file length).
  size_t track_dataset_padding = 0;
  size_t file_padding = 0;
};

// The layouts of the two real databases beside the checkout, so that a clone without them still
// covers them. Many datasets: 244-byte database header, datasets 1, 3, 2, 4, 8, 6, 10, 5,
// 584-byte track headers, a library playlist of title, type-100 and five type-52 records each
// followed by a type-53 one, and a second playlist.
ITunesDbOptions ManyDatasetLayout();
// Two datasets (tracks, playlists), 160-byte track headers, a library playlist with no data
// records and 76-byte items without position records.
ITunesDbOptions TwoDatasetLayout();

// Where the records of a built image lie: byte offsets from the start of the image.
struct PlaylistDatasetMap {
  size_t dataset = 0;
  size_t playlist_list = 0;
  std::vector<size_t> playlists;     // the library playlist first
  std::vector<size_t> data_records;  // of the library playlist
  std::vector<size_t> items;         // of the library playlist
};
struct ITunesDbMap {
  std::vector<size_t> datasets;
  size_t track_list = 0;
  std::vector<size_t> tracks;
  std::vector<PlaylistDatasetMap> playlist_datasets;  // types 2 and 3, in file order
};

std::string BuildITunesDb(const std::vector<FixtureTrack>& tracks,
                          const ITunesDbOptions& options = {}, ITunesDbMap* map = nullptr);

// An independent reading of an iTunesDB image, strict about tags and lengths (every record's
// total is its header plus its children), for checking what a writer produced.
struct InspectedTrack {
  uint32_t total_length = 0;
  uint32_t id = 0;
  int32_t track_number = 0;
  uint64_t database_id = 0;  // 0 when the header is too short for it
  // Type and text of every string record in order; UTF-8-flagged texts are widened.
  std::vector<std::pair<uint32_t, std::u16string>> strings;
  std::u16string Text(uint32_t type) const;  // "" when absent
};
struct InspectedRecord {  // a playlist's data record
  uint32_t type = 0;
  uint32_t total_length = 0;
  uint32_t sort_type = 0;         // types 52 and 53
  std::vector<uint32_t> entries;  // type 52
};
struct InspectedItem {
  uint32_t total_length = 0;
  uint32_t track_id = 0;
  std::optional<uint32_t> position;
};
struct InspectedPlaylist {
  uint32_t total_length = 0;
  std::vector<InspectedRecord> records;
  std::vector<InspectedItem> items;
};
struct InspectedDataset {
  uint32_t type = 0;
  uint32_t total_length = 0;
  std::vector<InspectedPlaylist> playlists;  // types 2 and 3
};
struct InspectedDb {
  std::vector<InspectedTrack> tracks;
  std::vector<InspectedDataset> datasets;
};

// False, with the offset and the problem in `error`, when the image is not well formed.
bool InspectITunesDb(std::string_view image, InspectedDb* db, std::string* error);

// iTunesSD: an 18-byte header (24-bit count, then 0x010600 and the header length 18) and one
// 558-byte entry per location, its name the location with ':' turned into '/'.
struct ITunesSdOptions {
  std::optional<uint32_t> declared_count;  // the header's count when it is to lie
  std::string trailing;                    // bytes after the last entry
};
std::string BuildITunesSd(const std::vector<std::u16string>& locations,
                          const ITunesSdOptions& options = {});

// The entry names of an iTunesSD image turned back into locations (':' for '/'), following the
// header's count; entries past the end of the image are not read.
std::vector<std::u16string> ReadITunesSdNames(std::string_view image);

// UTF-16LE bytes of a text, for RawString and for comparing images.
std::string Utf16Le(std::u16string_view text);

}  // namespace tunewell::fixture
