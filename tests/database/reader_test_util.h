#pragma once

// Shared by the reader's tests: fixture images loaded through the real parse path, and tracks
// written as one line each so that tables can state what was read.

#include <string>
#include <string_view>
#include <vector>

#include "database/database_layout.h"
#include "database/image_view.h"
#include "database/itunes_database.h"
#include "database/track_reader.h"
#include "platform/memory/memory_env.h"
#include "platform/text.h"
#include "tests/support/itunesdb_fixture.h"
#include "tests/support/test_tracks.h"

namespace tunewell {

inline constexpr char kIPodRoot[] = "/ipod";
inline constexpr char kDbPath[] = "/ipod/iPod_Control/iTunes/iTunesDB";

// An image in a MemoryEnv, with an ITunesDatabase to load it.
struct DbInMemory {
  explicit DbInMemory(const std::string& image) { EXPECT_TRUE(env.AddFile(kDbPath, image).ok()); }
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

// "id title/artist/album/genre/composer/path #number @position", texts in UTF-8.
inline std::string Describe(const TrackInfo& t) {
  return std::to_string(t.trackId) + " " + Utf16ToUtf8(t.title) + "/" + Utf16ToUtf8(t.artist) +
         "/" + Utf16ToUtf8(t.album) + "/" + Utf16ToUtf8(t.genre) + "/" + Utf16ToUtf8(t.composer) +
         "/" + Utf16ToUtf8(t.path) + " #" + std::to_string(t.trackNumber) + " @" +
         std::to_string(t.position);
}
template <typename Tracks>
std::vector<std::string> Describe(const Tracks& tracks) {
  std::vector<std::string> out;
  for (const auto& t : tracks) out.push_back(Describe(*t));
  return out;
}

}  // namespace tunewell
