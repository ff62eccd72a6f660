#include "sync/win32/progress_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <future>

#include "win32kit/boundary.h"

namespace tunewell {

namespace {

constexpr UINT kCloseMessage = WM_APP + 1;

INT_PTR DialogMessage(HWND dialog, UINT message) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case kCloseMessage:
      ::DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return TRUE;
    case WM_COMMAND:
      // No input: the run alone closes it.
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return ProcedureEntry([&] { return DialogMessage(dialog, message); },
                        [] { return INT_PTR{FALSE}; });
}

void CentreInWorkArea(HWND window) {
  RECT area{}, box{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  ::GetWindowRect(window, &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  const int x = std::max<int>(area.left, area.left + (area.right - area.left - width) / 2);
  const int y = std::max<int>(area.top, area.top + (area.bottom - area.top - height) / 2);
  ::SetWindowPos(window, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

}  // namespace

bool CProgressBarDlg::Open() {
  if (window_ != nullptr) return true;
  if (ui_.joinable()) return false;  // opened once and closed: a dialog is never reused
  // Dialog 105's bar is a common control; a host that never used one has no class for it.
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&classes);
  std::promise<HWND> created;
  std::future<HWND> window = created.get_future();
  ui_ = std::thread([this, &created] { ThreadEntry([&] { RunLoop(created); }); });
  window_ = window.get();
  return window_ != nullptr;
}

void CProgressBarDlg::RunLoop(std::promise<HWND>& created) {
  HWND dialog =
      ::CreateDialogParamW(resources_, MAKEINTRESOURCEW(kDialogId), nullptr, DialogProc, 0);
  created.set_value(dialog);
  if (dialog == nullptr) return;
  ::ShowWindow(dialog, SW_SHOWNORMAL);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!::IsDialogMessageW(dialog, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

void CProgressBarDlg::Close() {
  if (window_ != nullptr) ::SendMessageW(window_, kCloseMessage, 0, 0);
  window_ = nullptr;
  if (ui_.joinable()) ui_.join();
}

void CProgressBarDlg::SetItemCount(int32_t items) {
  if (!Open()) return;
  model_.SetItemCount(items);
  HWND bar = ::GetDlgItem(window_, kBarId);
  // The 32-bit range: a 16-bit one would wrap beyond 65533 items.
  ::SendMessageW(bar, PBM_SETRANGE32, 0, model_.scale());
  ::SendMessageW(bar, PBM_SETSTEP, 1, 0);
  ::SendMessageW(bar, PBM_SETPOS, 0, 0);
  CentreInWorkArea(window_);
}

void CProgressBarDlg::SetStatus(const std::string& text) {
  if (Open()) ::SetDlgItemTextA(window_, kStatusId, text.c_str());
}

void CProgressBarDlg::Step() {
  if (!Open()) return;
  ::SendDlgItemMessageW(window_, kBarId, PBM_STEPIT, 0, 0);
  const int32_t percent = model_.Step();
  ::SetDlgItemTextA(window_, kPercentId, ProgressModel::PercentText(percent).c_str());
}

// Shows the controls with ids in [id_from, id_to) among the dialog's seven, hides the others.
void CProgressBarDlg::ShowOnly(int id_from, int id_to) {
  for (int id : {kBarId, kStatusId, kPercentId, kFirstSummaryId, kFirstSummaryId + 1,
                 kFirstSummaryId + 2, kFirstSummaryId + 3}) {
    ::ShowWindow(::GetDlgItem(window_, id), id >= id_from && id < id_to ? SW_SHOW : SW_HIDE);
  }
}

void CProgressBarDlg::ShowSummary(const SyncSummary& summary) {
  if (!Open()) return;
  ShowOnly(0, 0);
  for (const SummaryLine& line : SummaryLines(summary)) {
    HWND control = ::GetDlgItem(window_, kFirstSummaryId + static_cast<int>(line.id));
    ::SetWindowTextA(control, line.text.c_str());
    ::ShowWindow(control, line.visible ? SW_SHOW : SW_HIDE);
  }
  ::Sleep(hold_ms_);
  Close();
}

void CProgressBarDlg::ShowFailure(const std::string& text) {
  if (!Open()) return;
  // One wrapping line over the room of all four summary lines.
  RECT room{6, 7, 182, 43};
  ::MapDialogRect(window_, &room);
  HWND line = ::GetDlgItem(window_, kFirstSummaryId);
  ::MoveWindow(line, room.left, room.top, room.right - room.left, room.bottom - room.top, TRUE);
  ::SetWindowTextA(line, text.c_str());
  ShowOnly(kFirstSummaryId, kFirstSummaryId + 1);
  ::Sleep(hold_ms_);
  Close();
}

}  // namespace tunewell
