#pragma once

// The iPod's contents in the player's device list (list 210): the list's procedure is ours while
// the iPod is the chosen device, and it paints the rows of the contents tree, expands and
// selects them with the mouse, and sets the Sync pane's toolbar button 216. One per process.
//
// Workers rebuild the rows while the interface thread paints and clicks them. No lock of the view
// is held while a message goes to another thread: the interface thread may be waiting for it.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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

  // The plug-in has the player's core: events may show the view.
  void Open();
  // The core is gone: every wait ends now, the player gets its windows back, and no refresh or
  // attach begun before shows the view again; none does until Open.
  void Close();
  // Gives the lists back their procedures, then takes them again and rebuilds when the iPod is
  // the chosen device; otherwise the view goes inactive.
  void Attach(HookBinding& hook);
  // Inactive, and the player's own procedures back.
  void Detach();
  // Waits until the hook library reports the iPod and the combo box shows it, then rebuilds the
  // rows from its database (inactive when that cannot be read). Gives up, leaving the view as
  // it was, after kRefreshWaitMs or at Close; false then.
  bool Refresh(HookBinding& hook);
  // Removes the selected tracks, as they still are on the iPod once it is locked, then
  // refreshes. Nothing is written when nothing is selected.
  Status RemoveSelected(HookBinding& hook);

  bool active() const { return active_.load(); }

 private:
  // The rows of a track list, built before they replace the shown ones.
  struct Contents {
    OwnedTracks tracks;
    std::vector<ContentsRow> rows;
  };

  ContentsView() = default;
  static LRESULT CALLBACK DeviceListProcedure(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK EjectHostProcedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT ListMessage(HWND list, UINT message, WPARAM wparam, LPARAM lparam);
  // The view shows only while active with the iPod chosen in the Sync pane.
  bool Showing();
  void UpdateToolbarButton(bool any_selected);
  // Both windows' own procedures back. Sends to them: never called with a lock held.
  void GiveBack();
  // Rows for `tracks`; none without tracks or without memory for their rows.
  static std::optional<Contents> MakeContents(std::optional<OwnedTracks> tracks);
  // Shows `contents`, or goes inactive without them.
  void Show(std::optional<Contents> contents);
  // Both answer the number of rows shown as they saw it.
  int AdjustItemCount(HWND list);
  int PaintRows(HWND list, HDC dc);
  void Click(HWND list, int x, int y, bool ctrl, bool shift);

  std::mutex mutex_;  // guards tree_, tracks_, root_ and the Sync pane's windows
  ContentsTree tree_;
  OwnedTracks tracks_;
  std::string root_;
  // The windows the last refresh found, and the binding that finds the combo box again.
  HWND combo_ = nullptr, toolbar_ = nullptr;
  HookBinding* hook_ = nullptr;
  std::atomic<bool> active_{false};

  WindowSubclass list_;
  EjectButton eject_;

  // Guards generation_ and open_. A refresh takes the windows under it, so Close either sees
  // them taken and gives them back, or the refresh sees the new generation and takes nothing.
  std::mutex session_mutex_;
  std::condition_variable wake_;
  uint64_t generation_ = 0;  // changes at Close
  bool open_ = false;
};

}  // namespace tunewell
