#include "sync/sync_run.h"

#include <optional>

#include "database/ipod_database.h"
#include "platform/text.h"
#include "storage/ipod_location.h"
#include "storage/ipod_lock.h"
#include "storage/track_copy.h"

namespace tunewell {

namespace {

int32_t Count(const TrackArray& tracks) { return static_cast<int32_t>(tracks.size()); }

SyncReport Failed(SyncProgress& progress, SyncReport report, Status status,
                  const std::string& text) {
  report.status = std::move(status);
  progress.ShowFailure(text);
  return report;
}

// Takes the files of `copied` off the iPod again, for a run whose database could not be
// written: unrecorded files would only fill the iPod. Returns how many stay behind.
int RemoveCopiedFiles(Env& env, const std::string& root, const TrackArray& copied) {
  int left = 0;
  for (const TrackInfo* track : copied) {
    if (!env.RemoveFile(PathFromLocation(root, track->path)).ok()) ++left;
  }
  return left;
}

}  // namespace

std::string CopyingStatus(const TrackInfo& track) {
  return kCopyingStatusPrefix + WideToNarrow(track.artist) + kArtistTitleSeparator +
         WideToNarrow(track.title);
}

SyncReport RunSync(const SyncServices& services, const std::string& ipod_root, TrackArray& tracks,
                   int32_t not_mp3_count) {
  SyncProgress& progress = services.progress;
  SyncReport report;
  report.total = Count(tracks);
  report.summary.notMp3 = not_mp3_count;
  if (report.total == 0) return report;

  progress.SetItemCount(report.total);
  if (ipod_root.empty()) {
    return Failed(progress, report, Status::InvalidArgument("no iPod root"),
                  "No iPod was found. Nothing was copied.");
  }
  IPodLock lock;
  Status s = IPodLock::Acquire(services.env, ipod_root, &lock);
  if (!s.ok()) {
    return Failed(progress, report, s,
                  "The iPod cannot be used (" + s.ToString() + "). Nothing was changed.");
  }

  std::optional<IPodDatabase> ipod;
  ipod.emplace(services.env, ipod_root);
  s = ipod->LoadForSync(&tracks);
  if (!s.ok()) {
    return Failed(
        progress, report, s,
        "The iPod's database cannot be used (" + s.ToString() + "). Nothing was changed.");
  }
  const CopyTarget target = CopyTarget::For(services.env, ipod->root());
  const int32_t after_load = Count(tracks);
  int32_t remaining = after_load;
  int32_t copied = 0;
  bool copy_failed = false;

  if (after_load >= 1) {
    progress.SetItemCount(after_load);
    progress.SetStatus(kInitialisingStatus);
    progress.Step();

    std::optional<LcgRandom> clock_random;
    RandomSource* random = services.random;
    if (random == nullptr) random = &clock_random.emplace(LcgRandom::SeededFromClock(services.env));

    size_t cursor = 0;
    while (cursor < tracks.size()) {
      TrackInfo& track = *tracks[cursor];
      progress.SetStatus(CopyingStatus(track));
      Status why;
      const CopyResult result =
          CopyTrackToIPod(target, track, remaining, *random, services.notice, &why);
      if (result == CopyResult::Copied) {
        ++copied;
        progress.Step();
        ++cursor;
      } else if (result == CopyResult::SourceMissing) {
        RemoveEntry(tracks, cursor);
        --remaining;
        ++report.missing;
      } else {
        // No room, no music folder, no free name or a failed copy: the later tracks would fare
        // no better, so they stay behind with this one.
        tracks.resize(cursor);
        copy_failed = result != CopyResult::NoRoom;
        report.stopped = why.ok() ? Status::IOError(DescribeCopyResult(result)) : why;
        break;
      }
    }

    progress.SetStatus(kUpdatingDatabaseStatus);
    s = ipod->SaveAfterSync(tracks);
    if (!s.ok()) {
      std::string now;
      const bool readable = services.env.ReadFile(ipod->dbPath(), &now).ok();
      if (readable && now != ipod->itunesDb().image()) {
        // iTunesDB lists the copied tracks; only iTunesSD lags behind.
        report.shuffle = s;
      } else {
        std::string text =
            "The iPod's database files could not be updated (" + s.ToString() + "). ";
        if (readable) {
          // Files that no database names would only fill the iPod.
          const int left = RemoveCopiedFiles(services.env, ipod->root(), tracks);
          text += left == 0 ? "The copied files were removed again; nothing was changed."
                            : std::to_string(left) + " copied files could not be removed again.";
        } else {
          text += "The copied files were left on the iPod.";
        }
        report.summary = {remaining, report.total - after_load, 0, not_mp3_count};
        tracks.clear();
        return Failed(progress, report, s, text);
      }
    }
    progress.Step();
  }
  ipod.reset();
  lock.Release();

  if (services.host != nullptr) services.host->RefreshContentsView();
  report.summary = {remaining, report.total - after_load, copied, not_mp3_count, copy_failed};
  progress.ShowSummary(report.summary);
  return report;
}

}  // namespace tunewell
