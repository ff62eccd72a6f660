#include "platform/lock_registry.h"

namespace tunewell {

LockRegistry& LockRegistry::ForProcess() {
  static LockRegistry registry;
  return registry;
}

uint64_t LockRegistry::Acquire(const std::string& name) {
  std::unique_lock<std::mutex> guard(mutex_);
  released_.wait(guard, [&] { return held_.count(name) == 0; });
  const uint64_t token = next_token_++;
  held_[name] = token;
  return token;
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
