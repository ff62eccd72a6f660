#include "player/win32/player_views.h"

#include "player/win32/contents_view.h"
#include "player/win32/player_sync_host.h"
#include "storage/win32/system_device_tree.h"
#include "sync/track_collection.h"
#include "sync/win32/progress_dialog.h"

namespace tunewell {

void PlayerViews::AttachContentsView() { ContentsView::Instance().Attach(hook_); }

void PlayerViews::DetachContentsView() { ContentsView::Instance().Detach(); }

void PlayerViews::RefreshContentsView() { ContentsView::Instance().Refresh(hook_); }

void PlayerViews::RemoveSelectedTracks() {
  const Status s = ContentsView::Instance().RemoveSelected(hook_);
  // A removal that did not happen must not pass for one that did.
  if (!s.ok()) {
    MessageBoxNotice().Show("The selected tracks could not be removed: " + s.ToString(),
                            kNoticeCaption);
  }
}

void PlayerViews::EjectIPod(const std::string& ipod_root) {
  SystemDeviceTree tree;
  // A refused eject leaves the iPod mounted, as the system's own eject would; nothing to add.
  tunewell::EjectIPod(tree, ipod_root).IgnoreError();
}

std::unique_ptr<SyncProgress> PlayerViews::OpenProgress() {
  return std::make_unique<CProgressBarDlg>(plugin_);
}

void PlayerViews::Open() { ContentsView::Instance().Open(); }

void PlayerViews::Close() { ContentsView::Instance().Close(); }

}  // namespace tunewell
