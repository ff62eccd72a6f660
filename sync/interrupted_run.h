#pragma once

#include "database/ipod_database.h"

namespace tunewell {

// Finishes what an interrupted run left behind, as its journal tells, on an iPod that this
// process has locked and whose databases `ipod` has loaded: deletes the music files the journal
// names that iTunesDB does not, brings iTunesSD in step with iTunesDB for those files where the
// two were being replaced, and removes the journal. No other iTunesSD entry is touched. Ok,
// doing nothing, when there is no journal; on failure the journal stays for the next run.
Status FinishInterruptedRun(IPodDatabase& ipod);

}  // namespace tunewell
