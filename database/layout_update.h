#pragma once

// The parts of a rewrite that only databases of other layouts than the three-dataset one have:
// every playlist, sort indexes in the file's own order with their jump tables, podcast groups
// and the album list. Kept records go out byte for byte; only enclosing lengths and counts change.

#include <string>
#include <unordered_set>
#include <vector>

#include "database/album_list.h"
#include "database/database_layout.h"
#include "database/id_index.h"
#include "database/record_builders.h"
#include "database/track_order.h"

namespace tunewell {

// One sort order over the tracks as written: their 0-based places in it and its jump entries.
struct RegeneratedIndex {
  SortType type;
  std::vector<uint32_t> entries;
  std::vector<JumpEntry> jumps;
};

// The five orders of `keyed`, whose tracks' positions must be their 1-based places; their jump
// entries only when `with_jumps`.
std::vector<RegeneratedIndex> RegenerateIndexes(KeyedTracks& keyed, bool with_jumps);

// The letter a jump table files `text` under.
char16_t JumpLetter(std::u16string_view text);

// What the rewrite changes in playlists and albums.
struct LayoutUpdate {
  const IdIndex<uint32_t>* kept = nullptr;  // ids of the tracks kept
  std::vector<uint32_t> added_ids;          // of the new tracks, in order
  std::vector<RegeneratedIndex> indexes;
  std::unordered_set<uint32_t> emptied_albums;  // ids of albums whose last track went
  std::string new_albums;                       // their records
  uint32_t new_album_count = 0;
};

// Appends the playlist dataset `pl` with its library's indexes regenerated and the new tracks
// listed there, and every playlist's items of removed tracks (and podcasts left without an
// episode) left out.
Status AppendUpdatedPlaylistDataset(const ImageView& image, const PlaylistDatasetLayout& pl,
                                    const LayoutUpdate& update, std::string* out);

// Appends the album list with emptied albums left out and new ones added.
void AppendUpdatedAlbumList(const ImageView& image, const AlbumListLayout& albums,
                            const LayoutUpdate& update, std::string* out);

}  // namespace tunewell
