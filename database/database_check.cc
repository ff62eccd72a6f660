#include "database/database_check.h"

#include <string>
#include <vector>

#include "database/database_layout.h"
#include "database/id_index.h"
#include "database/itunesdb_records.h"

namespace tunewell {

namespace {

Status Failed(const std::string& problem) {
  return Status::Corruption("the written database failed its check: " + problem);
}

}  // namespace

Status VerifyWrittenDatabase(std::string_view bytes, uint32_t expected_tracks) {
  const ImageView image(bytes);
  DatabaseLayout layout;
  Status s = ParseLayout(image, &layout);
  if (!s.ok()) return Failed(s.message());
  s = CheckWritableShape(image, layout);
  if (!s.ok()) return Failed(s.message());
  const uint32_t n = layout.track_count;
  if (n != expected_tracks) {
    return Failed("it holds " + std::to_string(n) + " tracks where " +
                  std::to_string(expected_tracks) + " were expected");
  }
  std::vector<IdIndex<uint32_t>::Entry> places;  // track id -> 1-based place
  places.reserve(n);
  for (uint32_t i = 0; i < n; ++i) places.emplace_back(layout.tracks[i].track_id, i + 1);
  const IdIndex<uint32_t> place_of(std::move(places));

  for (const PlaylistDatasetLayout& pl : layout.playlist_datasets) {
    for (const ItemInfo& item : pl.items) {
      const uint32_t* place = place_of.Find(item.track_id);
      if (place == nullptr || static_cast<uint32_t>(item.position) != *place) {
        return Failed("the item at offset " + std::to_string(item.offset) +
                      " gives a position that is not its track's place");
      }
    }
    const size_t d = pl.data_records.size();
    for (size_t r = d - 5; r < d; ++r) {
      const DataRecordInfo& index = pl.data_records[r];
      std::vector<bool> seen(n, false);
      for (uint32_t e = 0; e < n; ++e) {
        uint32_t entry = 0;
        RETURN_IF_ERROR(
            image.U32(index.offset + mhod::kEntries + 4 * uint64_t{e}, "sort index entry", &entry));
        if (entry >= n || seen[entry]) {
          return Failed("the sort index at offset " + std::to_string(index.offset) +
                        " does not list every track exactly once");
        }
        seen[entry] = true;
      }
    }
  }
  return Status::Ok();
}

}  // namespace tunewell
