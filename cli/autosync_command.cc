#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/ipod_root.h"
#include "database/ipod_database.h"
#include "platform/path.h"
#include "sync/auto_sync_file.h"

namespace tunewell::cli {

// `autosync --ipod DIR --off` deletes the selection; `autosync --ipod DIR NAME...` writes it;
// `autosync --ipod DIR` alone writes an empty one, which stands for every playlist.
int RunAutoSync(Env& env, const std::vector<std::string>& args) {
  Arguments parsed;
  if (auto exit = ParseCommandLine(
          args, {.command = "autosync", .valued = {"ipod"}, .flags = {"off"}, .positionals = true},
          &parsed)) {
    return *exit;
  }
  const bool off = parsed.flags.count("off") != 0;
  if (off && !parsed.positionals.empty()) {
    PrintError("autosync takes either --off or playlist names");
    return kExitUsage;
  }
  const std::optional<std::string> ipod = IPodRootOf(env, parsed);
  if (!ipod) return kExitUsage;
  const std::string root = WithTrailingSeparator(*ipod);
  // A selection file in a folder that is no iPod would only surprise a later sync there.
  if (env.KindOf(IPodDatabase(env, root).dbPath()) != PathKind::kFile) {
    PrintError(root + " holds no iPod database; nothing was changed");
    return kExitUnusable;
  }

  AutoSyncFile file(env);
  if (off) {
    const Status deleted = file.Delete(root);
    if (!deleted.ok()) {
      PrintError("cannot delete the autoSync file: " + deleted.ToString());
      return kExitUnusable;
    }
    std::puts("auto-sync is off: a sync with no PATH syncs nothing");
    return kExitDone;
  }
  for (const std::string& name : parsed.positionals) {
    if (name.size() > kMaxAutoSyncNameBytes) {
      PrintError("playlist name longer than " + std::to_string(kMaxAutoSyncNameBytes) +
                 " bytes: " + name.substr(0, 40) + "...");
      return kExitUsage;
    }
  }
  const Status written = WriteAutoSyncSelection(env, root, parsed.positionals);
  if (!written.ok()) {
    PrintError("cannot write the autoSync file: " + written.ToString());
    return kExitUnusable;
  }
  if (parsed.positionals.empty()) {
    std::puts("auto-sync selection: every playlist");
  } else {
    std::string out = "auto-sync selection:";
    for (const std::string& name : parsed.positionals) out += "\n  " + name;
    std::puts(out.c_str());
  }
  return kExitDone;
}

}  // namespace tunewell::cli
