#include "latchkey/interface_hooks.h"

#include <windows.h>
// (after <windows.h>, which they need)
#include <commctrl.h>
#include <dbt.h>

#include <map>

#include "hook/player_controls.h"
#include "latchkey/watcher.h"
#include "latchkey/window_finder.h"
#include "win32kit/boundary.h"

namespace tunewell::latchkey {

namespace {

// The windows subclassed here and the procedures they had; the interface thread's alone.
struct Subclassed {
  WNDPROC own;
  bool unicode;
};
std::map<HWND, Subclassed>& Parents() {
  static std::map<HWND, Subclassed> parents;
  return parents;
}

Watcher& watcher() { return Watcher::Instance(); }

bool RemoveEnabled(HWND toolbar) {
  return toolbar != nullptr &&
         (::SendMessageW(toolbar, TB_GETSTATE, kRemoveButtonId, 0) & TBSTATE_ENABLED) != 0;
}

bool IsToolbar209(HWND window) {
  return window != nullptr && ::GetDlgCtrlID(window) == kSyncToolbarId &&
         IsClass(window, kToolbarClass);
}

bool IsStartSync(HWND window) {
  return IsClass(window, kButtonClass) && WindowText(window) == kStartSyncCaption;
}

// True when the notification is ours alone and the player must not see it.
bool TakeCommand(HWND parent, WPARAM wparam, LPARAM lparam) {
  HWND from = reinterpret_cast<HWND>(lparam);
  if (from == nullptr || !watcher().ipod_chosen()) return false;
  if (HIWORD(wparam) == BN_CLICKED && IsStartSync(from)) {
    watcher().Post(Action::kStartSync);
    return true;
  }
  if (LOWORD(wparam) == kRemoveButtonId && IsToolbar209(from)) {
    if (!RemoveEnabled(from)) return false;
    watcher().Post(Action::kRemovePressed);
    return true;
  }
  if (LOWORD(wparam) == IDOK && HIWORD(wparam) == BN_CLICKED && IsSettingsDialog(parent)) {
    watcher().RaiseAndWait(Action::kSettingsOk);  // the plug-in reads the dialog, then OK goes on
  }
  return false;
}

LRESULT CALLBACK ParentProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const auto found = Parents().find(window);
  if (found == Parents().end()) return ::DefWindowProcW(window, message, wparam, lparam);
  const Subclassed own = found->second;
  const auto pass = [&] {
    return own.unicode ? ::CallWindowProcW(own.own, window, message, wparam, lparam)
                       : ::CallWindowProcA(own.own, window, message, wparam, lparam);
  };
  return ProcedureEntry(
      [&]() -> LRESULT {
        if (message == WM_NCDESTROY) Parents().erase(window);
        if (message == WM_COMMAND && TakeCommand(window, wparam, lparam)) return 0;
        return pass();
      },
      pass);
}

void Subclass(HWND window) {
  if (window == nullptr || Parents().count(window) != 0) return;
  const bool unicode = ::IsWindowUnicode(window);
  const auto procedure = reinterpret_cast<LONG_PTR>(&ParentProcedure);
  Parents()[window].unicode = unicode;  // there before the first message comes through
  const LONG_PTR own = unicode ? ::SetWindowLongPtrW(window, GWLP_WNDPROC, procedure)
                               : ::SetWindowLongPtrA(window, GWLP_WNDPROC, procedure);
  if (own == 0) {
    Parents().erase(window);
    return;
  }
  Parents()[window].own = reinterpret_cast<WNDPROC>(own);
}

// Before the input reaches `target`: the parents whose notifications it may cause are ours.
void WatchAround(HWND target) {
  HWND root = ::GetAncestor(target, GA_ROOT);
  if (root == nullptr) return;
  if (IsSettingsDialog(root)) Subclass(root);
  ForEachDescendant(root, [](HWND window) {
    if (IsToolbar209(window) || IsStartSync(window)) Subclass(::GetParent(window));
  });
}

bool InEjectZone(HWND host, LPARAM at) {
  RECT r;
  if (!::GetWindowRect(host, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = static_cast<short>(LOWORD(at)), y = static_cast<short>(HIWORD(at));
  return x >= w - 16 && x < w && y >= (h - 16) / 2 && y < (h - 16) / 2 + 16;
}

void Taken(const MSG& m) {
  if (m.message != WM_LBUTTONDOWN && m.message != WM_KEYDOWN && m.message != WM_SYSKEYDOWN) return;
  WatchAround(m.hwnd);
  if (!watcher().ipod_chosen()) return;
  if (m.message == WM_LBUTTONDOWN && ::GetDlgCtrlID(m.hwnd) == kEjectHostId &&
      InEjectZone(m.hwnd, m.lParam)) {
    watcher().Post(Action::kEjectClicked);
  }
  // (bit 30: the key was already down, a repeat)
  if (m.message == WM_KEYDOWN && m.wParam == VK_DELETE && (m.lParam & (1 << 30)) == 0 &&
      ::GetDlgCtrlID(m.hwnd) == kDeviceListId && IsClass(m.hwnd, kListViewClass) &&
      RemoveEnabled(FindControl(::GetCurrentThreadId(), kSyncToolbarId, kToolbarClass))) {
    watcher().Post(Action::kRemovePressed);
  }
}

void Sent(const CWPSTRUCT& m) {
  switch (m.message) {
    case WM_DEVICECHANGE: {
      const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(m.lParam);
      if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_VOLUME) return;
      if (m.wParam == DBT_DEVICEARRIVAL) {
        watcher().PostArrival(reinterpret_cast<const DEV_BROADCAST_VOLUME*>(header)->dbcv_unitmask);
      } else if (m.wParam == DBT_DEVICEREMOVECOMPLETE) {
        watcher().PostLookSoon();
      }
      return;
    }
    case WM_COMMAND:
      if (HIWORD(m.wParam) == CBN_SELCHANGE && LOWORD(m.wParam) == kDeviceComboId) {
        watcher().PostLookSoon();
      }
      return;
    case WM_SHOWWINDOW:
    case WM_DESTROY:
      if (::GetDlgCtrlID(m.hwnd) == kDeviceListId) watcher().PostLookSoon();
      return;
    case BM_CLICK:
      WatchAround(m.hwnd);
      return;
  }
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION && wparam == PM_REMOVE) {
    ThreadEntry([&] { Taken(*reinterpret_cast<const MSG*>(lparam)); });
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK CallWindowHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION) ThreadEntry([&] { Sent(*reinterpret_cast<const CWPSTRUCT*>(lparam)); });
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

void InstallInterfaceHooks() {
  const DWORD thread = ::GetCurrentThreadId();
  ::SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, thread);
  ::SetWindowsHookExW(WH_CALLWNDPROC, &CallWindowHook, nullptr, thread);
}

}  // namespace tunewell::latchkey
