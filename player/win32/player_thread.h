#pragma once

// The player's interface thread, the one that handed us its core: the player's objects live in
// its apartment and are called there only, reference counting included. Other threads hand it
// their work on the library through a message-only window of ours on that thread and wait.

#include <windows.h>
#include <wmp.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "player/win32/com_ptr.h"
#include "sync/player_library.h"
#include "win32kit/scoped_window.h"

namespace tunewell {

// Posted to our window when work waits for the player's thread; the window is ours alone, so any
// number of the application's range does.
inline constexpr UINT kPlayerThreadWork = WM_APP;

class PlayerThread : public PlayerLibraryAccess, public std::enable_shared_from_this<PlayerThread> {
 public:
  // How long work waits for the player's thread to take it up.
  static constexpr std::chrono::milliseconds kStartLimit{30000};

  // On the thread that hands us `core`: a reference on it and our window there; null when the
  // window cannot be made.
  static std::shared_ptr<PlayerThread> Open(IWMPCore* core,
                                            std::chrono::milliseconds start_limit = kStartLimit);
  // For Open only.
  struct Key {
   private:
    friend class PlayerThread;
    Key() = default;
  };
  PlayerThread(Key, IWMPCore* core, std::chrono::milliseconds start_limit);
  PlayerThread(const PlayerThread&) = delete;
  PlayerThread& operator=(const PlayerThread&) = delete;
  // Close must have run, on the player's thread, before the last owner lets go.
  ~PlayerThread() override = default;

  // On the player's thread: lets go of the core and the window. Work not yet taken up never
  // runs, and its waits end now.
  void Close();

  // From any other thread: runs `work` over the core on the player's thread. Work the thread has
  // not taken up within the start limit, or before Close, is dropped unrun. Work it has taken up
  // is waited for to its end, however long: it is then what that thread does, and it writes to
  // the caller's data.
  bool Run(const std::function<void(PlayerLibrary&)>& work) override;

 private:
  struct Work;

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // On the player's thread: every work that waits, in order.
  void RunWaiting();

  const std::chrono::milliseconds start_limit_;
  // The player's thread alone touches these; Close empties them.
  ComPtr<IWMPCore> core_;
  ScopedWindow window_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Work*> waiting_;
  bool closed_ = false;
};

}  // namespace tunewell
