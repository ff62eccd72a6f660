#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "platform/env.h"

namespace tunewell {

// The holders of named locks within one process: an Env's LockFile takes a name here before
// (posix, win32) or instead of (memory) the file system's own lock, so that two holders in this
// process wait for each other rather than share one lock.
class LockRegistry {
 public:
  // The registry of this process, shared by the posix and win32 Envs.
  static LockRegistry& ForProcess();

  // Blocks while another holds `name`, told and stopped as `wait` says, then holds it under
  // `*token`. Stopped, holding nothing, when it was stopped.
  Status Acquire(const std::string& name, const LockWait& wait, uint64_t* token);

  // Gives `name` up, unless it is held under another token by now (after ReleaseAll).
  void Release(const std::string& name, uint64_t token);

  // Gives every name up, as a crash of the process would.
  void ReleaseAll();

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, uint64_t> held_;  // name -> token of the holder
  uint64_t next_token_ = 1;
};

}  // namespace tunewell
