#pragma once

// The one track maker of the tests.

#include <memory>
#include <string>
#include <vector>

#include "track/track_info.h"

namespace tunewell::fixture {

// A track as a sync hands it to the database: kind "MPEG audio file", path an iPod location
// named after the first four characters of the title.
inline TrackInfo MakeTrack(std::u16string title, std::u16string artist, std::u16string album,
                           int32_t number = 0) {
  TrackInfo t;
  t.path = u":iPod_Control:Music:F00:" + title.substr(0, 4) + u".mp3";
  t.title = std::move(title);
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.trackNumber = number;
  t.kind = std::u16string(kMpegAudioFileKind);
  return t;
}

// The array the core takes, over tracks owned elsewhere.
inline TrackArray ArrayOf(std::vector<TrackInfo>& tracks) {
  TrackArray array;
  for (TrackInfo& t : tracks) array.push_back(&t);
  return array;
}
inline TrackArray ArrayOf(const OwnedTracks& tracks) {
  TrackArray array;
  for (const auto& t : tracks) array.push_back(t.get());
  return array;
}

}  // namespace tunewell::fixture
