#pragma once

// What the player's user sees of the hook events besides syncing: the contents view in the
// device list, the removal from it, the eject, and the progress dialog of every run.

#include <windows.h>

#include "player/view_events.h"
#include "player/win32/hook_binding.h"

namespace tunewell {

class PlayerViews : public ViewEvents {
 public:
  // `plugin` holds the dialogs and the icon, and latchkey.dll sits beside it.
  explicit PlayerViews(HMODULE plugin) : plugin_(plugin), hook_(plugin) {}

  void AttachContentsView() override;
  void DetachContentsView() override;
  void RefreshContentsView() override;
  void RemoveSelectedTracks() override;
  void EjectIPod(const std::string& ipod_root) override;
  std::unique_ptr<SyncProgress> OpenProgress() override;
  void Open() override;
  void Close() override;

 private:
  HMODULE plugin_;
  HookBinding hook_;
};

}  // namespace tunewell
