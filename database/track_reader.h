#pragma once

#include "database/database_layout.h"
#include "track/track_info.h"

namespace tunewell {

// String record types kept when reading tracks, and written for new ones.
enum StringType : uint32_t {
  kTitleString = 1,
  kPathString = 2,
  kAlbumString = 3,
  kArtistString = 4,
  kGenreString = 5,
  kKindString = 6,
  kComposerString = 12,
};

// Makes one TrackInfo per track record, in file order: id, track number and the title, path,
// album, artist, genre and composer texts; position from the library playlist's item (the first
// track with the item's id), -1 without one. A track header too short for a field leaves the
// field as constructed.
Status ReadTracks(const ImageView& image, const DatabaseLayout& layout, OwnedTracks* tracks);

// The text of the string record at `o`, whose total length `total` has been checked to fit.
Status ReadStringText(const ImageView& image, uint64_t o, uint32_t total, std::u16string* text);

}  // namespace tunewell
