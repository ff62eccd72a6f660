#pragma once

// The progress window of a sync run from the player: dialog 105 with a status line, a bar and
// its percentage, then the summary lines (or why the run failed) for a few seconds.
//
// The run's worker thread drives it and pumps no messages, so the dialog lives on a thread of
// its own with its own message loop: it repaints when covered or moved whatever the worker
// does. Every call below sends to that thread and returns once the control holds the new value.

#include <windows.h>

#include <cstdint>
#include <future>
#include <string>
#include <thread>

#include "sync/progress.h"

namespace tunewell {

class CProgressBarDlg : public SyncProgress {
 public:
  static constexpr int kDialogId = 105;
  static constexpr int kBarId = 1002, kStatusId = 1003, kPercentId = 1004;
  // The summary lines, in SummaryLineId order.
  static constexpr int kFirstSummaryId = 1007;
  static constexpr DWORD kHoldMs = 4000;

  // `resources` is the module holding dialog 105; the last words stay `hold_ms`.
  explicit CProgressBarDlg(HMODULE resources, DWORD hold_ms = kHoldMs)
      : resources_(resources), hold_ms_(hold_ms) {}
  ~CProgressBarDlg() override { Close(); }
  CProgressBarDlg(const CProgressBarDlg&) = delete;
  CProgressBarDlg& operator=(const CProgressBarDlg&) = delete;

  // The dialog, null before the first call opened it and after it closed.
  HWND window() const { return window_; }

  // Opens the dialog on the first call, centred in the work area and topmost.
  void SetItemCount(int32_t items) override;
  void SetStatus(const std::string& text) override;
  void Step() override;
  // Shows the summary lines, holds them, and closes the dialog.
  void ShowSummary(const SyncSummary& summary) override;
  // Shows `text` where the summary would stand, holds it, and closes the dialog.
  void ShowFailure(const std::string& text) override;

 private:
  bool Open();
  void Close();
  void ShowOnly(int id_from, int id_to);
  // The dialog's thread: makes it, hands it to `created` and runs its messages until it closes.
  void RunLoop(std::promise<HWND>& created);

  HMODULE resources_;
  DWORD hold_ms_;
  std::thread ui_;
  HWND window_ = nullptr;
  ProgressModel model_;
};

}  // namespace tunewell
