#include "database/layout_update.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "database/coding.h"
#include "database/itunesdb_records.h"

namespace tunewell {

namespace {

const std::u16string& JumpField(SortType type, const TrackInfo& t) {
  switch (type) {
    case SortType::kArtist:
      return t.artist;
    case SortType::kAlbum:
      return t.album;
    case SortType::kGenre:
      return t.genre;
    case SortType::kComposer:
      return t.composer;
    case SortType::kTitle:
      break;
  }
  return t.title;
}

bool IsPunctuation(char16_t c) {
  if (c < 0x80) {
    return !((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'));
  }
  return c < 0xC0 || c == 0xD7 || c == 0xF7 || (c >= 0x2000 && c <= 0x206F);
}

void PatchLength(std::string* out, size_t start, size_t field) {
  PutFixed32(out, start + field, static_cast<uint32_t>(out->size() - start));
}

// Copies the items of `playlist`, leaving out those of removed tracks
// and the heads of podcasts that lost every episode. Returns how many it copied.
uint32_t AppendKeptItems(const ImageView& image, const PlaylistInfo& playlist,
                         const LayoutUpdate& update, std::string* out) {
  const auto kept = [&](const ItemInfo& item) { return update.kept->Find(item.track_id); };
  // Episodes per podcast before and after.
  std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> episodes;
  for (const ItemInfo& item : playlist.items) {
    if (item.group || item.group_parent == 0) continue;
    auto& [before, after] = episodes[item.group_parent];
    ++before;
    if (kept(item)) ++after;
  }
  uint32_t count = 0;
  for (const ItemInfo& item : playlist.items) {
    bool keep = kept(item) != nullptr;
    if (item.group && item.track_id == 0) {
      const auto it = episodes.find(item.item_id);
      keep = it == episodes.end() || it->second.second > 0;
    }
    if (!keep) continue;
    out->append(image.Slice(item.offset, item.total_length));
    ++count;
  }
  return count;
}

// Copies the data records of `playlist`; in the library, sort indexes and jump tables are
// regenerated in their place.
void AppendDataRecords(const ImageView& image, const PlaylistInfo& playlist, bool library,
                       const LayoutUpdate& update, std::string* out) {
  for (const DataRecordInfo& r : playlist.data_records) {
    const RegeneratedIndex* regenerated = nullptr;
    if (library && (r.type == mhod::kSortIndexType || r.type == mhod::kJumpTableType)) {
      const uint32_t sort_type = DecodeFixed32(image.bytes().data() + r.offset + mhod::kSortType);
      for (const RegeneratedIndex& index : update.indexes) {
        if (static_cast<uint32_t>(index.type) == sort_type) regenerated = &index;
      }
    }
    if (regenerated == nullptr) {
      out->append(image.Slice(r.offset, r.total_length));
    } else if (r.type == mhod::kSortIndexType) {
      *out += BuildSortIndexLike(image.Slice(r.offset, mhod::kEntries), regenerated->entries);
    } else {
      *out += BuildJumpTable(image.Slice(r.offset, mhod::kJumpEntries), regenerated->jumps);
    }
  }
}

// Appends the new tracks' items to the library, in the form of its existing items, positions
// continuing theirs. Returns how many it appended.
uint32_t AppendNewItems(const PlaylistInfo& library, uint32_t kept_items,
                        const LayoutUpdate& update, std::string* out) {
  uint32_t header_length = mhip::kHeaderLength;
  bool with_position = true;
  uint32_t next_position = kept_items;
  if (!library.items.empty()) {
    header_length = library.items.front().header_length;
    with_position = library.items.front().position >= 0;
    next_position = 0;
    for (const ItemInfo& item : library.items) {
      if (item.position >= 0) {
        next_position = std::max(next_position, static_cast<uint32_t>(item.position) + 1);
      }
    }
  }
  for (uint32_t id : update.added_ids) {
    *out += BuildItemLike(header_length, id,
                          with_position ? std::optional<uint32_t>(next_position++) : std::nullopt);
  }
  return static_cast<uint32_t>(update.added_ids.size());
}

void AppendPlaylist(const ImageView& image, const PlaylistInfo& playlist, bool library,
                    const LayoutUpdate& update, std::string* out) {
  const size_t start = out->size();
  out->append(image.Slice(playlist.offset, playlist.header_length));
  AppendDataRecords(image, playlist, library, update, out);
  uint32_t items = AppendKeptItems(image, playlist, update, out);
  if (library) items += AppendNewItems(playlist, items, update, out);
  const uint64_t end = playlist.offset + playlist.total_length;
  const uint64_t records_end =
      playlist.items.empty()
          ? (playlist.data_records.empty()
                 ? playlist.offset + playlist.header_length
                 : playlist.data_records.back().offset + playlist.data_records.back().total_length)
          : playlist.items.back().offset + playlist.items.back().total_length;
  out->append(image.Slice(records_end, end - records_end));
  PatchLength(out, start, record::kTotalLength);
  PutFixed32(out, start + mhyp::kItemCount, items);
}

}  // namespace

char16_t JumpLetter(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsPunctuation(text[i])) ++i;
  if (i == text.size()) return u'0';
  const char16_t c = text[i];
  if (c >= u'0' && c <= u'9') return u'0';
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  return c;
}

std::vector<RegeneratedIndex> RegenerateIndexes(KeyedTracks& keyed, bool with_jumps) {
  std::vector<RegeneratedIndex> out;
  for (SortType type : kSortIndexOrder) {
    keyed.Sort(type);
    RegeneratedIndex& index = out.emplace_back(RegeneratedIndex{type, {}, {}});
    index.entries.resize(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i) {
      const TrackInfo& track = *keyed.at(i);
      index.entries[i] = static_cast<uint32_t>(track.position - 1);
      if (!with_jumps) continue;
      const char16_t letter = JumpLetter(JumpField(type, track));
      if (index.jumps.empty() || index.jumps.back().letter != letter) {
        index.jumps.push_back({.letter = letter, .first = static_cast<uint32_t>(i), .run = 0});
      }
      ++index.jumps.back().run;
    }
  }
  return out;
}

Status AppendUpdatedPlaylistDataset(const ImageView& image, const PlaylistDatasetLayout& pl,
                                    const LayoutUpdate& update, std::string* out) {
  std::vector<PlaylistInfo> playlists;
  RETURN_IF_ERROR(ParsePlaylists(image, pl, &playlists));
  const size_t start = out->size();
  const uint64_t lists = pl.playlist_list_offset + pl.playlist_list_header_length;
  out->append(image.Slice(pl.dataset.offset, lists - pl.dataset.offset));
  uint64_t end = lists;
  for (size_t i = 0; i < playlists.size(); ++i) {
    AppendPlaylist(image, playlists[i], i == 0, update, out);
    end = playlists[i].offset + playlists[i].total_length;
  }
  out->append(image.Slice(end, pl.dataset.offset + pl.dataset.total_length - end));
  PatchLength(out, start, record::kTotalLength);
  return Status::Ok();
}

void AppendUpdatedAlbumList(const ImageView& image, const AlbumListLayout& albums,
                            const LayoutUpdate& update, std::string* out) {
  const size_t start = out->size();
  const uint64_t first = albums.list_offset + albums.list_header_length;
  out->append(image.Slice(albums.dataset.offset, first - albums.dataset.offset));
  uint32_t count = 0;
  for (const AlbumInfo& album : albums.albums) {
    if (update.emptied_albums.count(album.album_id)) continue;
    out->append(image.Slice(album.offset, album.total_length));
    ++count;
  }
  *out += update.new_albums;
  count += update.new_album_count;
  out->append(image.Slice(albums.albums_end,
                          albums.dataset.offset + albums.dataset.total_length - albums.albums_end));
  PatchLength(out, start, record::kTotalLength);
  PutFixed32(out, start + (albums.list_offset - albums.dataset.offset) + mhla::kCount, count);
}

}  // namespace tunewell
