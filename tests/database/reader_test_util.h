#pragma once

// Shared by the reader's tests: fixture images loaded through the real parse path.

#include <string>
#include <string_view>
#include <vector>

#include "database/database_layout.h"
#include "database/image_view.h"
#include "database/itunes_database.h"
#include "database/track_reader.h"
#include "platform/memory/memory_env.h"
#include "tests/support/itunesdb_fixture.h"

namespace tunewell {

inline constexpr char kIPodRoot[] = "/ipod";
inline constexpr char kDbPath[] = "/ipod/iPod_Control/iTunes/iTunesDB";

// An image in a MemoryEnv, with an ITunesDatabase to load it.
class DbInMemory {
 public:
  explicit DbInMemory(const std::string& image) { env.AddFile(kDbPath, image).IgnoreError(); }
  Status Load(TrackArray* candidates = nullptr, bool drop = false) {
    return db.Load(kDbPath, candidates, drop);
  }
  MemoryEnv env;
  ITunesDatabase db{env};
};

// Layout and tracks (in file order) of an image, as the loader parses them.
inline Status ParseImage(std::string_view image, DatabaseLayout* layout, OwnedTracks* tracks) {
  const ImageView view(image);
  RETURN_IF_ERROR(ParseLayout(view, layout));
  return ReadTracks(view, *layout, tracks);
}

inline std::vector<std::u16string> Titles(const TrackArray& tracks) {
  std::vector<std::u16string> out;
  for (const TrackInfo* t : tracks) out.push_back(t->title);
  return out;
}

inline std::vector<std::u16string> Titles(const OwnedTracks& tracks) {
  std::vector<std::u16string> out;
  for (const auto& t : tracks) out.push_back(t->title);
  return out;
}

inline fixture::FixtureTrack FTrack(uint32_t id, std::u16string title, std::u16string artist,
                                    std::u16string album, int32_t number) {
  fixture::FixtureTrack t;
  t.id = id;
  t.title = std::move(title);
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.track_number = number;
  return t;
}

inline TrackInfo MakeTrack(std::u16string title, std::u16string artist, std::u16string album,
                           int32_t number = 0) {
  TrackInfo t;
  t.title = std::move(title);
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.trackNumber = number;
  return t;
}

}  // namespace tunewell
