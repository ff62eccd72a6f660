// Rewrites a loaded iTunesDB by copying: kept records go out byte for byte, new track records and
// items are appended, removed ones left out, the sort indexes regenerated, and the length and
// count fields of the enclosing records set to what was actually written. Datasets go out in the
// file's order; what only other layouts hold is in layout_update.h.

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "database/coding.h"
#include "database/database_check.h"
#include "database/id_index.h"
#include "database/itunes_database.h"
#include "database/itunesdb_records.h"
#include "database/layout_update.h"
#include "database/record_builders.h"
#include "database/track_order.h"
#include "platform/large_buffer.h"
#include "platform/replace_file.h"
#include "platform/text.h"

namespace tunewell {

namespace {

// Database id of the first track of a database that holds none.
constexpr uint64_t kFirstDatabaseId = 0x5457'0000'0000'0001;

// Hands out ids above the largest one in the file while there are any, then the lowest free
// ones: an id at the top of the range must not wrap to 0 or onto a track already there.
template <class Id>
class FreeIds {
 public:
  FreeIds(std::vector<Id> used, Id first) : used_(std::move(used)), next_(first) {
    if (used_.empty()) return;
    const Id largest = *std::max_element(used_.begin(), used_.end());
    if (largest == std::numeric_limits<Id>::max()) {
      StartFromBottom();
    } else {
      next_ = largest + 1;
    }
  }

  Id Take() {
    if (from_bottom_) {
      // Sorted: step over every used id up to the candidate.
      for (; cursor_ < used_.size() && used_[cursor_] <= next_; ++cursor_) {
        if (used_[cursor_] == next_) ++next_;
      }
      return next_++;
    }
    const Id id = next_;
    if (next_ == std::numeric_limits<Id>::max()) {
      StartFromBottom();
    } else {
      ++next_;
    }
    return id;
  }

 private:
  void StartFromBottom() {
    from_bottom_ = true;
    next_ = 1;
    std::sort(used_.begin(), used_.end());
  }

  std::vector<Id> used_;
  Id next_;
  bool from_bottom_ = false;
  size_t cursor_ = 0;
};

// Appends the playlist dataset `pl` rewritten: its headers and non-index data records as read,
// then `indexes`, then the items of kept tracks (with their new positions), then `new_items`.
void AppendPlaylistDataset(const ImageView& image, const PlaylistDatasetLayout& pl,
                           const std::string& indexes, const IdIndex<uint32_t>& position_of,
                           const std::string& new_items, std::string* out) {
  const size_t start = out->size();
  const uint64_t lib_start = pl.library_offset - pl.dataset.offset;
  out->append(image.Slice(pl.dataset.offset, lib_start + pl.library_header_length));
  for (size_t i = 0; i + 5 < pl.data_records.size(); ++i) {
    out->append(image.Slice(pl.data_records[i].offset, pl.data_records[i].total_length));
  }
  *out += indexes;
  uint32_t items = 0;
  for (const ItemInfo& item : pl.items) {
    const uint32_t* position = position_of.Find(item.track_id);
    if (position == nullptr) continue;
    const size_t at = out->size();
    out->append(image.Slice(item.offset, item.total_length));
    PutFixed32(out, at + item.header_length + mhod::kPosition, *position);
    ++items;
  }
  *out += new_items;
  items += static_cast<uint32_t>(new_items.size() / mhip::kLength);

  const size_t lib = start + lib_start;
  PutFixed32(out, start + record::kTotalLength, static_cast<uint32_t>(out->size() - start));
  PutFixed32(out, lib + record::kTotalLength, static_cast<uint32_t>(out->size() - lib));
  PutFixed32(out, lib + mhyp::kItemCount, items);
}

// Where the file has an album list and track headers with room for an album id: the album of
// each new track (an existing one of the same name and artist, else a new record; none for a
// track without an album name) and the albums whose last track goes.
Status PlanAlbums(const ImageView& image, const DatabaseLayout& layout, const TrackArray& added,
                  const IdIndex<uint32_t>& kept, FreeIds<uint64_t>& persistent_ids,
                  std::optional<AlbumListLayout>* albums, std::vector<uint32_t>* album_ids,
                  LayoutUpdate* update) {
  const auto list = std::find_if(layout.datasets.begin(), layout.datasets.end(),
                                 [](const DatasetInfo& d) { return d.type == mhsd::kAlbumType; });
  // New tracks take the header length of the old ones: all must have room for the album.
  const bool named =
      !layout.tracks.empty() &&
      std::all_of(layout.tracks.begin(), layout.tracks.end(),
                  [](const TrackRecordInfo& t) { return t.header_length >= mhit::kAlbumId + 4; });
  if (list == layout.datasets.end() || !named) return Status::Ok();
  albums->emplace();
  AlbumListLayout& a = **albums;
  RETURN_IF_ERROR(ParseAlbumList(image, *list, &a));

  std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> tracks_of;  // before, after
  for (const TrackRecordInfo& t : layout.tracks) {
    const uint32_t album = DecodeFixed32(image.bytes().data() + t.offset + mhit::kAlbumId);
    if (album == 0) continue;
    auto& [before, after] = tracks_of[album];
    ++before;
    if (kept.Find(t.track_id)) ++after;
  }
  uint32_t largest = 0;
  std::map<std::pair<std::u16string, std::u16string>, uint32_t> by_name;
  for (const AlbumInfo& album : a.albums) {
    largest = std::max(largest, album.album_id);
    const auto it = tracks_of.find(album.album_id);
    if (it != tracks_of.end() && it->second.second == 0) {
      update->emptied_albums.insert(album.album_id);
    } else {
      by_name.emplace(std::make_pair(album.name, album.artist), album.album_id);
    }
  }
  for (size_t k = 0; k < added.size(); ++k) {
    const TrackInfo& t = *added[k];
    if (t.album.empty()) continue;
    auto [it, fresh] = by_name.emplace(std::make_pair(t.album, t.artist), 0);
    if (fresh) {
      if (largest == std::numeric_limits<uint32_t>::max()) {
        return Status::Refused("no album id is left for album \"" + Utf16ToUtf8(t.album) + "\"");
      }
      it->second = ++largest;
      update->new_albums +=
          BuildAlbumRecord(a.header_length, largest, persistent_ids.Take(), t.album, t.artist);
      ++update->new_album_count;
    }
    (*album_ids)[k] = it->second;
  }
  return Status::Ok();
}

}  // namespace

Status ITunesDatabase::StageAdding(const std::string& path, const TrackArray& added,
                                   StagedFile* staged) {
  return Rewrite(path, added, {}, staged);
}

Status ITunesDatabase::StageRemoving(const std::string& path, const TrackArray& removed,
                                     StagedFile* staged) {
  return Rewrite(path, {}, removed, staged);
}

Status ITunesDatabase::Rewrite(const std::string& path, const TrackArray& added,
                               const TrackArray& removed, StagedFile* staged) {
  if (!loaded_) return Status::Refused(path + ": no database was loaded; nothing was written");
  if (!writable_.ok()) {
    return Status::Refused(writable_.message() + "; nothing was written");
  }
  const ImageView image(image_);
  const DatabaseLayout& layout = layout_;
  // Id 0 is never handed out, so one id fewer than the range holds.
  if (added.size() >= std::numeric_limits<uint32_t>::max() - layout.track_count) {
    return Status::Refused(path + ": too many tracks for the database's ids; nothing was written");
  }
  std::vector<uint32_t> track_ids;
  std::vector<uint64_t> database_ids;
  if (!added.empty()) {
    track_ids.reserve(layout.tracks.size());
    database_ids.reserve(layout.tracks.size());
    for (const TrackRecordInfo& t : layout.tracks) {
      track_ids.push_back(t.track_id);
      uint64_t id = 0;
      if (image.U64(t.offset + mhit::kDatabaseId, "track record", &id).ok()) {
        database_ids.push_back(id);
      }
    }
  }
  FreeIds<uint32_t> next_track_id(std::move(track_ids), 1);
  FreeIds<uint64_t> next_database_id(std::move(database_ids), kFirstDatabaseId);

  std::unordered_set<uint32_t> removed_ids;
  for (const TrackInfo* t : removed) removed_ids.insert(t->trackId);
  std::vector<IdIndex<uint32_t>::Entry> places;  // kept track id -> new 1-based place
  places.reserve(layout.tracks.size());
  for (const TrackRecordInfo& record : layout.tracks) {
    if (!removed_ids.count(record.track_id)) {
      places.emplace_back(record.track_id, static_cast<uint32_t>(places.size() + 1));
    }
  }
  const uint32_t kept = static_cast<uint32_t>(places.size());
  const IdIndex<uint32_t> position_of(std::move(places));

  // New tracks take free ids and the places after the kept tracks.
  std::vector<uint64_t> new_database_ids;
  LayoutUpdate update;
  update.kept = &position_of;
  for (size_t k = 0; k < added.size(); ++k) {
    TrackInfo* track = added[k];
    track->trackId = next_track_id.Take();
    track->position = static_cast<int32_t>(kept + 1 + k);
    new_database_ids.push_back(next_database_id.Take());
    update.added_ids.push_back(track->trackId);
  }
  std::optional<AlbumListLayout> albums;
  std::vector<uint32_t> album_ids(added.size(), 0);
  if (!canonical_) {
    RETURN_IF_ERROR(PlanAlbums(image, layout, added, position_of, next_database_id, &albums,
                               &album_ids, &update));
  }
  // The sort keys computed so far are kept; only the new tracks' are computed.
  KeyedTracks keyed =
      removed.empty() ? trackList_.KeyedWith(added) : trackList_.KeyedWithout(removed);
  const uint32_t final_count = static_cast<uint32_t>(keyed.size());
  for (size_t i = 0; i < keyed.size(); ++i) {
    const uint32_t* place = position_of.Find(keyed.at(i)->trackId);
    if (place != nullptr) keyed.at(i)->position = static_cast<int32_t>(*place);
  }
  // The three-dataset layout has no jump tables.
  update.indexes = RegenerateIndexes(keyed, /*with_jumps=*/!canonical_);
  // The three-dataset layout: the five indexes in their fixed order, 120-byte items.
  std::string indexes;
  std::string new_items;
  if (canonical_) {
    for (const RegeneratedIndex& index : update.indexes) {
      indexes += BuildSortIndexRecord(index.type, index.entries);
    }
    for (const TrackInfo* track : added) {
      new_items += BuildPlaylistItem(track->trackId, static_cast<uint32_t>(track->position));
    }
  }
  const TrackRecordShape shape{
      canonical_ || layout.tracks.empty() ? mhit::kHeaderLength : layout.tracks[0].header_length,
      0};

  // Enough that the image is never copied again: items, and jump tables' new letters.
  uint64_t new_bytes = update.new_albums.size();
  for (const TrackInfo* track : added) {
    new_bytes += TrackRecordLength(*track, shape.header_length) +
                 layout.playlist_datasets.size() * (140 + 5 * mhod::kJumpEntryLength);
  }
  std::string out;
  ReserveLargeBuffer(&out, image_.size() + new_bytes);
  out.append(image.Slice(0, layout.header_length));
  size_t playlist_dataset = 0;
  for (const DatasetInfo& dataset : layout.datasets) {
    if (dataset.offset == layout.track_dataset.offset) {
      // Kept records as read, in runs, then the new ones.
      const size_t tracks_start = out.size();
      out.append(image.Slice(dataset.offset, layout.track_list_offset +
                                                 layout.track_list_header_length - dataset.offset));
      uint64_t run_start = 0;
      uint64_t run_end = 0;
      for (const TrackRecordInfo& record : layout.tracks) {
        if (removed_ids.count(record.track_id)) continue;
        if (record.offset != run_end) {
          out.append(image.Slice(run_start, run_end - run_start));
          run_start = record.offset;
        }
        run_end = record.offset + record.total_length;
      }
      out.append(image.Slice(run_start, run_end - run_start));
      for (size_t k = 0; k < added.size(); ++k) {
        AppendTrackRecord(*added[k], new_database_ids[k], &out,
                          {shape.header_length, album_ids[k]});
      }
      const uint64_t last = layout.tracks.empty()
                                ? layout.track_list_offset + layout.track_list_header_length
                                : layout.tracks.back().offset + layout.tracks.back().total_length;
      out.append(image.Slice(last, dataset.offset + dataset.total_length - last));
      PutFixed32(&out, tracks_start + record::kTotalLength,
                 static_cast<uint32_t>(out.size() - tracks_start));
      PutFixed32(&out, tracks_start + (layout.track_list_offset - dataset.offset) + mhlt::kCount,
                 final_count);
    } else if (dataset.type == mhsd::kPlaylistType || dataset.type == mhsd::kPodcastType) {
      const PlaylistDatasetLayout& pl = layout.playlist_datasets[playlist_dataset++];
      if (canonical_) {
        AppendPlaylistDataset(image, pl, indexes, position_of, new_items, &out);
      } else {
        RETURN_IF_ERROR(AppendUpdatedPlaylistDataset(image, pl, update, &out));
      }
    } else if (albums && dataset.offset == albums->dataset.offset) {
      AppendUpdatedAlbumList(image, *albums, update, &out);
    } else {
      out.append(image.Slice(dataset.offset, dataset.total_length));
    }
  }
  if (out.size() > std::numeric_limits<uint32_t>::max()) {
    return Status::Refused(path + ": the database would outgrow its 32-bit lengths");
  }
  PutFixed32(&out, record::kTotalLength, static_cast<uint32_t>(out.size()));

  const bool canonical = canonical_;
  return StagedFile::Stage(
      *env_, path, out,
      [final_count, canonical](std::string_view written) {
        return canonical ? VerifyWrittenDatabase(written, final_count)
                         : VerifyUpdatedDatabase(written, final_count);
      },
      staged);
}

}  // namespace tunewell
