#pragma once

// Fixture images through the real parse path, and tracks as one line each for tables.

#include <gtest/gtest.h>

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

inline constexpr char kDbPath[] = "/ipod/iPod_Control/iTunes/iTunesDB";

inline Status ParseImage(std::string_view image, DatabaseLayout* layout, OwnedTracks* tracks) {
  const ImageView view(image);
  RETURN_IF_ERROR(ParseLayout(view, layout));
  return ReadTracks(view, *layout, tracks);
}

// Parsed and, when it parses, checked for the writer.
inline Status ShapeOf(std::string_view image) {
  DatabaseLayout layout;
  OwnedTracks tracks;
  RETURN_IF_ERROR(ParseImage(image, &layout, &tracks));
  return CheckWritableShape(ImageView(image), layout);
}

// "id title/artist/album/genre/composer/path #number @position", texts in UTF-8.
template <typename Tracks>
std::vector<std::string> Describe(const Tracks& tracks) {
  std::vector<std::string> out;
  for (const auto& t : tracks) {
    out.push_back(std::to_string(t->trackId) + " " + Utf16ToUtf8(t->title) + "/" +
                  Utf16ToUtf8(t->artist) + "/" + Utf16ToUtf8(t->album) + "/" +
                  Utf16ToUtf8(t->genre) + "/" + Utf16ToUtf8(t->composer) + "/" +
                  Utf16ToUtf8(t->path) + " #" + std::to_string(t->trackNumber) + " @" +
                  std::to_string(t->position));
  }
  return out;
}

}  // namespace tunewell
