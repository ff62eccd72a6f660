// The hook library's callback: one worker thread per event.

#include <type_traits>

#include "player/win32/sync_controller.h"
#include "win32kit/boundary.h"
#include "win32kit/thread_handoff.h"

namespace tunewell {

extern "C" HANDLE __cdecl HookEventCallback(void* context, int event_code) {
  return ProcedureEntry(
      [&]() -> HANDLE {
        auto* controller = static_cast<SyncController*>(context);
        const auto event = static_cast<HookEvent>(event_code);
        if (controller == nullptr || !controller->BeforeWorker(event)) return nullptr;
        // The hook library keeps the handle; the event is lost, the player is not, if the
        // worker throws.
        return HandOffToThread([controller, event] { controller->RunEvent(event); }).release();
      },
      []() -> HANDLE { return nullptr; });
}

// The convention the hook library calls with; on i686 a mismatch would unbalance its stack.
static_assert(std::is_same_v<decltype(&HookEventCallback), HookEventCallbackFn>);

}  // namespace tunewell
