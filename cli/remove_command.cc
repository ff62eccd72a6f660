#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "database/ipod_database.h"
#include "platform/text.h"
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

}  // namespace

int RunRemove(Env& env, const std::vector<std::string>& args) {
  Arguments parsed;
  Status s =
      ParseArguments(args, CommandSyntax{{"ipod", "id", "artist", "album"}, {}, false}, &parsed);
  const bool by_id = parsed.Has("id");
  const bool by_artist = parsed.Has("artist");
  if (s.ok() &&
      (!parsed.Has("ipod") || by_id == by_artist || (parsed.Has("album") && !by_artist))) {
    s = Status::InvalidArgument(
        "remove needs --ipod DIR and either --id N (repeatable) or --artist NAME [--album NAME]");
  }
  std::set<uint32_t> ids;
  for (const std::string& text : parsed.All("id")) {
    uint32_t id = 0;
    if (s.ok() && !ParseTrackId(text, &id))
      s = Status::InvalidArgument("bad track id '" + text + "'");
    ids.insert(id);
  }
  if (!s.ok()) {
    PrintError(s.message());
    return kExitUsage;
  }

  IPodDatabase ipod(env, parsed.Value("ipod"));
  OwnedTracks tracks;
  s = ipod.ReadTrackList(&tracks);
  if (!s.ok()) {
    PrintError("cannot read the iPod's database; nothing was removed: " + s.ToString());
    return kExitUnusable;
  }

  // Picked in display order.
  const std::u16string artist = Utf8ToUtf16(parsed.Value("artist"));
  const std::u16string album = Utf8ToUtf16(parsed.Value("album"));
  TrackArray picked;
  std::set<uint32_t> found;
  for (const auto& track : tracks) {
    const bool match =
        by_id ? ids.count(track->trackId) != 0
              : track->artist == artist && (!parsed.Has("album") || track->album == album);
    if (!match) continue;
    picked.push_back(track.get());
    found.insert(track->trackId);
  }
  // Asking for what is not there is a mistake worth stopping for: remove nothing.
  for (uint32_t id : ids) {
    if (found.count(id) == 0) {
      PrintError("no track with id " + std::to_string(id) + " on the iPod; nothing was removed");
      return kExitUsage;
    }
  }
  if (picked.empty()) {
    PrintError("no track by \"" + parsed.Value("artist") + "\"" +
               (parsed.Has("album") ? " on \"" + parsed.Value("album") + "\"" : "") +
               " on the iPod; nothing was removed");
    return kExitUsage;
  }

  RemovalReport report;
  s = RemoveTracksFromIPod(ipod, picked, &report);
  if (!s.ok()) {
    PrintError("cannot remove: " + s.ToString());
    return kExitUnusable;
  }
  if (report.backup_given_up) {
    PrintError("note: the iPod had no room for the new database beside the old one; the backup "
               "iTunesDB.bak was deleted to make room");
  }
  std::string out;
  for (const TrackInfo* track : picked) {
    out += WideToNarrow(track->artist) + " - " + WideToNarrow(track->title) + "\n";
  }
  std::fputs(out.c_str(), stdout);
  for (const Status& kept : report.files_kept) PrintError(kept.message());
  return kExitDone;
}

}  // namespace tunewell::cli
