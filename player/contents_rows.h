#pragma once

// The rows of the iPod contents tree, Music > artist > album > track. Portable: the window that
// paints them is the plug-in's, the command line prints them.

#include <string>
#include <vector>

#include "track/track_info.h"

namespace tunewell {

inline constexpr std::u16string_view kMusicRowText = u"Music";
inline constexpr std::u16string_view kUnknownArtist = u"Unknown Artist";
inline constexpr std::u16string_view kUnknownAlbum = u"Unknown Album";
inline constexpr std::u16string_view kNoMusicNotice = u"There is no music on the iPod.";

struct ContentsRow {
  int level = 0;  // -1 for notice rows, 0 Music, 1 artist, 2 album, 3 track
  bool expandable = false;
  bool expanded = false;
  bool selected = false;
  std::u16string text;
  TrackInfo* track = nullptr;  // track rows only
};

// Rows for `tracks`, which are in display order. No tracks: a blank notice row and the
// "no music" notice. Otherwise "Music", then an artist row whenever the artist changes and an
// album row whenever the album or the artist changes, each track under them.
std::vector<ContentsRow> BuildRows(const TrackArray& tracks);

}  // namespace tunewell
