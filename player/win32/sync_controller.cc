#include "player/win32/sync_controller.h"

#include "player/win32/auto_sync_selection.h"
#include "player/win32/module.h"
#include "player/win32/player_sync_host.h"
#include "sync/track_collection.h"

namespace tunewell {

SyncController& SyncController::Instance(HMODULE plugin, ViewEvents& views) {
  // Never destroyed: at process exit the player's objects may already be gone.
  static SyncController* const controller = new SyncController(plugin, views);
  return *controller;
}

void SyncController::Attach(IWMPCore* core, const void* owner) {
  std::shared_ptr<PlayerThread> replaced = PlayerThread::Open(core);
  {
    std::lock_guard lock(mutex_);
    player_.swap(replaced);
    owner_ = owner;
  }
  if (replaced) replaced->Close();
  views_.Open();
  std::call_once(install_once_, [this] {
    if (hook_.InstallHook(&HookEventCallback, this)) module::Pin();
  });
}

void SyncController::Detach(const void* owner) {
  std::shared_ptr<PlayerThread> closed;
  {
    std::lock_guard lock(mutex_);
    if (owner != owner_) return;
    closed = std::exchange(player_, nullptr);
    owner_ = nullptr;
  }
  // Requests whose work still waits for the player's thread end without it.
  if (closed) closed->Close();
  // Not under the lock: giving the player its windows back sends to them.
  views_.Close();
}

bool SyncController::attached() {
  std::lock_guard lock(mutex_);
  return static_cast<bool>(player_);
}

std::shared_ptr<PlayerThread> SyncController::Player() {
  std::lock_guard lock(mutex_);
  return player_;
}

void SyncController::RememberRoot(const std::string& root) {
  std::lock_guard lock(mutex_);
  last_root_ = root;
}

bool SyncController::BeforeWorker(HookEvent event) {
  if (!attached()) return false;
  if (event == HookEvent::kSyncSettings) {
    // The settings dialog is only open until the hook library's thread goes on.
    const std::string root = hook_.IPodRoot();
    if (!root.empty()) {
      RememberRoot(root);
      SaveAutoSyncSelection(Env::Default(), hook_.SyncSettingsDialog(), root);
    }
  }
  return true;
}

void SyncController::RunEvent(HookEvent event) {
  switch (event) {
    case HookEvent::kRefreshAndSync:
      views_.RefreshContentsView();
      HandleSyncRequest(event);
      break;
    case HookEvent::kAttachView:
    case HookEvent::kAttachViewAgain:
      views_.AttachContentsView();
      break;
    case HookEvent::kRemoveSelected:
      views_.RemoveSelectedTracks();
      break;
    case HookEvent::kEject: {
      // The iPod there now: drive letters move, and the user may eject before any sync.
      std::string root = hook_.IPodRoot();
      if (root.empty()) {
        std::lock_guard lock(mutex_);
        root = last_root_;
      } else {
        RememberRoot(root);
      }
      if (!root.empty()) views_.EjectIPod(root);
      break;
    }
    case HookEvent::kDetachView:
      views_.DetachContentsView();
      break;
    default:
      HandleSyncRequest(event);
  }
}

void SyncController::HandleSyncRequest(HookEvent event) {
  // The player's objects are reached through its own thread only, and not at all once it has
  // let go of the plug-in.
  const std::shared_ptr<PlayerThread> player = Player();
  if (!player) return;
  PlayerSyncHost host(hook_, views_, [this](const std::string& root) { RememberRoot(root); });
  const std::unique_ptr<SyncProgress> progress = views_.OpenProgress();
  MessageBoxNotice notice;
  const SyncServices services{Env::Default(), *progress, notice, &host, nullptr};
  // What the run did, the user has seen in its progress window or its notices.
  tunewell::HandleSyncRequest(services, *player, host, event).status.IgnoreError();
}

}  // namespace tunewell
