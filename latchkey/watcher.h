#pragma once

// The library's own thread, with a message queue: it looks at the player's Sync tab, probes the
// drives, and calls the plug-in's callback, once per action, closing the worker handle it gets
// back. The interface thread only posts to it (the sync settings' OK aside, which waits).

#include <windows.h>

#include <atomic>

#include "hook/win32/hook_library.h"
#include "latchkey/actions.h"
#include "latchkey/drive_probe.h"
#include "win32kit/scoped_handle.h"

namespace tunewell::latchkey {

class Watcher {
 public:
  static Watcher& Instance();

  // installhook, on the player's interface thread: later calls only replace the callback.
  void Install(HookEventCallbackFn callback, void* context);
  DWORD ui_thread() const { return ui_thread_; }

  // From the interface thread; none of them waits.
  void Post(Action action);
  void PostArrival(DriveMask drives);
  void PostLookSoon();  // something on the Sync tab changed
  void PostStop();      // StopAutomaticSyncProcess

  // From the interface thread: `action` raised on the library's thread; returns once its
  // callback has returned (or after a long time limit), serving the messages that other threads
  // send to this one meanwhile.
  void RaiseAndWait(Action action);

  // The iPod is chosen on a visible Sync tab, as the library's thread last saw it.
  bool ipod_chosen() const { return chosen_drive_ != 0; }

  // The iPod drive for GetIPodRootDirectory: the one the combo box shows, else the only one
  // mounted, else 0. The interface thread gets what the library's thread last found; others
  // look now.
  char IPodDrive() const;

 private:
  Watcher() = default;
  void Run();
  void HandleMessage(const MSG& message);
  // False when what it saw differs from the look before: look again soon.
  bool Look();
  void Raise(Action action);
  void PressStopSync(bool now);

  std::atomic<HookEventCallbackFn> callback_ = nullptr;
  std::atomic<void*> context_ = nullptr;
  std::atomic<DWORD> ui_thread_ = 0, thread_ = 0;
  std::atomic<char> chosen_drive_ = 0, root_drive_ = 0;
  std::atomic<long> settings_asked_ = 0, settings_done_ = 0;
  ScopedHandle settings_event_;

  // The library's thread only. Windows are compared, never used: they may have died.
  struct Seen {
    char drive;  // the iPod chosen on a visible Sync tab, or 0
    bool on_tab;
    HWND list;
    bool operator==(const Seen&) const = default;
  };
  Seen last_seen_{};
  HWND device_list_ = nullptr;
  char left_drive_ = 0;  // the iPod that was chosen when the Sync tab went away
  bool in_callback_ = false;
  bool stop_requested_ = false, stop_was_enabled_ = false;
  DriveMask stop_ipods_ = 0, ipods_ = 0;
  DWORD arrival_tick_[26] = {};
};

}  // namespace tunewell::latchkey
