#include "sync/removal_run.h"

#include <functional>
#include <set>
#include <unordered_map>

#include "platform/text.h"
#include "storage/ipod_location.h"
#include "storage/ipod_lock.h"
#include "storage/music_file_removal.h"
#include "sync/interrupted_run.h"
#include "sync/run_journal.h"
#include "sync/signing.h"

namespace tunewell {

namespace {

void DeleteMusicFile(IPodDatabase& ipod, const TrackInfo& track, RemovalReport& report,
                     Leftovers& leftovers) {
  const Status s = RemoveMusicFile(ipod.env(), ipod.root(), track.path);
  if (s.ok()) {
    ++report.files_deleted;
  } else if (s.IsNotFound()) {
    ++report.files_missing;
  } else if (s.code() == Status::Code::kInvalidArgument) {
    report.files_kept.push_back(s.Prefixed("kept"));  // not a music file of this iPod
  } else {
    leftovers.Add(track.path, s.Prefixed("still on the iPod"));
  }
}

// Runs `write`; when it finds no room, gives up iTunesDB.bak and runs it once more, but only
// when the backup's room and the free room hold what `write` stages: the new databases (no
// larger than the old ones after a removal) and `journal`. On a full iPod a removal is the
// user's way out, and the next save with room makes a backup again.
Status WithRoomFromBackup(IPodDatabase& ipod, RemovalReport& report, const RunJournal& journal,
                          const std::function<Status()>& write) {
  Status s = write();
  Env& env = ipod.env();
  const std::string backup = ipod.dbPath() + ".bak";
  if (!s.IsNoSpace() || env.KindOf(backup) != PathKind::kFile) return s;
  uint64_t backup_bytes = 0, free_bytes = 0, shuffle_bytes = 0;
  if (!env.FileSize(backup, &backup_bytes).ok() || !env.FreeBytes(ipod.root(), &free_bytes).ok()) {
    return s;
  }
  if (ipod.shuffleDb().loaded()) env.FileSize(ipod.sdPath(), &shuffle_bytes).IgnoreError();
  const uint64_t need =
      ipod.itunesDb().image().size() + shuffle_bytes + EncodeJournal(journal).size();
  if (backup_bytes + free_bytes < need || !env.RemoveFile(backup).ok()) return s;
  report.backup_given_up = true;
  return write();
}

}  // namespace

Status RemoveTracksFromIPod(IPodDatabase& ipod, const TrackArray& tracks, RemovalReport* report,
                            const GuidSources* guid) {
  return RemovePickedTracksFromIPod(
      ipod, [&](const TrackArray&) { return tracks; }, report, guid);
}

Status RemovePickedTracksFromIPod(IPodDatabase& ipod, const RemovalPick& pick,
                                  RemovalReport* report, const GuidSources* guid,
                                  const LockWait& wait) {
  RemovalReport ignored;
  RemovalReport& out = report != nullptr ? *report : ignored;
  out = RemovalReport();

  // One change to an iPod at a time: a sync run takes the same lock.
  IPodLock lock;
  Status s = IPodLock::Acquire(ipod.env(), ipod.root(), &lock, wait);
  if (!s.ok()) return s.Prefixed("nothing was removed");
  // Both databases are read, and must be writable, before either is written.
  s = ipod.LoadForSync(nullptr);
  if (s.ok()) s = PrepareSigning(ipod, guid ? *guid : GuidSources(), &out.signing);
  if (!s.ok()) return s.Prefixed("nothing was removed");
  Leftovers leftovers;
  s = FinishInterruptedRun(ipod, &leftovers);
  if (!s.ok()) return s.Prefixed("an interrupted earlier run could not be finished");
  const TrackArray tracks = pick(ipod.itunesDb().trackList().tracks());
  auto settle = [&] {
    ClearJournal(ipod.env(), ipod.root(), leftovers.locations).IgnoreError();
    out.files_stuck = leftovers.reasons;
  };
  if (tracks.empty()) {  // a run that changes nothing writes nothing
    out.files_stuck = leftovers.reasons;
    return Status::Ok();
  }

  std::set<std::u16string> still_named;
  for (const TrackInfo* kept : ipod.itunesDb().trackList().Without(tracks)) {
    still_named.insert(LocationKey(kept->path));
  }
  RunJournal journal{.added = {}, .removed = leftovers.locations, .replacing = true};
  for (const TrackInfo* track : tracks) journal.removed.push_back(track->path);
  // Both new files are checked before either replaces its old one; on failure neither has
  // changed, so no audio file may go.
  s = WithRoomFromBackup(ipod, out, journal, [&] {
    RETURN_IF_ERROR(WriteJournal(ipod.env(), ipod.root(), journal));
    return ipod.SaveAfterRemoval(tracks, !out.backup_given_up);
  });
  if (!s.ok()) {
    std::string now;
    // Kept for the next run only when iTunesDB changed and could not be put back.
    if (ipod.env().ReadFile(ipod.dbPath(), &now).ok() && now == ipod.itunesDb().image()) {
      settle();
    }
    return s.Prefixed("no audio file was deleted");
  }

  for (const TrackInfo* track : tracks) {
    if (still_named.count(LocationKey(track->path)) != 0) {
      out.files_kept.push_back(Status::Refused("kept " + Utf16ToUtf8(track->path) +
                                               ": a remaining track still names it"));
      continue;
    }
    DeleteMusicFile(ipod, *track, out, leftovers);
  }
  settle();
  return Status::Ok();
}

TrackArray MatchTracks(const TrackArray& on_ipod, const std::vector<TrackInfo>& chosen) {
  std::unordered_multimap<uint32_t, const TrackInfo*> by_id;
  for (const TrackInfo& want : chosen) by_id.emplace(want.trackId, &want);
  TrackArray matched;
  for (TrackInfo* track : on_ipod) {
    const auto [first, last] = by_id.equal_range(track->trackId);
    for (auto it = first; it != last; ++it) {
      const TrackInfo& want = *it->second;
      if (want.path == track->path && want.title == track->title && want.artist == track->artist &&
          want.album == track->album) {
        matched.push_back(track);
        break;
      }
    }
  }
  return matched;
}

}  // namespace tunewell
