#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/interrupt.h"
#include "storage/firewire_guid.h"
#include "storage/missing_file_notice.h"
#include "storage/random_source.h"
#include "sync/progress.h"
#include "sync/sync_host.h"
#include "track/track_info.h"

namespace tunewell {

// Where a run (and a request) reports and what it may call.
struct SyncServices {
  Env& env;
  SyncProgress& progress;
  // The missing-source notice of the copier.
  MissingFileNotice& notice;
  // Refreshes the contents view after the run; null for none.
  SyncHost* host = nullptr;
  // The folder and name draws; null for a generator seeded from the clock for each run.
  RandomSource* random = nullptr;
  // Asked between copies, and while the run waits for another's lock, whether the user wants
  // the run to stop; null for never.
  const StopRequest* stop = nullptr;
  // Where the FireWire GUID of an iPod with a signed database comes from; null for its files and
  // the system's lookup.
  const GuidSources* guid = nullptr;
  // Told once when the run has to wait for another run's lock on the same iPod; null for none.
  std::function<void()> on_lock_wait = nullptr;
};

// How a run ended.
struct SyncReport {
  // Not ok when the run stopped before changing the iPod (no iPod, a database it cannot use,
  // an earlier interrupted run it could not finish), could not record the tracks it copied and
  // took them off again, or was asked to stop (Stopped) and took them off again. Says why.
  Status status;
  // Length of the track list handed in.
  int32_t total = 0;
  SyncSummary summary;
  // Tracks dropped because their source file could not be opened.
  int32_t missing = 0;
  // Why copying ended before the end of the list (no room, a failed copy); ok when it did not.
  Status stopped;
  // Not ok when iTunesDB was written but iTunesSD could not be.
  Status shuffle;
  // Items the request passed over as repeats of an earlier one; the summary has no line for
  // them.
  int32_t repeats = 0;
  // Which kind of iPod and GUID source a signed database was signed for; "" for none.
  std::string signing;
  // Audio files an earlier run was to delete and still could not, each named with why.
  std::vector<Status> leftovers;

  // The run did all it was asked: every remaining track copied, nothing missing or left over.
  bool complete() const {
    return status.ok() && shuffle.ok() && missing == 0 && summary.remaining == summary.copied &&
           leftovers.empty();
  }
};

// Copies onto the iPod at `ipod_root` the tracks of `tracks` it does not hold yet and records
// them in its databases. On return `tracks` holds exactly the tracks copied, in copy order, each
// path now its iPod location. `not_mp3_count` only goes to the summary. An empty list returns at
// once without a word to `progress`. The run holds the iPod's lock from before the database is
// read (and before `progress` hears of the run) until it is written, so runs and removals on one
// iPod take turns; it first finishes what an interrupted run left behind, and journals its own
// copies until it ends. A run that copies nothing writes nothing.
SyncReport RunSync(const SyncServices& services, const std::string& ipod_root, TrackArray& tracks,
                   int32_t not_mp3_count);

// "Copying... <artist> - <title>", in narrow text.
std::string CopyingStatus(const TrackInfo& track);

}  // namespace tunewell
