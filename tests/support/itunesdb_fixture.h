#pragma once

// iPod database images for tests, built and read apart from database/ so that each checks the
// other. The default iTunesDB is the three-dataset layout the writer rewrites; options bend it
// into the shapes of real iPods or into broken ones. Little-endian throughout. Also the one track
// maker of the tests.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "track/track_info.h"

namespace tunewell::fixture {

// A track as a sync hands it to the database: kind "MPEG audio file", path an iPod location
// named after the first four characters of the title.
inline TrackInfo MakeTrack(std::u16string title, std::u16string artist, std::u16string album,
                           int32_t number = 0) {
  TrackInfo t;
  t.path = u":iPod_Control:Music:F00:" + title.substr(0, 4) + u".mp3";
  t.title = std::move(title);
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.trackNumber = number;
  t.kind = std::u16string(kMpegAudioFileKind);
  return t;
}

// The array the core takes, over tracks owned elsewhere.
inline TrackArray ArrayOf(std::vector<TrackInfo>& tracks) {
  TrackArray array;
  for (TrackInfo& t : tracks) array.push_back(&t);
  return array;
}
inline TrackArray ArrayOf(const OwnedTracks& tracks) {
  TrackArray array;
  for (const auto& t : tracks) array.push_back(t.get());
  return array;
}

// REQUIRES: the field lies inside the image.
void PutU32(std::string* image, size_t offset, uint32_t value);
uint32_t GetU32(std::string_view image, size_t offset);
std::string Utf16Le(std::u16string_view text);

struct RawString {  // a string record: `bytes` the text field exactly; encoding 1 UTF-16, 2 UTF-8
  uint32_t type = 0;
  std::string bytes;
  uint32_t encoding = 1;
};

struct FixtureTrack {
  uint32_t id = 0;
  uint64_t database_id = 0;  // 0: 0x1000000000 + id
  int32_t track_number = 0;
  // Non-empty texts become string records in this order, then `extra_strings`.
  std::u16string title{}, artist{}, composer{}, album{}, genre{}, kind{}, path{};
  std::vector<RawString> extra_strings{};
};

// Ids 1..n; for k from 0: "Title k", "Artist k%5", "Album k%3", genre "Rock", track number
// k%12+1, path ":iPod_Control:Music:F0(k%3):TRKk.mp3".
std::vector<FixtureTrack> SampleTracks(size_t n);

struct FixtureItem {  // a library playlist item; without `position`, no position record
  uint32_t track_id = 0;
  std::optional<uint32_t> position{};
};

struct ITunesDbOptions {
  uint32_t database_header_length = 104;
  uint32_t signing_scheme = 0;  // 1: signed for an iPod classic (the signature left zero)
  uint32_t dataset_header_length = 96;
  uint32_t track_list_header_length = 92;
  uint32_t track_header_length = 244;  // fields past a shorter header are left out
  uint32_t playlist_list_header_length = 92;
  uint32_t playlist_header_length = 108;
  uint32_t item_header_length = 76;  // 120 bytes with its position record
  // Datasets by type in file order: 1 tracks, 2 and 3 playlists, others an empty list.
  std::vector<uint32_t> dataset_types = {1, 2, 3};
  std::optional<uint32_t> second_playlist_list_header_length{};  // of the type-3 dataset
  // Library playlist records: a title, a type-100 record when `preferences_records`, the sort
  // indexes (types 3, 5, 4, 7, 18, 3...) each followed by a type-53 one when `jump_tables`,
  // then `trailing_records` type-100 records.
  bool library_title = true;
  bool preferences_records = false;
  int sort_index_count = 5;
  bool jump_tables = false;
  int trailing_records = 0;
  std::optional<uint32_t> sort_index_entries{};  // default one per track
  // Default: one per track in order, position k+1 when `item_positions`.
  std::optional<std::vector<FixtureItem>> items{};
  bool item_positions = true;
  int extra_playlists = 0;           // after the library playlist, each holding every track
  size_t track_dataset_padding = 0;  // bytes after the last track record
};

// The layouts of the two real databases beside the checkout, which a fresh clone lacks.
ITunesDbOptions ManyDatasetLayout();
ITunesDbOptions TwoDatasetLayout();
// The many-dataset layout signed for an iPod classic.
ITunesDbOptions SignedLayout();

// Byte offsets of the records of a built image; data records and items of the library playlist.
struct PlaylistDatasetMap {
  size_t dataset = 0, playlist_list = 0;
  std::vector<size_t> playlists{}, data_records{}, items{};
};
struct ITunesDbMap {
  std::vector<size_t> datasets, tracks;
  size_t track_list = 0;
  std::vector<PlaylistDatasetMap> playlist_datasets;  // in file order
};

std::string BuildITunesDb(const std::vector<FixtureTrack>& tracks,
                          const ITunesDbOptions& options = {}, ITunesDbMap* map = nullptr);

// A strict reading of an iTunesDB image, for checking what a writer produced.
struct InspectedTrack {
  uint32_t id = 0;
  uint64_t database_id = 0;
  std::u16string title;  // from its string record
};
struct InspectedRecord {
  uint32_t type = 0;
  uint32_t sort_type = 0;           // types 52 and 53
  std::vector<uint32_t> entries{};  // type 52; type 53: letter, first place, run of each
};
using InspectedItem = FixtureItem;
struct InspectedPlaylist {
  std::vector<InspectedRecord> records;
  std::vector<InspectedItem> items;
};
struct InspectedDataset {
  uint32_t type = 0;
  std::vector<InspectedPlaylist> playlists;  // types 2 and 3
};
struct InspectedDb {
  std::vector<InspectedTrack> tracks;
  std::vector<InspectedDataset> datasets;
};
// False, with the offset and the problem in `error`, when the image is not well formed.
bool InspectITunesDb(std::string_view image, InspectedDb* db, std::string* error);

// iTunesSD (big-endian): an 18-byte header and one 558-byte entry per location, named by the
// location with '/' for ':'. ReadITunesSdNames turns the entries the header counts back.
std::string BuildITunesSd(const std::vector<std::u16string>& locations);
std::vector<std::u16string> ReadITunesSdNames(std::string_view image);

}  // namespace tunewell::fixture
