#include "database/database_check.h"

#include <algorithm>
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

// Ok when the sort index `index` lists every place 0..n-1 exactly once.
Status CheckIndex(const ImageView& image, const DataRecordInfo& index, uint32_t n) {
  uint32_t count = 0;
  RETURN_IF_ERROR(image.U32(index.offset + mhod::kEntryCount, "sort index", &count));
  std::vector<bool> seen(n, false);
  for (uint32_t e = 0; e < n && count == n; ++e) {
    uint32_t entry = 0;
    RETURN_IF_ERROR(
        image.U32(index.offset + mhod::kEntries + 4 * uint64_t{e}, "sort index entry", &entry));
    if (entry >= n || seen[entry]) break;
    seen[entry] = true;
  }
  if (count != n || std::find(seen.begin(), seen.end(), false) != seen.end()) {
    return Failed("the sort index at offset " + std::to_string(index.offset) +
                  " does not list every track exactly once");
  }
  return Status::Ok();
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
    for (size_t r = d - 5; r < d; ++r) RETURN_IF_ERROR(CheckIndex(image, pl.data_records[r], n));
  }
  return Status::Ok();
}

Status VerifyUpdatedDatabase(std::string_view bytes, uint32_t expected_tracks) {
  const ImageView image(bytes);
  DatabaseLayout layout;
  Status s = ParseLayout(image, &layout);
  if (s.ok()) s = CheckUpdatableShape(image, layout);
  if (!s.ok()) return Failed(s.message());
  const uint32_t n = layout.track_count;
  if (n != expected_tracks) {
    return Failed("it holds " + std::to_string(n) + " tracks where " +
                  std::to_string(expected_tracks) + " were expected");
  }
  for (const PlaylistDatasetLayout& pl : layout.playlist_datasets) {
    for (const DataRecordInfo& r : pl.data_records) {
      if (r.type == mhod::kSortIndexType) RETURN_IF_ERROR(CheckIndex(image, r, n));
      if (r.type != mhod::kJumpTableType) continue;
      uint32_t entries = 0;
      RETURN_IF_ERROR(image.U32(r.offset + mhod::kJumpCount, "jump table", &entries));
      uint64_t covered = 0;
      for (uint32_t e = 0; e < entries; ++e) {
        const uint64_t at = r.offset + mhod::kJumpEntries + uint64_t{mhod::kJumpEntryLength} * e;
        uint32_t first = 0;
        uint32_t run = 0;
        RETURN_IF_ERROR(image.U32(at + mhod::kJumpFirst, "jump table entry", &first));
        RETURN_IF_ERROR(image.U32(at + mhod::kJumpRun, "jump table entry", &run));
        if (first != covered || run == 0) break;
        covered += run;
      }
      if (covered != n) {
        return Failed("the jump table at offset " + std::to_string(r.offset) +
                      " does not cover every track in runs");
      }
    }
  }
  return Status::Ok();
}

}  // namespace tunewell
