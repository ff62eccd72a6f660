#include "cli/ipod_root.h"

#include <cstdio>

#include "cli/commands.h"
#include "platform/path.h"

namespace tunewell::cli {

std::vector<std::string> FindMountedIPods(Env& env) {
  std::vector<std::string> mounts, ipods;
  // Without a mount table there is nothing to find; --ipod still works.
  if (!env.ListMounts(&mounts).ok()) return ipods;
  for (const std::string& mount : mounts) {
    const std::string itunes = JoinPath(WithTrailingSeparator(mount), {"iPod_Control", "iTunes"});
    if (env.KindOf(itunes) == PathKind::kFolder) ipods.push_back(mount);
  }
  return ipods;
}

std::optional<std::string> IPodRootOf(Env& env, const Arguments& parsed) {
  if (parsed.Has("ipod")) return parsed.Value("ipod");
  const std::vector<std::string> ipods = FindMountedIPods(env);
  if (ipods.size() == 1) {
    std::fprintf(stderr, "tunewell: using the iPod mounted at %s\n", ipods[0].c_str());
    return ipods[0];
  }
  if (ipods.empty()) {
    PrintError("no mounted iPod found (no mount holds iPod_Control/iTunes); give --ipod DIR");
  } else {
    std::string found;
    for (const std::string& ipod : ipods) found += "\n  " + ipod;
    PrintError("several iPods are mounted; choose one with --ipod DIR:" + found);
  }
  return std::nullopt;
}

}  // namespace tunewell::cli
