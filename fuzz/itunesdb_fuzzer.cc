// Feeds arbitrary bytes to the iTunesDB reader: the parse functions on the input's own buffer
// (so that AddressSanitizer sees any read past it) and the loader through a file in memory.
// Besides crashes, it traps when the two paths disagree, a loaded database does not recognise
// its own tracks as duplicates, or a save of a database the writer accepted neither passes its
// check nor refuses (adding two tracks, removing the first, each from a fresh load).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "database/database_layout.h"
#include "database/image_view.h"
#include "database/itunes_database.h"
#include "database/track_list.h"
#include "database/track_order.h"
#include "database/track_reader.h"
#include "platform/memory/memory_env.h"

namespace tunewell {
namespace {

constexpr char kPath[] = "/ipod/iPod_Control/iTunes/iTunesDB";

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void FuzzOne(std::string_view bytes) {
  const ImageView view(bytes);
  DatabaseLayout layout;
  OwnedTracks tracks;
  Status parsed = ParseLayout(view, &layout);
  if (parsed.ok()) {
    Check(layout.tracks.size() == layout.track_count);
    parsed = ReadTracks(view, layout, &tracks);
  }
  if (parsed.ok()) {
    Check(tracks.size() == layout.track_count);
    // Either answer will do: only a crash or a sanitizer's report fails here.
    CheckWritableShape(view, layout).IgnoreError();
  } else {
    Check(parsed.IsCorruption());
  }

  MemoryEnv env;
  Check(env.AddFile(kPath, bytes).ok());
  ITunesDatabase db(env);
  // The loaded database's own tracks, copied, are candidates it must drop entirely.
  std::vector<TrackInfo> copies;
  for (const auto& t : tracks) copies.push_back(*t);
  TrackArray candidates;
  for (TrackInfo& t : copies) candidates.push_back(&t);
  const Status loaded = db.Load(kPath, &candidates, true);
  if (bytes.empty()) {
    Check(loaded.IsNotFound());
    return;
  }
  Check(loaded.ok() == parsed.ok());
  if (!loaded.ok()) return;
  Check(candidates.empty());
  Check(db.trackList().count() == static_cast<int32_t>(tracks.size()));
  Check(db.image() == bytes);
  const TrackArray& titles = db.trackList().tracks();
  for (size_t i = 1; i < titles.size(); ++i)
    Check(CompareTracks(SortType::kTitle, *titles[i - 1], *titles[i]) <= 0);

  OwnedTracks display;
  Check(db.ReadTrackList(kPath, &display).ok());
  Check(display.size() == tracks.size());

  KeyedTracks keyed(db.trackList().tracks());
  for (SortType type : kSortIndexOrder) keyed.Sort(type);
  if (!db.writable().ok()) return;

  std::vector<TrackInfo> added(2);
  added[0].title = u"Fuzz";
  added[0].album = u"Album";
  added[1].path = u":iPod_Control:Music:F00:FUZZ.mp3";
  TrackInfo first;
  if (!tracks.empty()) first.trackId = tracks[0]->trackId;
  for (bool adding : {true, false}) {
    ITunesDatabase fresh(env);
    Check(fresh.Load(kPath, nullptr, false).ok());
    StagedFile staged;
    const Status s = adding ? fresh.StageAdding(kPath, {&added[0], &added[1]}, &staged)
                            : fresh.StageRemoving(kPath, {&first}, &staged);
    Check(s.ok() || s.IsRefused());
  }
}

}  // namespace
}  // namespace tunewell

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tunewell::FuzzOne(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
