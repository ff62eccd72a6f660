#pragma once

// What hook events do besides syncing: the iPod contents view in the player's device list, the
// removal of tracks selected there, the eject, and the progress window of a run. The plug-in's
// dispatch calls these; until the windows behind them exist, NoViewEvents does nothing.

#include <memory>
#include <string>

#include "sync/progress.h"

namespace tunewell {

class ViewEvents {
 public:
  virtual ~ViewEvents() = default;

  virtual void AttachContentsView() = 0;
  virtual void DetachContentsView() = 0;
  // Rebuilds the contents view from the iPod's database.
  virtual void RefreshContentsView() = 0;
  virtual void RemoveSelectedTracks() = 0;
  // Ejects the iPod mounted at `ipod_root` ("E:\").
  virtual void EjectIPod(const std::string& ipod_root) = 0;
  // Where one sync run reports; lives until the run has shown its summary.
  virtual std::unique_ptr<SyncProgress> OpenProgress() = 0;
  // The plug-in has the player's core: events may show the contents view.
  virtual void Open() {}
  // The core is gone: waits for the iPod end now, and the view gives the player its windows back
  // and stays away, whatever a worker still running does, until Open.
  virtual void Close() {}
};

class NoViewEvents : public ViewEvents {
 public:
  void AttachContentsView() override {}
  void DetachContentsView() override {}
  void RefreshContentsView() override {}
  void RemoveSelectedTracks() override {}
  void EjectIPod(const std::string&) override {}
  std::unique_ptr<SyncProgress> OpenProgress() override { return std::make_unique<Silent>(); }

 private:
  class Silent : public SyncProgress {
   public:
    void SetItemCount(int32_t) override {}
    void SetStatus(const std::string&) override {}
    void Step() override {}
    void ShowSummary(const SyncSummary&) override {}
    void ShowFailure(const std::string&) override {}
  };
};

}  // namespace tunewell
