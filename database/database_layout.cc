#include "database/database_layout.h"

#include <algorithm>
#include <string>
#include <utility>

#include "database/album_list.h"
#include "database/coding.h"
#include "database/hash58.h"
#include "database/itunesdb_records.h"
#include "database/track_order.h"

namespace tunewell {

namespace {

// The end of the position field in a position record.
constexpr uint32_t kPositionFieldEnd = mhod::kPosition + 4;

// Reads the header and total length of the record at `offset` and checks that the record lies
// inside [offset, end).
Status ReadLengths(const ImageView& image, uint64_t offset, uint64_t end, const char* what,
                   uint32_t min_header, uint32_t* header, uint32_t* total) {
  RETURN_IF_ERROR(image.U32(offset + record::kHeaderLength, what, header));
  RETURN_IF_ERROR(image.U32(offset + record::kTotalLength, what, total));
  if (*header < min_header) {
    return CorruptionAt(offset, what, "header length " + std::to_string(*header) + " is too short");
  }
  if (*total < *header) {
    return CorruptionAt(offset, what,
                        "total length " + std::to_string(*total) + " is below its header length " +
                            std::to_string(*header));
  }
  if (offset + *total > end) {
    return CorruptionAt(offset, what,
                        "total length " + std::to_string(*total) +
                            " runs past its container's end at " + std::to_string(end));
  }
  return Status::Ok();
}

Status ParseItem(const ImageView& image, uint64_t o, uint64_t end, ItemInfo* item) {
  item->offset = o;
  RETURN_IF_ERROR(ReadLengths(image, o, end, "playlist item", mhip::kMinHeader,
                              &item->header_length, &item->total_length));
  RETURN_IF_ERROR(image.U32(o + mhip::kTrackId, "playlist item", &item->track_id));
  if (item->header_length >= mhip::kGroupParent + 4) {
    const char* h = image.bytes().data() + o;
    item->group = (DecodeFixed32(h + mhip::kGroup) & mhip::kGroupFlag) != 0;
    item->item_id = DecodeFixed32(h + mhip::kUnknown526);
    item->group_parent = DecodeFixed32(h + mhip::kGroupParent);
  }
  const uint64_t child = o + item->header_length;
  uint32_t child_type = 0;
  if (item->total_length - item->header_length >= kPositionFieldEnd &&
      image.HasTag(child, "mhod") &&
      image.U32(child + mhod::kType, "position record", &child_type).ok() &&
      child_type == mhod::kPositionType) {
    uint32_t position = 0;
    RETURN_IF_ERROR(image.U32(child + mhod::kPosition, "position record", &position));
    item->position = static_cast<int32_t>(position);
  }
  return Status::Ok();
}

// The playlist at `o`, which must end by `end`: its lengths, data records and items.
Status ParsePlaylist(const ImageView& image, uint64_t o, uint64_t end, bool library,
                     PlaylistInfo* out) {
  const char* what = library ? "library playlist" : "playlist";
  RETURN_IF_ERROR(image.ExpectTag(o, "mhyp"));
  RETURN_IF_ERROR(
      ReadLengths(image, o, end, what, mhyp::kMinHeader, &out->header_length, &out->total_length));
  uint32_t data_count = 0;
  uint32_t item_count = 0;
  RETURN_IF_ERROR(image.U32(o + mhyp::kDataCount, what, &data_count));
  RETURN_IF_ERROR(image.U32(o + mhyp::kItemCount, what, &item_count));
  out->offset = o;
  const uint64_t playlist_end = o + out->total_length;
  // Counts are only trusted as far as the records they promise could fit.
  out->items.reserve(std::min<uint64_t>(item_count, out->total_length / mhip::kMinHeader));
  const char* record_what = library ? "library playlist data record" : "playlist data record";
  o += out->header_length;
  for (uint32_t i = 0; i < data_count; ++i) {
    RETURN_IF_ERROR(image.ExpectTag(o, "mhod"));
    DataRecordInfo record;
    uint32_t record_header = 0;
    RETURN_IF_ERROR(ReadLengths(image, o, playlist_end, record_what, mhod::kMinLength,
                                &record_header, &record.total_length));
    RETURN_IF_ERROR(image.U32(o + mhod::kType, record_what, &record.type));
    record.offset = o;
    out->data_records.push_back(record);
    o += record.total_length;
  }
  for (uint32_t i = 0; i < item_count; ++i) {
    RETURN_IF_ERROR(image.ExpectTag(o, "mhip"));
    ItemInfo item;
    RETURN_IF_ERROR(ParseItem(image, o, playlist_end, &item));
    out->items.push_back(item);
    o += item.total_length;
  }
  return Status::Ok();
}

Status ParsePlaylistDataset(const ImageView& image, const DatasetInfo& dataset,
                            PlaylistDatasetLayout* out) {
  out->dataset = dataset;
  const uint64_t end = dataset.offset + dataset.total_length;
  const uint64_t list = dataset.offset + dataset.header_length;
  RETURN_IF_ERROR(image.ExpectTag(list, "mhlp"));
  uint32_t list_header = 0;
  RETURN_IF_ERROR(image.U32(list + record::kHeaderLength, "playlist list", &list_header));
  RETURN_IF_ERROR(image.U32(list + mhlp::kCount, "playlist list", &out->playlist_count));
  if (list_header < mhlp::kMinHeader || list + list_header > end) {
    return CorruptionAt(
        list, "playlist list",
        "header length " + std::to_string(list_header) + " does not fit its dataset");
  }
  out->playlist_list_offset = list;
  out->playlist_list_header_length = list_header;
  if (out->playlist_count == 0) return Status::Ok();

  PlaylistInfo library;
  RETURN_IF_ERROR(ParsePlaylist(image, list + list_header, end, true, &library));
  out->library_offset = library.offset;
  out->library_header_length = library.header_length;
  out->library_total_length = library.total_length;
  out->data_records = std::move(library.data_records);
  out->items = std::move(library.items);
  return Status::Ok();
}

}  // namespace

Status ParseLayout(const ImageView& image, DatabaseLayout* layout) {
  *layout = DatabaseLayout();
  RETURN_IF_ERROR(image.ExpectTag(0, "mhbd"));
  RETURN_IF_ERROR(image.U32(record::kHeaderLength, "database header", &layout->header_length));
  RETURN_IF_ERROR(image.U32(record::kTotalLength, "database header", &layout->file_length));
  if (layout->header_length < mhbd::kMinHeader || layout->header_length > image.size()) {
    return CorruptionAt(0, "database header",
                        "header length " + std::to_string(layout->header_length) + " does not fit");
  }
  if (layout->file_length > image.size() || layout->file_length < layout->header_length) {
    return CorruptionAt(0, "database header",
                        "total length " + std::to_string(layout->file_length) +
                            " does not match the file's " + std::to_string(image.size()) +
                            " bytes");
  }

  const uint64_t end = layout->file_length;
  bool have_tracks = false;
  for (uint64_t o = layout->header_length; o < end;) {
    RETURN_IF_ERROR(image.ExpectTag(o, "mhsd"));
    DatasetInfo dataset;
    dataset.offset = o;
    RETURN_IF_ERROR(ReadLengths(image, o, end, "dataset", mhsd::kMinHeader, &dataset.header_length,
                                &dataset.total_length));
    RETURN_IF_ERROR(image.U32(o + mhsd::kType, "dataset", &dataset.type));
    layout->datasets.push_back(dataset);
    if (dataset.type == mhsd::kTrackType && !have_tracks) {
      layout->track_dataset = dataset;
      have_tracks = true;
    }
    o += dataset.total_length;
  }
  if (!have_tracks)
    return CorruptionAt(layout->header_length, "database", "it has no track dataset");

  // Tracks.
  const DatasetInfo& tracks = layout->track_dataset;
  const uint64_t tracks_end = tracks.offset + tracks.total_length;
  const uint64_t list = tracks.offset + tracks.header_length;
  RETURN_IF_ERROR(image.ExpectTag(list, "mhlt"));
  RETURN_IF_ERROR(
      image.U32(list + record::kHeaderLength, "track list", &layout->track_list_header_length));
  RETURN_IF_ERROR(image.U32(list + mhlt::kCount, "track list", &layout->track_count));
  if (layout->track_list_header_length < mhlt::kMinHeader ||
      list + layout->track_list_header_length > tracks_end) {
    return CorruptionAt(list, "track list", "header length does not fit its dataset");
  }
  layout->track_list_offset = list;
  uint64_t o = list + layout->track_list_header_length;
  // A count larger than the records present fails at the first missing record; do not let it
  // reserve memory first.
  layout->tracks.reserve(std::min<uint64_t>(layout->track_count, image.size() / mhit::kMinHeader));
  for (uint32_t i = 0; i < layout->track_count; ++i) {
    RETURN_IF_ERROR(image.ExpectTag(o, "mhit"));
    TrackRecordInfo track;
    track.offset = o;
    RETURN_IF_ERROR(ReadLengths(image, o, tracks_end, "track record", mhit::kMinHeader,
                                &track.header_length, &track.total_length));
    RETURN_IF_ERROR(image.U32(o + mhit::kStringCount, "track record", &track.string_count));
    RETURN_IF_ERROR(image.U32(o + mhit::kTrackId, "track record", &track.track_id));
    layout->tracks.push_back(track);
    o += track.total_length;
  }

  // Playlist datasets.
  for (const DatasetInfo& dataset : layout->datasets) {
    if (dataset.type != mhsd::kPlaylistType && dataset.type != mhsd::kPodcastType) continue;
    PlaylistDatasetLayout parsed;
    RETURN_IF_ERROR(ParsePlaylistDataset(image, dataset, &parsed));
    layout->playlist_datasets.push_back(std::move(parsed));
  }
  for (uint32_t wanted : {mhsd::kPlaylistType, mhsd::kPodcastType}) {
    for (size_t i = 0; i < layout->playlist_datasets.size() && !layout->library_dataset; ++i) {
      if (layout->playlist_datasets[i].dataset.type == wanted) layout->library_dataset = i;
    }
  }
  return Status::Ok();
}

Status ParsePlaylists(const ImageView& image, const PlaylistDatasetLayout& pl,
                      std::vector<PlaylistInfo>* playlists) {
  playlists->clear();
  const uint64_t end = pl.dataset.offset + pl.dataset.total_length;
  uint64_t o = pl.playlist_list_offset + pl.playlist_list_header_length;
  for (uint32_t i = 0; i < pl.playlist_count; ++i) {
    PlaylistInfo playlist;
    RETURN_IF_ERROR(ParsePlaylist(image, o, end, i == 0, &playlist));
    o += playlist.total_length;
    playlists->push_back(std::move(playlist));
  }
  return Status::Ok();
}

namespace {

Status NotRewritable(uint64_t offset, const std::string& problem) {
  return Status::Refused("the database has a layout this program does not rewrite (" + problem +
                         ", at offset " + std::to_string(offset) + ")");
}

// Track headers long enough for the ids the writer reads, each id used once; `ids` sorted.
Status CheckTracks(const ImageView& image, const DatabaseLayout& layout,
                   std::vector<uint32_t>* ids) {
  if (layout.file_length != image.size()) {
    return NotRewritable(record::kTotalLength, "the file is longer than its database header says");
  }
  for (const TrackRecordInfo& t : layout.tracks) {
    if (t.header_length < mhit::kMinRewrittenHeader)
      return NotRewritable(t.offset, "a track header too short for its ids");
  }
  // Items and removals find tracks by id: a repeated id makes both ambiguous.
  std::vector<std::pair<uint32_t, uint64_t>> by_id;
  by_id.reserve(layout.tracks.size());
  for (const TrackRecordInfo& t : layout.tracks) by_id.emplace_back(t.track_id, t.offset);
  std::sort(by_id.begin(), by_id.end());
  ids->clear();
  ids->reserve(by_id.size());
  for (size_t i = 0; i < by_id.size(); ++i) {
    if (i > 0 && by_id[i].first == by_id[i - 1].first) {
      return NotRewritable(by_id[i].second,
                           "track id " + std::to_string(by_id[i].first) + " is used twice");
    }
    ids->push_back(by_id[i].first);
  }
  return Status::Ok();
}

Status CheckLibrary(const ImageView& image, const DatabaseLayout& layout,
                    const PlaylistDatasetLayout& pl, const std::vector<uint32_t>& ids) {
  const uint32_t n = layout.track_count;
  if (pl.playlist_count != 1) {
    return NotRewritable(
        pl.playlist_list_offset,
        std::to_string(pl.playlist_count) + " playlists where only the library is expected");
  }
  uint64_t sum = pl.library_header_length;
  for (const DataRecordInfo& r : pl.data_records) sum += r.total_length;
  for (const ItemInfo& item : pl.items) sum += item.total_length;
  if (sum != pl.library_total_length) {
    return NotRewritable(pl.library_offset, "the library playlist holds more than its records");
  }
  if (uint64_t{pl.dataset.header_length} + pl.playlist_list_header_length +
          pl.library_total_length !=
      pl.dataset.total_length) {
    return NotRewritable(pl.dataset.offset,
                         "the playlist dataset holds more than its library playlist");
  }
  const size_t d = pl.data_records.size();
  if (d < 5) return NotRewritable(pl.library_offset, "fewer than five sort indexes");
  for (size_t i = 0; i < d; ++i) {
    const DataRecordInfo& r = pl.data_records[i];
    const bool index_place = i >= d - 5;
    if (r.type == mhod::kJumpTableType) return NotRewritable(r.offset, "a jump table record");
    if ((r.type == mhod::kSortIndexType) != index_place) {
      return NotRewritable(r.offset, "sort indexes are not the last five data records");
    }
    if (index_place) {
      uint32_t entries = 0;
      Status s = image.U32(r.offset + mhod::kEntryCount, "sort index", &entries);
      if (!s.ok()) return s;
      if (entries != n || r.total_length != mhod::kEntries + uint64_t{4} * n) {
        return NotRewritable(r.offset, "a sort index that does not list every track");
      }
    }
  }
  if (pl.items.size() != n) {
    return NotRewritable(pl.library_offset,
                         "the library playlist does not hold one item per track");
  }
  for (const ItemInfo& item : pl.items) {
    if (item.total_length != mhip::kLength || item.position < 0) {
      return NotRewritable(item.offset, "a playlist item that is not 120 bytes with its position");
    }
  }
  // One item per track: the items' ids, sorted, are exactly the tracks' ids.
  std::vector<std::pair<uint32_t, uint64_t>> listed;
  listed.reserve(pl.items.size());
  for (const ItemInfo& item : pl.items) listed.emplace_back(item.track_id, item.offset);
  std::sort(listed.begin(), listed.end());
  for (size_t i = 0; i < listed.size(); ++i) {
    if (i > 0 && listed[i].first == listed[i - 1].first) {
      return NotRewritable(listed[i].second,
                           "track " + std::to_string(listed[i].first) + " is listed twice");
    }
    if (listed[i].first != ids[i]) {
      return NotRewritable(listed[i].second, "a playlist item naming track " +
                                                 std::to_string(listed[i].first) +
                                                 ", which is not in the database");
    }
  }
  return Status::Ok();
}

}  // namespace

Status CheckSignable(const ImageView& image, const DatabaseLayout& layout) {
  const std::string_view header = image.Slice(0, layout.header_length);
  const uint16_t scheme = SigningScheme(header);
  if (scheme > kHash58Scheme) {
    return Status::Refused("the database is signed with scheme " + std::to_string(scheme) +
                           ", which only the vendor's own software can renew (header at offset "
                           "0)");
  }
  if (scheme == kHash58Scheme && header.size() < mhbd::kSignedHeader) {
    return Status::Refused(
        "the database is signed, but its header is too short to hold the signature (header at "
        "offset 0)");
  }
  const std::string_view signature = header.size() > mhbd::kSignature
                                         ? header.substr(mhbd::kSignature, mhbd::kSignatureLength)
                                         : std::string_view();
  if (scheme == 0 && signature.find_first_not_of('\0') != std::string_view::npos) {
    return Status::Refused(
        "the database is signed under no signing scheme this program knows, so it cannot renew "
        "the signature (header at offset 0)");
  }
  return Status::Ok();
}

Status CheckWritableShape(const ImageView& image, const DatabaseLayout& layout) {
  if (layout.file_length != image.size()) {
    return NotRewritable(record::kTotalLength, "the file is longer than its database header says");
  }
  if (layout.datasets.size() != 3) {
    return NotRewritable(layout.header_length,
                         std::to_string(layout.datasets.size()) + " datasets where 3 are expected");
  }
  const uint32_t t1 = layout.datasets[1].type;
  const uint32_t t2 = layout.datasets[2].type;
  if (layout.datasets[0].type != mhsd::kTrackType ||
      !((t1 == mhsd::kPlaylistType && t2 == mhsd::kPodcastType) ||
        (t1 == mhsd::kPodcastType && t2 == mhsd::kPlaylistType))) {
    return NotRewritable(layout.header_length,
                         "datasets are not tracks followed by two playlist datasets");
  }
  uint64_t tracks_end = layout.track_list_offset + layout.track_list_header_length;
  for (const TrackRecordInfo& t : layout.tracks) tracks_end += t.total_length;
  if (tracks_end != layout.track_dataset.offset + layout.track_dataset.total_length) {
    return NotRewritable(tracks_end, "bytes after the last track record");
  }
  std::vector<uint32_t> ids;
  RETURN_IF_ERROR(CheckTracks(image, layout, &ids));

  const PlaylistDatasetLayout& a = layout.playlist_datasets[0];
  const PlaylistDatasetLayout& b = layout.playlist_datasets[1];
  if (a.dataset.header_length != b.dataset.header_length ||
      a.dataset.total_length != b.dataset.total_length ||
      a.playlist_list_header_length != b.playlist_list_header_length ||
      a.library_header_length != b.library_header_length ||
      a.library_total_length != b.library_total_length ||
      a.data_records.size() != b.data_records.size()) {
    return NotRewritable(b.dataset.offset, "the two playlist datasets do not mirror each other");
  }
  for (const PlaylistDatasetLayout* pl : {&a, &b}) {
    Status s = CheckLibrary(image, layout, *pl, ids);
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

}  // namespace tunewell

namespace tunewell {

Status CheckUpdatableShape(const ImageView& image, const DatabaseLayout& layout) {
  std::vector<uint32_t> ids;
  RETURN_IF_ERROR(CheckTracks(image, layout, &ids));
  // Early desktop software left them all 0; new ones are chosen apart from the rest.
  std::vector<std::pair<uint64_t, uint64_t>> database_ids;
  for (const TrackRecordInfo& t : layout.tracks) {
    const uint64_t id = DecodeFixed64(image.bytes().data() + t.offset + mhit::kDatabaseId);
    if (id != 0) database_ids.emplace_back(id, t.offset);
  }
  std::sort(database_ids.begin(), database_ids.end());
  for (size_t i = 1; i < database_ids.size(); ++i) {
    if (database_ids[i].first == database_ids[i - 1].first) {
      return NotRewritable(database_ids[i].second, "a database id used twice");
    }
  }
  bool has_library = false;
  std::vector<PlaylistInfo> playlists;
  for (const PlaylistDatasetLayout& pl : layout.playlist_datasets) {
    has_library = has_library || pl.playlist_count > 0;
    RETURN_IF_ERROR(ParsePlaylists(image, pl, &playlists));
    for (size_t p = 0; p < playlists.size(); ++p) {
      for (const DataRecordInfo& r : playlists[p].data_records) {
        if (r.type != mhod::kSortIndexType && r.type != mhod::kJumpTableType) continue;
        // Indexes elsewhere would point at places that adding and removing shift.
        if (p > 0) return NotRewritable(r.offset, "a sort index outside the library playlist");
        // Regenerated behind the same first bytes, which must not claim more than those.
        const uint32_t fixed = r.type == mhod::kSortIndexType ? mhod::kEntries : mhod::kJumpEntries;
        uint32_t header = 0;
        RETURN_IF_ERROR(image.U32(r.offset + record::kHeaderLength, "sort index", &header));
        if (r.total_length < fixed || header != mhod::kHeaderLength) {
          return NotRewritable(r.offset, "a sort index of another form");
        }
        uint32_t sort_type = 0;
        RETURN_IF_ERROR(image.U32(r.offset + mhod::kSortType, "sort index", &sort_type));
        if (!KnownSortType(sort_type)) {
          return NotRewritable(r.offset, "a sort index of sort type " + std::to_string(sort_type) +
                                             ", which this program cannot regenerate");
        }
      }
      for (const ItemInfo& item : playlists[p].items) {
        if (item.group && item.track_id == 0) continue;
        if (!std::binary_search(ids.begin(), ids.end(), item.track_id)) {
          return NotRewritable(item.offset, "a playlist item naming track " +
                                                std::to_string(item.track_id) +
                                                ", which is not in the database");
        }
      }
    }
  }
  if (!has_library) {
    return NotRewritable(layout.header_length, "no library playlist to list new tracks in");
  }
  for (const DatasetInfo& dataset : layout.datasets) {
    if (dataset.type != mhsd::kAlbumType) continue;
    AlbumListLayout albums;
    RETURN_IF_ERROR(ParseAlbumList(image, dataset, &albums));
    break;
  }
  return Status::Ok();
}

}  // namespace tunewell
