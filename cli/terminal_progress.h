#pragma once

#include <cstdio>
#include <string>

#include "storage/missing_file_notice.h"
#include "sync/progress.h"

namespace tunewell::cli {

// A run's progress on stderr: on a terminal one live line with a bar, the percentage and the
// status; otherwise one plain line per status. Summary lines go to stdout, notices and failures
// to stderr, each clearing the live line first.
class TerminalProgress : public SyncProgress, public MissingFileNotice {
 public:
  // `live`: draw the bar in place (stderr is a terminal).
  explicit TerminalProgress(bool live) : live_(live) {}
  ~TerminalProgress() override { ClearLine(); }

  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  void SetItemCount(int32_t items) override;
  void SetStatus(const std::string& text) override;
  void Step() override;
  void ShowSummary(const SyncSummary& summary) override;
  void ShowFailure(const std::string& text) override;

  // The missing-source notice.
  void Show(const std::string& text, const std::string& caption) override;

  // A line on stderr ("tunewell: <text>") that does not tear the bar.
  void Message(const std::string& text);

 private:
  void Draw();
  void ClearLine();

  bool live_;
  ProgressModel model_;
  std::string status_;
  size_t drawn_ = 0;  // columns of the live line now on screen
};

}  // namespace tunewell::cli
