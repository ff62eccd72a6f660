#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "storage/missing_file_notice.h"
#include "storage/random_source.h"
#include "track/track_info.h"

namespace tunewell {

enum class CopyResult : int32_t {
  // On the iPod; the track's path is now its iPod location.
  Copied = 0,
  // Too little room, or the free space could not be read. Nothing was drawn or written.
  NoRoom = 1,
  // The source could not be opened; the user was told. Nothing was written.
  SourceMissing = 2,
  // The iPod has no music folder to copy into. Nothing was drawn or written.
  NoMusicFolders = 3,
  // The chosen folder holds no free name after many draws. Nothing was written.
  NoFreeName = 4,
  // The copy itself failed (missing folder, write error, device full or gone); whatever was
  // written of it has been removed.
  CopyFailed = 5,
};

// What a copy needs to know of the iPod it copies onto.
struct CopyTarget {
  Env* env = nullptr;
  // The iPod's drive root or mount folder, ending in a separator.
  std::string root;
  // The numbers of the music folders (F00, F01, ...) to draw from.
  std::vector<int32_t> music_folders;
  // Told the location of each new file before anything is written there, so that a run can
  // record it; a failure stops that copy (CopyFailed). Null for none.
  std::function<Status(std::u16string_view location)> before_copy;
  // Bytes every copy leaves free besides the per-track margin: the room the databases need to
  // be written once the copies are done.
  int64_t reserve = 0;
  // Names drawn ahead by PlanDestinations, which the next copies take in order; each copy
  // draws its own when this is null or empty.
  std::deque<std::string>* planned = nullptr;

  // The target for the iPod at `root` (with or without its trailing separator), its music
  // folders counted now.
  static CopyTarget For(Env& env, std::string_view root);
};

// Words for the result, for messages ("no room on the iPod").
const char* DescribeCopyResult(CopyResult result);

// Bytes kept free on the iPod for each track of the list being copied.
inline constexpr int64_t kRoomPerListedTrack = 2000;

// Draws `count` more free names for the next copies into `target.planned`, each distinct from
// the others planned, and appends their iPod locations to `locations`. Draws as those copies
// would, so the names are the same ones they would have drawn.
Status PlanDestinations(const CopyTarget& target, size_t count, RandomSource& random,
                        std::vector<std::u16string>* locations);

// Copies the track's source file (its path) into a music folder under a new name and, on
// Copied, replaces its path by the new file's iPod location; on any other result the track is
// unchanged. `track_count` is the number of tracks in the caller's list now. The missing-source
// notice goes to `notice`. When given, `why` receives the details of a failure.
CopyResult CopyTrackToIPod(const CopyTarget& target, TrackInfo& track, int32_t track_count,
                           RandomSource& random, MissingFileNotice& notice, Status* why = nullptr);

}  // namespace tunewell
