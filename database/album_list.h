#pragma once

// The album list (dataset type 4) that later desktop software writes: one "mhia" record per album,
// named by tracks through their album id (layouts in itunesdb_records.h).

#include <string>
#include <vector>

#include "database/database_layout.h"

namespace tunewell {

struct AlbumInfo {
  uint64_t offset = 0;
  uint32_t total_length = 0;
  uint32_t album_id = 0;
  std::u16string name, artist;
};

struct AlbumListLayout {
  DatasetInfo dataset;
  uint64_t list_offset = 0;
  uint32_t list_header_length = 0;
  uint32_t header_length = 0;  // of the albums' records, mhia::kHeaderLength when there are none
  std::vector<AlbumInfo> albums;
  uint64_t albums_end = 0;  // what follows up to the dataset's end is carried over
};

// Corruption naming the offset when a length or count does not fit.
Status ParseAlbumList(const ImageView& image, const DatasetInfo& dataset, AlbumListLayout* out);

}  // namespace tunewell
