#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/guid_option.h"
#include "cli/ipod_root.h"
#include "cli/visible_text.h"
#include "contents/contents_rows.h"
#include "database/ipod_database.h"
#include "platform/collation.h"
#include "platform/interrupt.h"
#include "platform/text.h"
#include "storage/ipod_location.h"
#include "sync/removal_run.h"

namespace tunewell::cli {

namespace {

bool ParseTrackId(const std::string& text, uint32_t* id) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (n > UINT32_MAX) return false;
  *id = static_cast<uint32_t>(n);
  return true;
}

// A name as the contents tree shows it (`unknown` when empty) equals `wanted`.
bool SameShownName(const std::u16string& name, std::u16string_view unknown,
                   const std::u16string& wanted) {
  return CompareText(name.empty() ? unknown : std::u16string_view(name), wanted) == 0;
}

}  // namespace

int RunRemove(Env& env, const std::vector<std::string>& args) {
  Arguments parsed;
  const CommandSyntax syntax{.command = "remove",
                             .valued = {"ipod", "artist", "album", kGuidOption},
                             .repeatable = {"id"}};
  if (auto exit = ParseCommandLine(args, syntax, &parsed)) return *exit;
  GuidSources guid;
  if (auto exit = TakeGuidOption(parsed, &guid)) return *exit;
  const bool by_id = parsed.Has("id");
  const bool by_artist = parsed.Has("artist");
  if (by_id == by_artist || (parsed.Has("album") && !by_artist)) {
    PrintError("remove needs either --id N (repeatable) or --artist NAME [--album NAME]");
    return kExitUsage;
  }
  std::set<uint32_t> ids;
  for (const std::string& text : parsed.All("id")) {
    uint32_t id = 0;
    if (!ParseTrackId(text, &id)) {
      PrintError("bad track id '" + text + "'");
      return kExitUsage;
    }
    ids.insert(id);
  }

  const std::optional<std::string> root = IPodRootOf(env, parsed);
  if (!root) return kExitUsage;
  IPodDatabase ipod(env, *root);
  OwnedTracks tracks;
  Status s = ipod.ReadTrackList(&tracks);
  if (!s.ok()) {
    PrintError("cannot read the iPod's database; nothing was removed: " + s.ToString());
    return kExitUnusable;
  }

  // Chosen from this first reading, in display order, named as `list` names them.
  const std::u16string artist = Utf8ToUtf16(parsed.Value("artist"));
  const std::u16string album = Utf8ToUtf16(parsed.Value("album"));
  std::vector<TrackInfo> chosen;
  std::set<uint32_t> found;
  for (const auto& track : tracks) {
    const bool match =
        by_id ? ids.count(track->trackId) != 0
              : SameShownName(track->artist, kUnknownArtist, artist) &&
                    (!parsed.Has("album") || SameShownName(track->album, kUnknownAlbum, album));
    if (!match) continue;
    chosen.push_back(*track);
    found.insert(track->trackId);
  }
  // Asking for what is not there is a mistake worth stopping for: remove nothing.
  for (uint32_t id : ids) {
    if (found.count(id) == 0) {
      PrintError("no track with id " + std::to_string(id) + " on the iPod; nothing was removed");
      return kExitUsage;
    }
  }
  if (chosen.empty()) {
    PrintError("no track by \"" + parsed.Value("artist") + "\"" +
               (parsed.Has("album") ? " on \"" + parsed.Value("album") + "\"" : "") +
               " on the iPod; nothing was removed");
    return kExitUsage;
  }

  // Another run may change the iPod before its lock is ours, and a freed id can go to a new
  // track: only what is still the same track (id, location, title, artist, album) goes.
  std::string out;
  size_t removed = 0, gone = 0;
  RemovalReport report;
  const LockWait wait{[] { PrintError(kWaitingForLock); }, &InstallStopHandlers()};
  s = RemovePickedTracksFromIPod(
      ipod,
      [&](const TrackArray& listed) {
        const TrackArray picked = MatchTracks(listed, chosen);
        for (const TrackInfo* track : picked) {
          out += WideToNarrow(VisibleText(track->artist + u" - " + track->title)) + "\n";
        }
        removed = picked.size();
        // Neither its id nor its file is there any more: another run removed it.
        std::set<uint32_t> ids;
        std::set<std::u16string> places;
        for (const TrackInfo* track : listed) {
          ids.insert(track->trackId);
          places.insert(LocationKey(track->path));
        }
        for (const TrackInfo& want : chosen) {
          gone += ids.count(want.trackId) == 0 && places.count(LocationKey(want.path)) == 0;
        }
        return picked;
      },
      &report, &guid, wait);
  if (report.backup_given_up) {
    PrintError(
        "note: the iPod had no room for the new database beside the old one; the backup "
        "iTunesDB.bak was deleted to make room");
  }
  if (s.IsStopped()) {
    PrintError("stopped while waiting; nothing was removed");
    return kExitStopped;
  }
  if (!s.ok()) {
    PrintError("cannot remove: " + s.ToString());
    return kExitUnusable;
  }
  if (!report.signing.empty()) PrintError("note: " + report.signing);
  std::fputs(out.c_str(), stdout);
  if (gone > 0) {
    PrintError(std::to_string(gone) + " of the chosen tracks were removed by another run already");
  }
  bool undeleted = removed + gone < chosen.size();
  if (undeleted) {
    PrintError(std::to_string(chosen.size() - removed - gone) +
               " of the chosen tracks changed before the iPod was free; they were kept");
  }
  // Kept on purpose (still named by a track that stays, a location outside the music) is fine;
  // an audio file that should have gone and stays is not.
  for (const Status& kept : report.files_kept) PrintError(kept.message());
  for (const Status& stuck : report.files_stuck) PrintError(stuck.message());
  undeleted |= !report.files_stuck.empty();
  return undeleted ? kExitIncomplete : kExitDone;
}

}  // namespace tunewell::cli
