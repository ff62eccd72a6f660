// Rewrites a loaded iTunesDB by copying: kept records go out byte for byte, new track records and
// items are appended, removed ones left out, the sort indexes regenerated, and the length and
// count fields of the enclosing records set to what was actually written. Datasets go out in the
// file's order; what only other layouts hold is in layout_update.h.

#include <algorithm>
#include <iterator>
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

// The most one new track adds to a playlist dataset: its item in the library, its entry in each
// of the five sort indexes and a new letter in each of their jump tables.
constexpr uint64_t kPlaylistBytesPerNewTrack =
    mhip::kLength + std::size(kSortIndexOrder) * (mhod::kSortEntryLength + mhod::kJumpEntryLength);

// One rewrite of a loaded image. ITunesDatabase::Rewrite takes the steps in order: AssignIds,
// PlanAlbums (not in the three-dataset layout), SortIndexes, then WriteDatasets, which puts the
// track dataset (AppendTrackDataset) in its place among the others.
class Rewriter {
 public:
  Rewriter(const ImageView& image, const DatabaseLayout& layout, bool canonical,
           const TrackArray& added, const TrackArray& removed)
      : image_(image),
        layout_(layout),
        canonical_(canonical),
        added_(added),
        removed_(removed),
        // The three-dataset layout's own track header; elsewhere that of the file's tracks.
        track_header_length_(canonical || layout.tracks.empty() ? mhit::kHeaderLength
                                                                : layout.tracks[0].header_length),
        album_ids_(added.size(), 0) {}
  Rewriter(const Rewriter&) = delete;
  Rewriter& operator=(const Rewriter&) = delete;

  // Kept tracks keep their ids and close up; new tracks take free track and database ids and
  // the places after the kept ones.
  void AssignIds();
  // Where the file has an album list and track headers with room for an album id: the album of
  // each new track (an existing one of the same name and artist, else a new record; none for a
  // track without an album name) and the albums whose last track goes.
  Status PlanAlbums();
  // The tracks as written, in the five orders of the library's sort indexes. `list` keeps the
  // sort keys computed so far; only the new tracks' are computed.
  void SortIndexes(const TrackList& list);
  // Appends the file's header and its datasets in the file's order: kept records as read, the
  // new ones added, removed ones left out, enclosing lengths and counts set to what was written.
  // The header's total length is left to the caller.
  Status WriteDatasets(std::string* out) const;

  // Tracks in the rewritten file.
  uint32_t final_count() const { return final_count_; }

 private:
  // Kept track records as read, in runs, then the new ones.
  void AppendTrackDataset(const DatasetInfo& dataset, std::string* out) const;
  // Enough that the output is never copied again: new records, and jump tables' new letters.
  uint64_t NewBytes() const;

  const ImageView image_;
  const DatabaseLayout& layout_;
  const bool canonical_;
  const TrackArray& added_;
  const TrackArray& removed_;
  const uint32_t track_header_length_;

  std::unordered_set<uint32_t> removed_ids_;
  IdIndex<uint32_t> position_of_{{}};  // kept track id -> its new 1-based place
  // New albums' persistent ids are drawn from the database ids too.
  std::optional<FreeIds<uint64_t>> next_database_id_;
  std::vector<uint64_t> new_database_ids_;
  std::vector<uint32_t> album_ids_;  // of the new tracks; 0 for none
  std::optional<AlbumListLayout> albums_;
  LayoutUpdate update_;
  uint32_t final_count_ = 0;
};

void Rewriter::AssignIds() {
  std::vector<uint32_t> track_ids;
  std::vector<uint64_t> database_ids;
  if (!added_.empty()) {
    track_ids.reserve(layout_.tracks.size());
    database_ids.reserve(layout_.tracks.size());
    for (const TrackRecordInfo& t : layout_.tracks) {
      track_ids.push_back(t.track_id);
      uint64_t id = 0;
      if (image_.U64(t.offset + mhit::kDatabaseId, "track record", &id).ok()) {
        database_ids.push_back(id);
      }
    }
  }
  FreeIds<uint32_t> next_track_id(std::move(track_ids), 1);
  next_database_id_.emplace(std::move(database_ids), kFirstDatabaseId);

  for (const TrackInfo* t : removed_) removed_ids_.insert(t->trackId);
  std::vector<IdIndex<uint32_t>::Entry> places;
  places.reserve(layout_.tracks.size());
  for (const TrackRecordInfo& record : layout_.tracks) {
    if (!removed_ids_.count(record.track_id)) {
      places.emplace_back(record.track_id, static_cast<uint32_t>(places.size() + 1));
    }
  }
  const uint32_t kept = static_cast<uint32_t>(places.size());
  position_of_ = IdIndex<uint32_t>(std::move(places));
  update_.kept = &position_of_;

  for (size_t k = 0; k < added_.size(); ++k) {
    TrackInfo* track = added_[k];
    track->trackId = next_track_id.Take();
    track->position = static_cast<int32_t>(kept + 1 + k);
    new_database_ids_.push_back(next_database_id_->Take());
    update_.added_ids.push_back(track->trackId);
  }
}

Status Rewriter::PlanAlbums() {
  const auto list = std::find_if(layout_.datasets.begin(), layout_.datasets.end(),
                                 [](const DatasetInfo& d) { return d.type == mhsd::kAlbumType; });
  // New tracks take the header length of the old ones: all must have room for the album.
  const bool named =
      !layout_.tracks.empty() &&
      std::all_of(layout_.tracks.begin(), layout_.tracks.end(),
                  [](const TrackRecordInfo& t) { return t.header_length >= mhit::kAlbumId + 4; });
  if (list == layout_.datasets.end() || !named) return Status::Ok();
  AlbumListLayout& a = albums_.emplace();
  RETURN_IF_ERROR(ParseAlbumList(image_, *list, &a));

  std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> tracks_of;  // before, after
  for (const TrackRecordInfo& t : layout_.tracks) {
    const uint32_t album = DecodeFixed32(image_.bytes().data() + t.offset + mhit::kAlbumId);
    if (album == 0) continue;
    auto& [before, after] = tracks_of[album];
    ++before;
    if (position_of_.Find(t.track_id)) ++after;
  }
  uint32_t largest = 0;
  std::map<std::pair<std::u16string, std::u16string>, uint32_t> by_name;
  for (const AlbumInfo& album : a.albums) {
    largest = std::max(largest, album.album_id);
    const auto it = tracks_of.find(album.album_id);
    if (it != tracks_of.end() && it->second.second == 0) {
      update_.emptied_albums.insert(album.album_id);
    } else {
      by_name.emplace(std::make_pair(album.name, album.artist), album.album_id);
    }
  }
  for (size_t k = 0; k < added_.size(); ++k) {
    const TrackInfo& t = *added_[k];
    if (t.album.empty()) continue;
    auto [it, fresh] = by_name.emplace(std::make_pair(t.album, t.artist), 0);
    if (fresh) {
      if (largest == std::numeric_limits<uint32_t>::max()) {
        return Status::Refused("no album id is left for album \"" + Utf16ToUtf8(t.album) + "\"");
      }
      it->second = ++largest;
      update_.new_albums +=
          BuildAlbumRecord(a.header_length, largest, next_database_id_->Take(), t.album, t.artist);
      ++update_.new_album_count;
    }
    album_ids_[k] = it->second;
  }
  return Status::Ok();
}

void Rewriter::SortIndexes(const TrackList& list) {
  KeyedTracks keyed = removed_.empty() ? list.KeyedWith(added_) : list.KeyedWithout(removed_);
  final_count_ = static_cast<uint32_t>(keyed.size());
  for (size_t i = 0; i < keyed.size(); ++i) {
    const uint32_t* place = position_of_.Find(keyed.at(i)->trackId);
    if (place != nullptr) keyed.at(i)->position = static_cast<int32_t>(*place);
  }
  // The three-dataset layout has no jump tables.
  update_.indexes = RegenerateIndexes(keyed, /*with_jumps=*/!canonical_);
}

uint64_t Rewriter::NewBytes() const {
  uint64_t bytes = update_.new_albums.size();
  for (const TrackInfo* track : added_) {
    bytes += TrackRecordLength(*track, track_header_length_) +
             layout_.playlist_datasets.size() * kPlaylistBytesPerNewTrack;
  }
  return bytes;
}

void Rewriter::AppendTrackDataset(const DatasetInfo& dataset, std::string* out) const {
  const size_t start = out->size();
  const uint64_t list_end = layout_.track_list_offset + layout_.track_list_header_length;
  out->append(image_.Slice(dataset.offset, list_end - dataset.offset));
  uint64_t run_start = 0;
  uint64_t run_end = 0;
  for (const TrackRecordInfo& record : layout_.tracks) {
    if (removed_ids_.count(record.track_id)) continue;
    if (record.offset != run_end) {
      out->append(image_.Slice(run_start, run_end - run_start));
      run_start = record.offset;
    }
    run_end = record.offset + record.total_length;
  }
  out->append(image_.Slice(run_start, run_end - run_start));
  for (size_t k = 0; k < added_.size(); ++k) {
    AppendTrackRecord(*added_[k], new_database_ids_[k], out,
                      {.header_length = track_header_length_, .album_id = album_ids_[k]});
  }
  const uint64_t last = layout_.tracks.empty()
                            ? list_end
                            : layout_.tracks.back().offset + layout_.tracks.back().total_length;
  out->append(image_.Slice(last, dataset.offset + dataset.total_length - last));
  PutFixed32(out, start + record::kTotalLength, static_cast<uint32_t>(out->size() - start));
  PutFixed32(out, start + (layout_.track_list_offset - dataset.offset) + mhlt::kCount,
             final_count_);
}

Status Rewriter::WriteDatasets(std::string* out) const {
  // The three-dataset layout: the five indexes in their fixed order, 120-byte items.
  std::string indexes;
  std::string new_items;
  if (canonical_) {
    for (const RegeneratedIndex& index : update_.indexes) {
      indexes += BuildSortIndexRecord(index.type, index.entries);
    }
    for (const TrackInfo* track : added_) {
      new_items += BuildPlaylistItem(track->trackId, static_cast<uint32_t>(track->position));
    }
  }
  ReserveLargeBuffer(out, image_.size() + NewBytes());
  out->append(image_.Slice(0, layout_.header_length));
  size_t playlist_dataset = 0;
  for (const DatasetInfo& dataset : layout_.datasets) {
    if (dataset.offset == layout_.track_dataset.offset) {
      AppendTrackDataset(dataset, out);
    } else if (dataset.type == mhsd::kPlaylistType || dataset.type == mhsd::kPodcastType) {
      const PlaylistDatasetLayout& pl = layout_.playlist_datasets[playlist_dataset++];
      if (canonical_) {
        AppendPlaylistDataset(image_, pl, indexes, position_of_, new_items, out);
      } else {
        RETURN_IF_ERROR(AppendUpdatedPlaylistDataset(image_, pl, update_, out));
      }
    } else if (albums_ && dataset.offset == albums_->dataset.offset) {
      AppendUpdatedAlbumList(image_, *albums_, update_, out);
    } else {
      out->append(image_.Slice(dataset.offset, dataset.total_length));
    }
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
  if (mustSign() && !key_) {
    return Status::Refused(path + ": the database must be signed and no key for it was given; " +
                           "nothing was written");
  }
  // Id 0 is never handed out, so one id fewer than the range holds.
  if (added.size() >= std::numeric_limits<uint32_t>::max() - layout_.track_count) {
    return Status::Refused(path + ": too many tracks for the database's ids; nothing was written");
  }
  Rewriter rewriter(ImageView(image_), layout_, canonical_, added, removed);
  rewriter.AssignIds();
  if (!canonical_) RETURN_IF_ERROR(rewriter.PlanAlbums());
  rewriter.SortIndexes(trackList_);
  std::string out;
  RETURN_IF_ERROR(rewriter.WriteDatasets(&out));
  if (out.size() > std::numeric_limits<uint32_t>::max()) {
    return Status::Refused(path + ": the database would outgrow its 32-bit lengths");
  }
  PutFixed32(&out, record::kTotalLength, static_cast<uint32_t>(out.size()));
  // Last: the signature covers every other byte.
  if (mustSign()) RETURN_IF_ERROR(SignHash58(*key_, &out).Prefixed(path));

  const uint32_t final_count = rewriter.final_count();
  const bool canonical = canonical_;
  const std::optional<Hash58Key> key = mustSign() ? key_ : std::nullopt;
  return StagedFile::Stage(
      *env_, path, out,
      [final_count, canonical, key](std::string_view written) {
        Status s = canonical ? VerifyWrittenDatabase(written, final_count)
                             : VerifyUpdatedDatabase(written, final_count);
        if (s.ok() && key) s = CheckHash58(*key, written);
        return s;
      },
      staged);
}

}  // namespace tunewell
