#include "latchkey/watcher.h"

#include <string>
#include <utility>

#include "hook/player_controls.h"
#include "latchkey/event_log.h"
#include "latchkey/interface_hooks.h"
#include "latchkey/window_finder.h"
#include "win32kit/scoped_handle.h"
#include "win32kit/thread_handoff.h"

namespace tunewell::latchkey {

namespace {

enum : UINT {
  kMsgAction = WM_APP + 1,  // wparam the Action; lparam the settings request's number, or 0
  kMsgArrival,              // wparam the drives that arrived
  kMsgLookSoon,
  kMsgStop,
  kMsgInstalled,
};

// A look every so often catches what no message announced (a selection set by the program, a
// volume gone without notice); after a change, one look once the player has settled.
constexpr DWORD kLookEveryMs = 500;
constexpr DWORD kSettleMs = 60;
// The plug-in reads the settings dialog in its callback; never hold the player for longer.
constexpr DWORD kSettingsLimitMs = 30000;
// The system tells every top-level window of an arrival: one event for all of them.
constexpr DWORD kSameArrivalMs = 3000;

// Milliseconds until `due`, 0 once it has passed (ticks wrap: compared as a difference).
DWORD Left(DWORD due) {
  const auto left = static_cast<LONG>(due - ::GetTickCount());
  return left > 0 ? static_cast<DWORD>(left) : 0;
}
bool Due(DWORD due) { return Left(due) == 0; }

}  // namespace

Watcher& Watcher::Instance() {
  static Watcher watcher;
  return watcher;
}

void Watcher::Install(HookEventCallbackFn callback, void* context) {
  context_ = context;
  callback_ = callback;
  if (ui_thread_ != 0) return;
  ui_thread_ = ::GetCurrentThreadId();
  settings_event_.reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
  const ScopedHandle ready(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  HANDLE ready_event = ready.get();
  const ScopedHandle thread = HandOffToThread([this, ready_event] {
    MSG message;
    ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue exists now
    thread_ = ::GetCurrentThreadId();
    ::SetEvent(ready_event);
    Run();
  });
  if (thread.valid()) ::WaitForSingleObject(ready_event, 5000);
  InstallInterfaceHooks();
  ::PostThreadMessageW(thread_, kMsgInstalled, 0, 0);
}

void Watcher::Post(Action action) {
  ::PostThreadMessageW(thread_, kMsgAction, static_cast<WPARAM>(action), 0);
}

void Watcher::PostArrival(DriveMask drives) {
  ::PostThreadMessageW(thread_, kMsgArrival, drives, 0);
}

void Watcher::PostLookSoon() { ::PostThreadMessageW(thread_, kMsgLookSoon, 0, 0); }

void Watcher::PostStop() { ::PostThreadMessageW(thread_, kMsgStop, 0, 0); }

void Watcher::RaiseAndWait(Action action) {
  const long asked = ++settings_asked_;
  if (!::PostThreadMessageW(thread_, kMsgAction, static_cast<WPARAM>(action), asked)) return;
  const DWORD end = ::GetTickCount() + kSettingsLimitMs;
  while (settings_done_ < asked && !Due(end)) {
    HANDLE done = settings_event_.get();
    ::MsgWaitForMultipleObjects(1, &done, FALSE, Left(end), QS_SENDMESSAGE);
    MSG message;  // serves what other threads send here, and takes nothing from the queue
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

char Watcher::IPodDrive() const {
  if (::GetCurrentThreadId() == ui_thread_) return root_drive_;
  const char shown = ComboDriveLetter(FindControl(ui_thread_, kDeviceComboId, kComboBoxClass));
  if (shown != 0 && ProbeIPodDrives(DriveBit(shown)) != 0) return shown;
  return SoleDrive(ProbeIPodDrives());
}

void Watcher::Run() {
  DWORD due = ::GetTickCount();
  for (;;) {
    if (Due(due)) due = ::GetTickCount() + (Look() ? kLookEveryMs : kSettleMs);
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, Left(due), QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == kMsgLookSoon) {
        if (static_cast<LONG>(due - ::GetTickCount()) > static_cast<LONG>(kSettleMs)) {
          due = ::GetTickCount() + kSettleMs;
        }
      } else {
        ThreadEntry([&] { HandleMessage(message); });
      }
    }
  }
}

void Watcher::HandleMessage(const MSG& message) {
  switch (message.message) {
    case kMsgAction:
      Raise(static_cast<Action>(message.wParam));
      if (message.lParam != 0) {
        settings_done_ = static_cast<long>(message.lParam);
        ::SetEvent(settings_event_.get());
      }
      break;
    case kMsgArrival: {
      const DriveMask ipods = ProbeIPodDrives(static_cast<DriveMask>(message.wParam));
      bool fresh = false;
      for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((ipods & DriveBit(letter)) == 0) continue;
        DWORD& last = arrival_tick_[letter - 'A'];
        fresh |= last == 0 || ::GetTickCount() - last > kSameArrivalMs;
        last = ::GetTickCount();
      }
      if (fresh) Raise(Action::kVolumeArrived);
      break;
    }
    case kMsgStop:
      stop_requested_ = true;
      stop_ipods_ = ipods_;
      PressStopSync(true);
      break;
    case kMsgInstalled:
      LogLine("installhook on thread " + std::to_string(ui_thread_));
      LogWindowTree(ui_thread_);
      break;
    default:
      ::DispatchMessageW(&message);
  }
}

bool Watcher::Look() {
  HWND list = FindControl(ui_thread_, kDeviceListId, kListViewClass);
  const bool on_tab = list != nullptr && ::IsWindowVisible(list);
  const char shown = ComboDriveLetter(FindControl(ui_thread_, kDeviceComboId, kComboBoxClass));
  ipods_ = ProbeIPodDrives();
  // A stop asked for while this iPod was there holds until it goes.
  if (stop_requested_ && (stop_ipods_ & ~ipods_) != 0) stop_requested_ = false;
  const bool shows_ipod = shown != 0 && (ipods_ & DriveBit(shown)) != 0;
  root_drive_ = shows_ipod ? shown : SoleDrive(ipods_);
  PressStopSync(false);

  // The player may be half way through building or tearing down the pane: act only on what two
  // looks in a row agree on.
  const Seen seen{on_tab && shows_ipod ? shown : char{0}, on_tab, list};
  if (!(seen == std::exchange(last_seen_, seen))) return false;
  const char was = chosen_drive_, now = seen.drive;
  const HWND list_before = std::exchange(device_list_, list);
  chosen_drive_ = now;
  if (now != 0) {
    if (was == 0 && left_drive_ == now) {
      Raise(Action::kSyncTabAgain);
    } else if (was != now) {
      Raise(Action::kIPodChosen);
    } else if (list != list_before) {
      Raise(Action::kSyncTabAgain);  // the pane was rebuilt between two looks
    }
    left_drive_ = 0;
  } else if (was != 0) {
    left_drive_ = on_tab ? 0 : was;
    Raise(Action::kIPodLeft);
  } else if (on_tab) {
    left_drive_ = 0;
  }
  return true;
}

void Watcher::Raise(Action action) {
  const ActionRow& row = RowOf(action);
  if (LogWanted()) {
    LogWindowTree(ui_thread_);
    LogLine(std::string(row.what) + " -> event " + std::to_string(static_cast<int>(row.event)));
  }
  const HookEventCallbackFn callback = callback_;
  if (callback == nullptr || in_callback_) return;
  in_callback_ = true;
  const ScopedHandle worker(callback(context_, static_cast<int>(row.event)));
  in_callback_ = false;
}

void Watcher::PressStopSync(bool now) {
  HWND stop = FindControl(ui_thread_, 0, kButtonClass, kStopSyncCaption);
  const bool enabled = stop != nullptr && ::IsWindowVisible(stop) && ::IsWindowEnabled(stop);
  // Once when asked, and again each time the player starts a sync of its own later.
  if (stop_requested_ && enabled && (now || !stop_was_enabled_)) {
    LogLine("Stop Sync pressed");
    ::PostMessageA(::GetParent(stop), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(stop), BN_CLICKED),
                   reinterpret_cast<LPARAM>(stop));
  }
  stop_was_enabled_ = enabled;
}

}  // namespace tunewell::latchkey
