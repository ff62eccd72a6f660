#include "player/win32/sync_controller.h"

#include "player/win32/auto_sync_selection.h"
#include "player/win32/module.h"
#include "player/win32/player_sync_host.h"
#include "player/win32/wmp_library.h"
#include "sync/track_collection.h"

namespace tunewell {

SyncController& SyncController::Instance(HMODULE plugin, ViewEvents& views) {
  // Never destroyed: at process exit the player's objects may already be gone.
  static SyncController* const controller = new SyncController(plugin, views);
  return *controller;
}

void SyncController::Attach(IWMPCore* core, const void* owner) {
  {
    std::lock_guard lock(mutex_);
    core_ = ComPtr<IWMPCore>::Share(core);
    owner_ = owner;
  }
  views_.Open();
  std::call_once(install_once_, [this] {
    if (hook_.InstallHook(&HookEventCallback, this)) module::Pin();
  });
}

void SyncController::Detach(const void* owner) {
  ComPtr<IWMPCore> released;
  {
    std::lock_guard lock(mutex_);
    if (owner != owner_) return;
    released = std::move(core_);
    owner_ = nullptr;
  }
  // Not under the lock: giving the player its windows back sends to them.
  views_.Close();
}

bool SyncController::attached() {
  std::lock_guard lock(mutex_);
  return static_cast<bool>(core_);
}

ComPtr<IWMPCore> SyncController::Core() {
  std::lock_guard lock(mutex_);
  return core_.Copy();
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
      std::string root;
      {
        std::lock_guard lock(mutex_);
        root = last_root_;
      }
      views_.EjectIPod(root);
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
  // The request keeps the core alive even if the player lets go of the plug-in meanwhile.
  ComPtr<IWMPCore> core = Core();
  if (!core) return;
  WmpLibrary library(core.get());
  PlayerSyncHost host(hook_, views_, [this](const std::string& root) { RememberRoot(root); });
  const std::unique_ptr<SyncProgress> progress = views_.OpenProgress();
  MessageBoxNotice notice;
  const SyncServices services{Env::Default(), *progress, notice, &host, nullptr};
  // What the run did, the user has seen in its progress window or its notices.
  tunewell::HandleSyncRequest(services, library, host, event).status.IgnoreError();
}

}  // namespace tunewell
