#pragma once

// Where the records of an iTunesDB image lie, found by walking header and total lengths with
// every read checked (field offsets in itunesdb_records.h). Record tags: "mhbd" database, "mhsd"
// dataset, "mhlt" track list, "mhit" track, "mhod" data/string, "mhlp" playlist list, "mhyp"
// playlist, "mhip" playlist item.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "database/image_view.h"
#include "platform/status.h"

namespace tunewell {

struct DatasetInfo {
  uint64_t offset = 0;
  uint32_t type = 0;
  uint32_t header_length = 0;
  uint32_t total_length = 0;
};

struct TrackRecordInfo {
  uint64_t offset = 0;
  uint32_t header_length = 0;
  uint32_t total_length = 0;
  uint32_t string_count = 0;
  uint32_t track_id = 0;
};

struct DataRecordInfo {
  uint64_t offset = 0;
  uint32_t total_length = 0;
  uint32_t type = 0;
};

struct ItemInfo {
  uint64_t offset = 0;
  uint32_t header_length = 0;
  uint32_t total_length = 0;
  uint32_t track_id = 0;
  int32_t position = -1;  // -1 when the item has no position record
  // Podcast grouping, read where the header holds it (see mhip in itunesdb_records.h).
  bool group = false;
  uint32_t item_id = 0;
  uint32_t group_parent = 0;
};

struct PlaylistInfo {
  uint64_t offset = 0;
  uint32_t header_length = 0;
  uint32_t total_length = 0;
  std::vector<DataRecordInfo> data_records;
  std::vector<ItemInfo> items;
};

// A playlist dataset and its first playlist, the library playlist.
struct PlaylistDatasetLayout {
  DatasetInfo dataset;
  uint64_t playlist_list_offset = 0;
  uint32_t playlist_list_header_length = 0;  // H4
  uint32_t playlist_count = 0;
  uint64_t library_offset = 0;
  uint32_t library_header_length = 0;
  uint32_t library_total_length = 0;  // P
  std::vector<DataRecordInfo> data_records;
  std::vector<ItemInfo> items;
};

struct DatabaseLayout {
  uint32_t header_length = 0;         // H0
  uint32_t file_length = 0;           // F
  std::vector<DatasetInfo> datasets;  // in file order

  DatasetInfo track_dataset;  // header length H1, total length S1
  uint64_t track_list_offset = 0;
  uint32_t track_list_header_length = 0;  // H2
  uint32_t track_count = 0;               // N
  std::vector<TrackRecordInfo> tracks;    // in file order

  // The playlist datasets (types 2 and 3) in file order, each parsed up to its library
  // playlist's items.
  std::vector<PlaylistDatasetLayout> playlist_datasets;
  // Index into playlist_datasets of the dataset whose library playlist gives positions:
  // type 2, or type 3 where there is no 2; nullopt when there is neither.
  std::optional<size_t> library_dataset;
};

// Finds the records of `image`. Corruption, naming the offset, when any length or count points
// outside the image or a record is not what its place requires.
Status ParseLayout(const ImageView& image, DatabaseLayout* layout);

// Refused when the header carries a signature this program cannot renew: a scheme other than 1
// (hash58.h), scheme 1 in a header with no room for the signature, or signature bytes under no
// scheme.
Status CheckSignable(const ImageView& image, const DatabaseLayout& layout);

// Every playlist of `pl`, the library first, each checked as the library is by ParseLayout.
Status ParsePlaylists(const ImageView& image, const PlaylistDatasetLayout& pl,
                      std::vector<PlaylistInfo>* playlists);

// Ok when the writer may rewrite the image in place: three datasets (tracks first, then two
// playlist datasets that mirror each other), one library playlist in each with one 120-byte
// item per track and exactly five sort indexes of N entries ending its data records, track
// records back to back. Otherwise Refused, saying which property is missing and where.
Status CheckWritableShape(const ImageView& image, const DatabaseLayout& layout);

// Ok when the writer may update an image of another layout, record by record: track headers
// hold the ids and each id (and each nonzero database id) is used once, a playlist dataset has a
// library playlist, every item names a track (or heads a podcast), sort indexes and jump tables lie
// only in library playlists and are of orders this program sorts by, and the album list, if any,
// parses. Otherwise Refused or Corruption, saying what and where.
Status CheckUpdatableShape(const ImageView& image, const DatabaseLayout& layout);

}  // namespace tunewell
