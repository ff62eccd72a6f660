#include "cli/sync_command.h"

#include <cstdio>

#include "cli/arguments.h"
#include "cli/cli_library.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/guid_option.h"
#include "cli/ipod_root.h"
#include "cli/terminal_progress.h"
#include "cli/visible_text.h"
#include "platform/interrupt.h"
#include "platform/path.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "sync/auto_sync_file.h"
#include "sync/track_collection.h"

namespace tunewell::cli {

namespace {

// The items the command line names stand in for the Sync list's checked rows.
class PathRows : public SyncListSource {
 public:
  std::vector<SyncListRow> rows;
  // The auto-sync file decides only a sync that names nothing.
  bool named = false;
  std::vector<SyncListRow> CheckedRows() override { return rows; }
  bool OutranksAutoSync() const override { return named; }
};

class CommandLineHost : public SyncHost {
 public:
  CommandLineHost(std::string root, PathRows* rows, TerminalProgress* progress)
      : root_(std::move(root)), rows_(rows), progress_(progress) {}

  std::string GetIPodRootDirectory() override { return root_; }
  void StopAutomaticSyncProcess() override {}
  SyncListSource* GetSyncList() override { return rows_; }
  void ShowNotice(const std::string& text, const std::string& /*caption*/) override {
    progress_->Message(text);
  }

 private:
  std::string root_;
  PathRows* rows_;
  TerminalProgress* progress_;
};

// What a named path leads to: the user's own links are followed.
PathKind KindFollowed(Env& env, const std::string& path) {
  FileIdentity what;
  return env.Identify(WithoutTrailingSeparator(path), &what).ok() ? what.kind : PathKind::kNone;
}

// The media items a PATH names, in order.
Status ItemsOf(Env& env, FileLibrary& library, const std::string& path,
               std::vector<std::shared_ptr<FileMedia>>* items) {
  std::vector<std::string> files;
  switch (KindFollowed(env, path)) {
    case PathKind::kFolder:
      RETURN_IF_ERROR(library.FindAudioFiles(path, &files));
      break;
    case PathKind::kFile:
      if (IsPlaylistFile(path)) {
        std::vector<std::string> unresolved;
        RETURN_IF_ERROR(library.ReadPlaylist(path, &files, &unresolved));
        for (std::string& note : unresolved) library.AddSkipped(std::move(note));
      } else {
        files.push_back(path);
      }
      break;
    default:
      return Status::NotFound(path + ": no such file or folder");
  }
  for (const std::string& file : files) items->push_back(library.MediaFor(file));
  return Status::Ok();
}

// Without PATHs the iPod's autoSync file decides; says what it will choose and what it names in
// vain.
void NoteWhatAutoSyncChooses(Env& env, FileLibrary& library, const std::string& root,
                             bool have_library) {
  AutoSyncFile file(env);
  const AutoSyncFile::ReadResult read = file.Read(root);
  std::string note;
  if (read == AutoSyncFile::ReadResult::kAbsent) {
    note = "note: no PATH given and the iPod has no autoSync file: nothing to sync";
  } else if (!have_library) {
    note =
        "note: the iPod's autoSync file chooses among playlists, but without --library there "
        "are none";
  } else {
    for (const std::string& name : file.Names()) {
      if (library.GetPlaylistsByName(NarrowToWide(name)).empty()) {
        note += "note: the autoSync file names the playlist \"" + VisibleText(name) +
                "\", which the library does not have\n";
      }
    }
    if (!note.empty()) note.pop_back();
  }
  if (!note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
}

}  // namespace

int SyncToIPod(Env& env, const std::string& ipod, const std::string& library_dir,
               const std::vector<std::string>& paths, const GuidSources& guid) {
  if (KindFollowed(env, ipod) != PathKind::kFolder) {
    PrintError(ipod + " is not a folder; nothing was changed");
    return kExitUnusable;
  }
  FileLibrary library(env);
  // A library holding the iPod would sync the iPod's own files onto it.
  library.PassOver(ipod);
  if (!library_dir.empty()) {
    if (KindFollowed(env, library_dir) != PathKind::kFolder) {
      PrintError("--library " + library_dir + " is not a folder");
      return kExitUsage;
    }
    const Status s = library.AddPlaylistsUnder(library_dir);
    if (!s.ok()) {
      PrintError("cannot read the library's playlists: " + s.ToString());
      return kExitUsage;
    }
  }
  std::vector<std::shared_ptr<FileMedia>> items;
  for (const std::string& path : paths) {
    const Status s = ItemsOf(env, library, path, &items);
    if (!s.ok()) {
      PrintError(s.message() + "; nothing was changed");
      return kExitUsage;
    }
  }

  const std::string root = WithTrailingSeparator(ipod);
  if (paths.empty()) NoteWhatAutoSyncChooses(env, library, root, !library_dir.empty());

  PathRows rows;
  rows.named = !paths.empty();
  for (const auto& media : items) {
    rows.rows.push_back({WideToNarrow(media->Name()), media->path()});
  }
  TerminalProgress progress(IsTerminal(stderr));
  CommandLineHost host(root, &rows, &progress);
  SyncServices services{env, progress, progress};
  services.stop = &InstallStopHandlers();
  services.guid = &guid;
  services.on_lock_wait = [&] { progress.Message(kWaitingForLock); };
  const SyncReport report = HandleSyncRequest(services, library, host, HookEvent::kSyncTab);
  if (!report.signing.empty()) progress.Message(report.signing);

  for (const std::string& note : library.skipped()) progress.Message("note: " + note);
  if (report.status.IsStopped()) return kExitStopped;
  if (!report.status.ok()) return kExitUnusable;
  // The run shows nothing for an empty list; here the user still wants to know.
  if (report.total == 0) progress.ShowSummary(report.summary);
  if (report.repeats != 0) {
    std::printf("Skipped %d items that repeated another item's title, album and artist.\n",
                static_cast<int>(report.repeats));
  }
  const bool all_read = library.skipped().empty();
  if (report.total == 0) return all_read ? kExitDone : kExitIncomplete;
  if (!report.stopped.ok()) progress.Message("copying stopped: " + report.stopped.ToString());
  if (!report.shuffle.ok()) progress.Message(report.shuffle.ToString());
  for (const Status& leftover : report.leftovers) progress.Message(leftover.message());
  return report.complete() && all_read ? kExitDone : kExitIncomplete;
}

int RunSyncCommand(Env& env, const std::vector<std::string>& args) {
  Arguments parsed;
  if (auto exit = ParseCommandLine(
          args,
          {.command = "sync", .valued = {"ipod", "library", kGuidOption}, .positionals = true},
          &parsed)) {
    return *exit;
  }
  GuidSources guid;
  if (auto exit = TakeGuidOption(parsed, &guid)) return *exit;
  const std::optional<std::string> root = IPodRootOf(env, parsed);
  if (!root) return kExitUsage;
  return SyncToIPod(env, *root, parsed.Value("library"), parsed.positionals, guid);
}

}  // namespace tunewell::cli
