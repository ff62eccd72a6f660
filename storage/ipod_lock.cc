#include "storage/ipod_lock.h"

#include "platform/path.h"

namespace tunewell {

std::string IPodLockPath(std::string_view ipod_root) {
  return JoinPath(WithTrailingSeparator(ipod_root), {"iPod_Control", "iTunes", ".tunewell.lock"});
}

Status IPodLock::Acquire(Env& env, std::string_view ipod_root, IPodLock* lock,
                         const LockWait& wait) {
  lock->Release();
  const std::string path = IPodLockPath(ipod_root);
  for (const std::string& folder : {ParentOf(ParentOf(path)), ParentOf(path)}) {
    const PathKind kind = env.KindOf(folder);
    if (kind == PathKind::kNone) {
      return Status::NotFound(folder + ": no such folder; is this an iPod?");
    }
    if (kind != PathKind::kFolder) {
      return Status::Refused(folder + ": not a plain folder (a link?)");
    }
  }
  return env.LockFile(path, &lock->lock_, wait).Prefixed("cannot lock the iPod");
}

}  // namespace tunewell
