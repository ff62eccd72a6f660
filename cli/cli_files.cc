#include "cli/cli_files.h"

#include <vector>

#include "platform/path.h"

namespace tunewell::cli {

Status CreateFolders(Env& env, const std::string& path) {
  std::vector<std::string> missing;
  for (std::string p = WithoutTrailingSeparator(path); !p.empty(); p = ParentOf(p)) {
    const PathKind kind = env.KindOf(p);
    if (kind == PathKind::kFolder) break;
    if (kind != PathKind::kNone) return Status::InvalidArgument(p + ": not a folder");
    missing.push_back(p);
    // A root that is not there ("/", "E:\") has no parent to look at.
    if (ParentOf(p) == p) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    RETURN_IF_ERROR(env.CreateFolder(*it));
  }
  return Status::Ok();
}

}  // namespace tunewell::cli
