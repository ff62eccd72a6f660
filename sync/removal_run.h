#pragma once

#include <functional>
#include <vector>

#include "database/ipod_database.h"
#include "storage/firewire_guid.h"
#include "track/track_info.h"

namespace tunewell {

// What happened to the audio files of a removal whose databases were written.
struct RemovalReport {
  int files_deleted = 0;
  // Already gone before the removal; nothing to do.
  int files_missing = 0;
  // Files left in place on purpose, each with why: a location outside the music folders, or a
  // file still named by a track that stays.
  std::vector<Status> files_kept;
  // Audio files that stay although they should go (a deletion that failed, a link in a file's
  // place), this removal's and those an earlier run could not delete; the journal keeps them
  // for the next run.
  std::vector<Status> files_stuck;
  // iTunesDB.bak was deleted: the iPod had no room for the new database beside the old one,
  // and the backup's room was enough.
  bool backup_given_up = false;
  // Which kind of iPod and GUID source a signed database was signed for; "" for none.
  std::string signing;
};

// Takes `tracks` (records read from this iPod: path is the iPod location, trackId the id) out
// of iTunesDB and, where the iPod has one, iTunesSD, then deletes their audio files. Both
// databases are read before either is written, and files are deleted only once both are
// written: on any database failure no file is touched and the status says what was and was not
// written. A file is deleted only when it is a plain file inside <root>/iPod_Control/Music and
// no remaining track names it. `report`, when given, tells what became of the files. On a full
// iPod the backup of iTunesDB is given up when its room and the free room together hold what
// the write needs; otherwise it is kept. What an
// interrupted run left behind is finished first; the removal is journaled until it ends.
// `guid` says where the FireWire GUID of an iPod with a signed database comes from; null for its
// files and the system's lookup.
Status RemoveTracksFromIPod(IPodDatabase& ipod, const TrackArray& tracks,
                            RemovalReport* report = nullptr, const GuidSources* guid = nullptr);

// Chooses what to remove among the tracks the iPod lists once it is locked and read.
using RemovalPick = std::function<TrackArray(const TrackArray& listed)>;
// RemoveTracksFromIPod for the tracks `pick` chooses under the lock: a selection made earlier is
// matched against what the iPod holds now, not against what it held then.
// `wait` says how the wait for another run's lock is shown and stopped.
Status RemovePickedTracksFromIPod(IPodDatabase& ipod, const RemovalPick& pick,
                                  RemovalReport* report = nullptr,
                                  const GuidSources* guid = nullptr, const LockWait& wait = {});

// The records of `on_ipod` that are still the tracks of `chosen`: same id, location, title,
// artist and album. What a removal picks again once it holds the iPod.
TrackArray MatchTracks(const TrackArray& on_ipod, const std::vector<TrackInfo>& chosen);

}  // namespace tunewell
