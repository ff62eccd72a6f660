#include "player/contents_rows.h"

namespace tunewell {

std::vector<ContentsRow> BuildRows(const TrackArray& tracks) {
  std::vector<ContentsRow> rows;
  if (tracks.empty()) {
    rows.push_back(ContentsRow{-1, false, false, false, u"", nullptr});
    rows.push_back(ContentsRow{-1, false, false, false, std::u16string(kNoMusicNotice), nullptr});
    return rows;
  }
  rows.reserve(tracks.size() * 2 + 1);
  rows.push_back(ContentsRow{0, true, false, false, std::u16string(kMusicRowText), nullptr});
  bool first = true;
  std::u16string last_artist;
  std::u16string last_album;
  for (TrackInfo* track : tracks) {
    const std::u16string artist =
        track->artist.empty() ? std::u16string(kUnknownArtist) : track->artist;
    const std::u16string album =
        track->album.empty() ? std::u16string(kUnknownAlbum) : track->album;
    const bool new_artist = first || artist != last_artist;
    if (new_artist) rows.push_back(ContentsRow{1, true, false, false, artist, nullptr});
    // A new artist always opens its own album group, even when the album title repeats the one
    // before: otherwise its tracks would hang under the previous artist's album.
    if (new_artist || album != last_album) {
      rows.push_back(ContentsRow{2, true, false, false, album, nullptr});
    }
    rows.push_back(ContentsRow{3, false, false, false, track->title, track});
    last_artist = artist;
    last_album = album;
    first = false;
  }
  return rows;
}

}  // namespace tunewell
