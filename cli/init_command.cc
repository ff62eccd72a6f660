#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_files.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "database/empty_database.h"
#include "platform/path.h"
#include "platform/replace_file.h"
#include "storage/music_folders.h"

namespace tunewell::cli {

namespace {

constexpr int kDefaultFolders = 20;
constexpr int kMaxFolders = 100;

// `text` as a folder count, or -1.
int ParseFolderCount(const std::string& text) {
  if (text.empty() || text.size() > 3) return -1;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n >= 1 && n <= kMaxFolders ? n : -1;
}

}  // namespace

int RunInit(Env& env, const std::vector<std::string>& args) {
  Arguments parsed;
  if (auto exit = ParseCommandLine(
          args, {.command = "init", .valued = {"ipod", "folders"}, .flags = {"shuffle"}},
          &parsed)) {
    return *exit;
  }
  if (!parsed.Has("ipod")) {
    PrintError("init needs --ipod DIR");
    return kExitUsage;
  }
  const int folders =
      parsed.Has("folders") ? ParseFolderCount(parsed.Value("folders")) : kDefaultFolders;
  if (folders < 0) {
    PrintError("--folders takes a number from 1 to " + std::to_string(kMaxFolders));
    return kExitUsage;
  }
  const bool shuffle = parsed.flags.count("shuffle") != 0;

  const std::string root = WithTrailingSeparator(parsed.Value("ipod"));
  const std::string itunes = JoinPath(root, {"iPod_Control", "iTunes"});
  const std::string db_path = JoinPath(itunes, {"iTunesDB"});
  const std::string sd_path = JoinPath(itunes, {"iTunesSD"});
  const PathKind root_kind = env.KindOf(WithoutTrailingSeparator(root));
  if (root_kind != PathKind::kNone && root_kind != PathKind::kFolder) {
    PrintError(root + " is not a folder; nothing was changed");
    return kExitUnusable;
  }
  for (const std::string& existing : {db_path, sd_path}) {
    if (env.KindOf(existing) != PathKind::kNone) {
      PrintError(existing + " already exists; nothing was changed");
      return kExitUnusable;
    }
  }

  const std::string music = MusicDirectory(root);
  Status s = CreateFolders(env, music);
  for (int i = 0; s.ok() && i < folders; ++i) {
    char name[8];
    std::snprintf(name, sizeof(name), "F%02d", i);
    s = env.CreateFolder(JoinPath(music, {name}));
  }
  if (s.ok()) s = env.CreateFolder(itunes);
  if (s.ok()) s = WriteFileSafely(env, db_path, BuildEmptyITunesDb());
  if (s.ok() && shuffle) s = WriteFileSafely(env, sd_path, BuildEmptyITunesSd());
  if (!s.ok()) {
    PrintError("cannot make the iPod folder: " + s.ToString());
    return kExitUnusable;
  }

  char last[8];
  std::snprintf(last, sizeof(last), "F%02d", folders - 1);
  std::string out = "made " + JoinPath(music, {"F00"});
  if (folders > 1) out += std::string(" .. ") + last;
  out += " (" + std::to_string(folders) + " music folder" + (folders > 1 ? "s" : "") + ")\n";
  out += "made " + db_path + " (empty database)\n";
  if (shuffle) out += "made " + sd_path + " (empty shuffle database)\n";
  std::fputs(out.c_str(), stdout);
  return kExitDone;
}

}  // namespace tunewell::cli
