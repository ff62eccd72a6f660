#pragma once

// The plug-in's working object: the player core it was given, the hook library, and what the
// hook events act on. One per process, kept until the process ends: the hook library holds it
// as its event context and no export takes that back, so it must never die under an event.
// Without a core it is inert and ignores every event.

#include <windows.h>
#include <wmp.h>

#include <memory>
#include <mutex>
#include <string>

#include "hook/hook_events.h"
#include "player/view_events.h"
#include "player/win32/hook_binding.h"
#include "player/win32/player_thread.h"

namespace tunewell {

class SyncController {
 public:
  // The process's controller, over the hook library beside `plugin` and `views`; the arguments
  // of the first call are kept.
  static SyncController& Instance(HMODULE plugin, ViewEvents& views);

  SyncController(HMODULE plugin, ViewEvents& views) : hook_(plugin), views_(views) {}
  SyncController(const SyncController&) = delete;
  SyncController& operator=(const SyncController&) = delete;

  // Takes a reference on `core` on behalf of `owner`, on the thread that hands it over and whose
  // it stays, and installs the hook, once per process.
  void Attach(IWMPCore* core, const void* owner);
  // Lets go of the core if `owner` gave the current one: events are ignored from then on, and the
  // player has its windows back.
  void Detach(const void* owner);
  bool attached();

  // `event` on the hook library's thread: the work that must happen before it returns (the
  // settings dialog read of kSyncSettings). False when the controller is inert.
  bool BeforeWorker(HookEvent event);
  // `event` on a worker thread of its own.
  void RunEvent(HookEvent event);

 private:
  void HandleSyncRequest(HookEvent event);
  void RememberRoot(const std::string& root);
  std::shared_ptr<PlayerThread> Player();

  HookBinding hook_;
  ViewEvents& views_;
  std::once_flag install_once_;
  std::mutex mutex_;
  std::shared_ptr<PlayerThread> player_;
  const void* owner_ = nullptr;
  // The root as the hook library last reported it, for an eject while it reports none.
  std::string last_root_;
};

// Handed to installhook: starts one worker per event and returns its handle, or null when the
// controller is inert or no thread could be started.
extern "C" HANDLE __cdecl HookEventCallback(void* context, int event_code);

}  // namespace tunewell
