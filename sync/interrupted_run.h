#pragma once

#include <string>
#include <vector>

#include "database/ipod_database.h"

namespace tunewell {

// Audio files a run was to delete and could not (no permission, a link in their place): named
// to the user, and kept in the journal so that each later run tries again.
struct Leftovers {
  std::vector<std::u16string> locations;
  // One for each location, saying which file and why it stays.
  std::vector<Status> reasons;

  void Add(std::u16string location, Status why) {
    locations.push_back(std::move(location));
    reasons.push_back(std::move(why));
  }
};

// Finishes what an interrupted run left behind, as its journal tells, on an iPod that this
// process has locked and whose databases `ipod` has loaded: deletes the music files the journal
// names that iTunesDB does not, brings iTunesSD in step with iTunesDB for those files where the
// two were being replaced, and removes the journal. No other iTunesSD entry is touched. Ok,
// doing nothing, when there is no journal; on failure the journal stays for the next run. Music
// files that cannot be deleted go to `leftovers` and stay in the journal: they do not stop the
// run. Stale staged files ("*.tmp") of the databases and the journal are removed first.
Status FinishInterruptedRun(IPodDatabase& ipod, Leftovers* leftovers);

}  // namespace tunewell
