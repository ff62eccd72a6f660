#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace tunewell {

// The lock file in <root>/iPod_Control/iTunes that every operation changing an iPod holds.
std::string IPodLockPath(std::string_view ipod_root);

// Held by a sync run or a removal for as long as it reads, copies and writes, so that a second
// one on the same iPod, in this process or another, waits for the first to finish.
class IPodLock {
 public:
  // Blocks until the lock is free, told and stopped as `wait` says. Fails when the lock file
  // cannot be made (no iTunes folder: the iPod is not usable anyway), and refuses an iPod whose
  // iPod_Control or iTunes folder is a link: what is written there could land anywhere.
  static Status Acquire(Env& env, std::string_view ipod_root, IPodLock* lock,
                        const LockWait& wait = {});

  IPodLock() = default;
  bool held() const { return lock_ != nullptr; }
  void Release() { lock_.reset(); }

 private:
  std::unique_ptr<FileLock> lock_;
};

}  // namespace tunewell
