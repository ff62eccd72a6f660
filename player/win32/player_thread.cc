#include "player/win32/player_thread.h"

#include <algorithm>
#include <exception>

#include "player/win32/wmp_library.h"
#include "win32kit/boundary.h"

namespace tunewell {

namespace {

constexpr char kWindowClass[] = "TunewellPlayerThread";

// The module whose code our window procedure is: each copy of the plug-in in a process (a renamed
// one, say) registers the class for itself.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

}  // namespace

struct PlayerThread::Work {
  enum class State { kWaiting, kRunning, kDone, kDropped };
  const std::function<void(PlayerLibrary&)>& body;
  State state = State::kWaiting;
  std::exception_ptr thrown;
};

PlayerThread::PlayerThread(Key, IWMPCore* core, std::chrono::milliseconds start_limit)
    : start_limit_(start_limit), core_(ComPtr<IWMPCore>::Share(core)) {}

std::shared_ptr<PlayerThread> PlayerThread::Open(IWMPCore* core,
                                                 std::chrono::milliseconds start_limit) {
  const HMODULE module = OwnModule();
  WNDCLASSEXA cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = &Procedure;
  cls.hInstance = module;
  cls.lpszClassName = kWindowClass;
  ::RegisterClassExA(&cls);  // fails harmlessly when an earlier Open registered it
  const auto thread = std::make_shared<PlayerThread>(Key{}, core, start_limit);
  thread->window_.reset(::CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          module, nullptr));
  if (!thread->window_.valid()) {
    thread->Close();
    return nullptr;
  }
  ::SetWindowLongPtrA(thread->window_.get(), GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(thread.get()));
  return thread;
}

void PlayerThread::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    for (Work* work : waiting_) work->state = Work::State::kDropped;
    waiting_.clear();
    changed_.notify_all();
  }
  // No other thread reads them once closed; a message still posted goes with the window.
  window_.reset();
  core_.Reset();
}

bool PlayerThread::Run(const std::function<void(PlayerLibrary&)>& work) {
  Work waiting{work, Work::State::kWaiting, nullptr};
  std::unique_lock lock(mutex_);
  // Posted under the lock, so that Close cannot take the window away meanwhile; posting waits
  // for nobody.
  if (closed_ || !::PostMessageA(window_.get(), kPlayerThreadWork, 0, 0)) return false;
  waiting_.push_back(&waiting);
  const auto taken = [&] { return waiting.state != Work::State::kWaiting; };
  if (!changed_.wait_for(lock, start_limit_, taken)) {
    std::erase(waiting_, &waiting);
    return false;
  }
  if (waiting.state == Work::State::kDropped) return false;
  changed_.wait(lock, [&] { return waiting.state == Work::State::kDone; });
  if (waiting.thrown) std::rethrow_exception(waiting.thrown);
  return true;
}

void PlayerThread::RunWaiting() {
  for (;;) {
    Work* work = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (waiting_.empty()) return;
      work = waiting_.front();
      waiting_.pop_front();
      work->state = Work::State::kRunning;
    }
    try {
      WmpLibrary library(core_.get());
      work->body(library);
    } catch (...) {
      work->thrown = std::current_exception();
    }
    // Told under the lock: once it is released the worker may be gone, and `work` with it.
    std::lock_guard lock(mutex_);
    work->state = Work::State::kDone;
    changed_.notify_all();
  }
}

LRESULT CALLBACK PlayerThread::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return ProcedureEntry(
      [&]() -> LRESULT {
        if (message != kPlayerThreadWork) return ::DefWindowProcA(window, message, wparam, lparam);
        auto* self = reinterpret_cast<PlayerThread*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        // Kept to the end: the player's calls may pump messages, and a SetCore(NULL) among them
        // would leave the last owner on a worker that goes once its work is done.
        if (self != nullptr) self->shared_from_this()->RunWaiting();
        return 0;
      },
      [&] { return ::DefWindowProcA(window, message, wparam, lparam); });
}

}  // namespace tunewell
