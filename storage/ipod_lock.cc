#include "storage/ipod_lock.h"

#include "platform/path.h"

namespace tunewell {

std::string IPodLockPath(std::string_view ipod_root) {
  return JoinPath(WithTrailingSeparator(ipod_root), {"iPod_Control", "iTunes", ".tunewell.lock"});
}

Status IPodLock::Acquire(Env& env, std::string_view ipod_root, IPodLock* lock) {
  lock->Release();
  const std::string path = IPodLockPath(ipod_root);
  if (env.KindOf(ParentOf(path)) != PathKind::kFolder) {
    return Status::NotFound(ParentOf(path) + ": no such folder; is this an iPod?");
  }
  return env.LockFile(path, &lock->lock_).Prefixed("cannot lock the iPod");
}

}  // namespace tunewell
