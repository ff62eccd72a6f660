// Rewrites a loaded iTunesDB by copying: kept records go out byte for byte, new track records and
// items are appended, removed ones left out, the five sort indexes regenerated, and the length
// and count fields of the enclosing records set to what was actually written.

#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "database/byte_order.h"
#include "database/database_check.h"
#include "database/itunes_database.h"
#include "database/record_builders.h"
#include "database/track_order.h"
#include "platform/replace_file.h"

namespace tunewell {

namespace {

// Database id of the first track of a database that holds none.
constexpr uint64_t kFirstDatabaseId = 0x5457'0000'0000'0001;

constexpr size_t kTotalLengthField = 8;
constexpr size_t kCountField = 8;
constexpr size_t kItemCountField = 16;
constexpr size_t kDatabaseIdField = 112;

struct NextIds {
  uint32_t track_id = 1;
  uint64_t database_id = kFirstDatabaseId;
};

// Above the largest ids in the file, so that no two tracks can ever share one.
NextIds ChooseIds(const ImageView& image, const DatabaseLayout& layout) {
  NextIds next;
  if (layout.tracks.empty()) return next;
  uint32_t max_track = 0;
  uint64_t max_database = 0;
  for (const TrackRecordInfo& t : layout.tracks) {
    max_track = std::max(max_track, t.track_id);
    uint64_t id = 0;
    if (image.U64(t.offset + kDatabaseIdField, "track record", &id).ok()) {
      max_database = std::max(max_database, id);
    }
  }
  next.track_id = max_track + 1;
  next.database_id = max_database + 1;
  return next;
}

// Appends the playlist dataset `pl` rewritten: its headers and non-index data records as read,
// then `indexes`, then the items of kept tracks (with their new positions), then `new_items`.
void AppendPlaylistDataset(const ImageView& image, const PlaylistDatasetLayout& pl,
                           const std::string& indexes,
                           const std::unordered_map<uint32_t, uint32_t>& position_of,
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
    auto it = position_of.find(item.track_id);
    if (it == position_of.end()) continue;
    const size_t at = out->size();
    out->append(image.Slice(item.offset, item.total_length));
    SetU32(out, at + item.header_length + 24, it->second);
    ++items;
  }
  *out += new_items;
  items += static_cast<uint32_t>(new_items.size() / kItemLength);

  const size_t lib = start + lib_start;
  SetU32(out, start + kTotalLengthField, static_cast<uint32_t>(out->size() - start));
  SetU32(out, lib + kTotalLengthField, static_cast<uint32_t>(out->size() - lib));
  SetU32(out, lib + kItemCountField, items);
}

}  // namespace

Status ITunesDatabase::Save(const std::string& path, const TrackArray& tracks, bool adding) {
  StagedFile staged;
  RETURN_IF_ERROR(Stage(path, tracks, adding, &staged));
  return staged.Commit(path + ".bak");
}

Status ITunesDatabase::Stage(const std::string& path, const TrackArray& tracks, bool adding,
                             StagedFile* staged) {
  if (!loaded_) return Status::Refused(path + ": no database was loaded; nothing was written");
  if (!writable_.ok()) {
    return Status::Refused(writable_.message() + "; nothing was written");
  }
  const ImageView image(image_);
  const DatabaseLayout& layout = layout_;

  // Which old records stay.
  std::unordered_set<uint32_t> removed_ids;
  if (!adding) {
    for (const TrackInfo* t : tracks) removed_ids.insert(t->trackId);
  }
  std::string track_records;
  std::unordered_map<uint32_t, uint32_t> position_of;  // kept track id -> new 1-based place
  uint32_t place = 0;
  for (const TrackRecordInfo& record : layout.tracks) {
    if (removed_ids.count(record.track_id)) continue;
    track_records.append(image.Slice(record.offset, record.total_length));
    position_of[record.track_id] = ++place;
  }
  const uint32_t kept = place;

  // New tracks take the ids above every id in the file and the places after the kept tracks.
  TrackArray final_tracks;
  std::string new_items;
  if (adding) {
    const NextIds next = ChooseIds(image, layout);
    if (tracks.size() > std::numeric_limits<uint32_t>::max() - kept ||
        tracks.size() > uint64_t{std::numeric_limits<uint32_t>::max()} - next.track_id) {
      return Status::Refused(path +
                             ": too many tracks for the database's ids; nothing was written");
    }
    for (size_t k = 0; k < tracks.size(); ++k) {
      TrackInfo* track = tracks[k];
      track->trackId = next.track_id + static_cast<uint32_t>(k);
      track->position = static_cast<int32_t>(kept + 1 + k);
      AppendTrackRecord(*track, next.database_id + k, &track_records);
      new_items += BuildPlaylistItem(track->trackId, static_cast<uint32_t>(track->position));
    }
    final_tracks = trackList_.With(tracks);
  } else {
    final_tracks = trackList_.Without(tracks);
  }
  for (TrackInfo* track : final_tracks) {
    auto it = position_of.find(track->trackId);
    if (it != position_of.end()) track->position = static_cast<int32_t>(it->second);
  }

  // The five indexes, each sort starting from the order the one before left.
  std::string indexes;
  KeyedTracks keyed(final_tracks);
  std::vector<uint32_t> entries(keyed.size());
  for (SortType type : kSortIndexOrder) {
    keyed.Sort(type);
    for (size_t i = 0; i < keyed.size(); ++i) {
      entries[i] = static_cast<uint32_t>(keyed.at(i)->position - 1);
    }
    indexes += BuildSortIndexRecord(type, entries);
  }

  // Database header, track dataset, both playlist datasets.
  std::string out;
  out.reserve(image_.size() + track_records.size() + 2 * (new_items.size() + indexes.size()));
  out.append(image.Slice(0, layout.header_length));
  const size_t tracks_start = out.size();
  out.append(image.Slice(
      layout.track_dataset.offset,
      layout.track_list_offset + layout.track_list_header_length - layout.track_dataset.offset));
  out += track_records;
  SetU32(&out, tracks_start + kTotalLengthField, static_cast<uint32_t>(out.size() - tracks_start));
  SetU32(&out,
         tracks_start + (layout.track_list_offset - layout.track_dataset.offset) + kCountField,
         static_cast<uint32_t>(final_tracks.size()));
  for (const PlaylistDatasetLayout& pl : layout.playlist_datasets) {
    AppendPlaylistDataset(image, pl, indexes, position_of, new_items, &out);
  }
  if (out.size() > std::numeric_limits<uint32_t>::max()) {
    return Status::Refused(path + ": the database would outgrow its 32-bit lengths");
  }
  SetU32(&out, kTotalLengthField, static_cast<uint32_t>(out.size()));

  const uint32_t expected = static_cast<uint32_t>(final_tracks.size());
  return StagedFile::Stage(
      *env_, path, out,
      [expected](std::string_view written) { return VerifyWrittenDatabase(written, expected); },
      staged);
}

}  // namespace tunewell
