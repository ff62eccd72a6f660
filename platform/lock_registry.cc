#include "platform/lock_registry.h"

#include <chrono>
#include <utility>

namespace tunewell {

LockRegistry& LockRegistry::ForProcess() {
  static LockRegistry registry;
  return registry;
}

Status LockRegistry::Acquire(const std::string& name, const LockWait& wait, uint64_t* token) {
  std::unique_lock<std::mutex> guard(mutex_);
  bool told = false;
  while (held_.count(name) != 0) {
    if (!std::exchange(told, true) && wait.on_wait) wait.on_wait();
    // A signal sets the stop request without waking anyone: look again now and then.
    released_.wait_for(guard, std::chrono::milliseconds(50));
    if (wait.stop != nullptr && wait.stop->Requested()) {
      return Status::Stopped("stopped while waiting for " + name);
    }
  }
  *token = next_token_++;
  held_[name] = *token;
  return Status::Ok();
}

void LockRegistry::Release(const std::string& name, uint64_t token) {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = held_.find(name);
    if (it == held_.end() || it->second != token) return;
    held_.erase(it);
  }
  released_.notify_all();
}

void LockRegistry::ReleaseAll() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    held_.clear();
  }
  released_.notify_all();
}

}  // namespace tunewell
