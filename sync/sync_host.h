#pragma once

// What a sync request needs from whoever runs it besides the player's library: the hook
// library's answers, the Sync list's checked rows and a way to tell the user something. The
// plug-in implements these over the hook library and its windows, the command line over its
// arguments, tests with recorders.

#include <string>
#include <vector>

namespace tunewell {

// A checked row of the player's Sync list, as narrow text.
struct SyncListRow {
  std::string title;
  std::string path;
};

class SyncListSource {
 public:
  virtual ~SyncListSource() = default;
  // The checked rows, top to bottom.
  virtual std::vector<SyncListRow> CheckedRows() = 0;
  // Rows the user named outright are synced whatever the iPod's auto-sync file says.
  virtual bool OutranksAutoSync() const { return false; }
};

class SyncHost {
 public:
  virtual ~SyncHost() = default;

  // The mounted iPod's root, or "" when no iPod is known.
  virtual std::string GetIPodRootDirectory() = 0;
  // Stops the player's own automatic sync to its device.
  virtual void StopAutomaticSyncProcess() = 0;
  // The player's Sync list, or null when there is none to read.
  virtual SyncListSource* GetSyncList() = 0;
  // A message for the user, waited on until it is dismissed.
  virtual void ShowNotice(const std::string& text, const std::string& caption) = 0;

  // Shows the wait cursor for the length of a request.
  virtual void BeginWaitCursor() {}
  virtual void EndWaitCursor() {}
  // Rebuilds the view of the iPod's contents after a run wrote its database.
  virtual void RefreshContentsView() {}
};

}  // namespace tunewell
