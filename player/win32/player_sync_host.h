#pragma once

// What a sync request asks of the player besides its library: the hook library's answers, the
// Sync list's checked rows, message boxes and the wait cursor.

#include <windows.h>

#include <functional>
#include <string>

#include "player/view_events.h"
#include "player/win32/hook_binding.h"
#include "storage/missing_file_notice.h"
#include "sync/sync_host.h"

namespace tunewell {

// The checked rows of a list view with a "File Path" column, switched on if needed.
class SyncListRows : public SyncListSource {
 public:
  explicit SyncListRows(HWND list) : list_(list) {}
  std::vector<SyncListRow> CheckedRows() override;

 private:
  HWND list_;
};

class PlayerSyncHost : public SyncHost {
 public:
  // `on_root` hears every root the hook library reports.
  PlayerSyncHost(HookBinding& hook, ViewEvents& views,
                 std::function<void(const std::string&)> on_root)
      : hook_(hook), views_(views), on_root_(std::move(on_root)) {}

  std::string GetIPodRootDirectory() override;
  void StopAutomaticSyncProcess() override { hook_.StopAutomaticSync(); }
  SyncListSource* GetSyncList() override;
  void ShowNotice(const std::string& text, const std::string& caption) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void RefreshContentsView() override { views_.RefreshContentsView(); }

 private:
  HookBinding& hook_;
  ViewEvents& views_;
  std::function<void(const std::string&)> on_root_;
  std::unique_ptr<SyncListRows> rows_;
  HCURSOR previous_cursor_ = nullptr;
};

// A message box with an OK button and no owner, waited on.
class MessageBoxNotice : public MissingFileNotice {
 public:
  void Show(const std::string& text, const std::string& caption) override;
};

}  // namespace tunewell
