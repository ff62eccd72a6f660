#pragma once

// The iPod's contents in the player's device list (list 210): the list's procedure is ours while
// the iPod is the chosen device, and it paints the rows of the contents tree, expands and
// selects them with the mouse, and sets the Sync pane's toolbar button 216. One per process.
//
// Workers rebuild the rows while the interface thread paints and clicks them: one lock guards
// the rows and the tracks, and is never held while a message is sent to another thread.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

#include "contents/contents_rows.h"
#include "platform/status.h"
#include "player/win32/eject_button.h"
#include "player/win32/hook_binding.h"
#include "player/win32/window_subclass.h"

namespace tunewell {

class ContentsView {
 public:
  // How long a refresh waits for the iPod to show in the device combo box.
  static constexpr DWORD kRefreshWaitMs = 30000;

  // The process's view.
  static ContentsView& Instance();

  // Gives the lists back their procedures, then takes them again and rebuilds when the iPod is
  // the chosen device; otherwise the view goes inactive.
  void Attach(HookBinding& hook);
  // Inactive, and the player's own procedures back.
  void Detach();
  // Waits until the hook library reports the iPod and the combo box shows it, then rebuilds the
  // rows from its database (inactive when that cannot be read). Gives up, leaving the view as
  // it was, after kRefreshWaitMs or at EndWaits; false then.
  bool Refresh(HookBinding& hook);
  // Removes the selected tracks, as they still are on the iPod once it is locked, then
  // refreshes. Nothing is written when nothing is selected.
  Status RemoveSelected(HookBinding& hook);
  // Ends every wait now running: the plug-in is letting go of the player.
  void EndWaits();

  bool active() const { return active_.load(); }

 private:
  ContentsView() = default;
  static LRESULT CALLBACK DeviceListProcedure(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK EjectHostProcedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT ListMessage(HWND list, UINT message, WPARAM wparam, LPARAM lparam);
  // The view shows only while active with the iPod chosen in the Sync pane.
  bool Showing();
  void SubclassWindows(HookBinding& hook);
  // Rows for `tracks`, or inactive without them; never half built.
  void Build(std::optional<OwnedTracks> tracks);
  void AdjustItemCount(HWND list);
  void PaintRows(HWND list, HDC dc);
  void Click(HWND list, int x, int y, bool ctrl, bool shift);

  std::mutex mutex_;  // guards tree_, tracks_ and root_
  ContentsTree tree_;
  OwnedTracks tracks_;
  std::string root_;
  std::atomic<bool> active_{false};

  std::mutex subclass_mutex_;
  WindowSubclass list_;
  EjectButton eject_;

  std::mutex wait_mutex_;
  std::condition_variable wake_;
  uint64_t generation_ = 0;
};

}  // namespace tunewell
