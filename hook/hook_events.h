#pragma once

// The hook library's event codes, as it passes them to the plug-in's callback. Shared by the
// plug-in, the sync engine and the hook library, so that a code has one name everywhere.

#include <cstdint>

namespace tunewell {

// Any other value is a sync request of that kind.
enum class HookEvent : int32_t {
  kSyncTab = 0,          // sync the Sync list's checked rows
  kSync = 1,             // sync what the iPod's auto-sync file names
  kNoticeOnly = 2,       // only the "please sync from the Sync tab" notice
  kSyncSettings = 3,     // save the settings dialog's selection, then sync it
  kRefreshAndSync = 4,   // refresh the contents view, then sync
  kAttachView = 5,       // the contents view takes the device list
  kRemoveSelected = 6,   // remove the tracks selected in the contents view
  kEject = 7,            // eject the iPod
  kDetachView = 8,       // the device list is the player's again
  kAttachViewAgain = 9,  // as kAttachView
};

}  // namespace tunewell
