// The hook library's callback: one worker thread per event.

#include <memory>
#include <type_traits>

#include "player/win32/sync_controller.h"

namespace tunewell {

namespace {

struct HookEvent {
  SyncController* controller;
  int code;
};

DWORD WINAPI HookEventWorker(void* param) {
  const std::unique_ptr<HookEvent> event(static_cast<HookEvent*>(param));
  try {
    event->controller->RunEvent(event->code);
  } catch (...) {
    // Nothing may leave a thread of the player's process; the event is lost, the player is not.
  }
  return 1;
}

}  // namespace

extern "C" HANDLE __cdecl HookEventCallback(void* context, int event_code) {
  try {
    auto* controller = static_cast<SyncController*>(context);
    if (controller == nullptr || !controller->BeforeWorker(event_code)) return nullptr;
    auto event = std::make_unique<HookEvent>(HookEvent{controller, event_code});
    HANDLE worker = ::CreateThread(nullptr, 0, HookEventWorker, event.get(), 0, nullptr);
    if (worker != nullptr) event.release();  // the worker owns it now
    return worker;
  } catch (...) {
    return nullptr;
  }
}

// The convention the hook library calls with; on i686 a mismatch would unbalance its stack.
static_assert(std::is_same_v<decltype(&HookEventCallback), HookEventCallbackFn>);

}  // namespace tunewell
