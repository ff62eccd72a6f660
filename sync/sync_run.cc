#include "sync/sync_run.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <unordered_set>

#include "database/ipod_database.h"
#include "platform/text.h"
#include "storage/ipod_location.h"
#include "storage/ipod_lock.h"
#include "storage/track_copy.h"
#include "sync/interrupted_run.h"
#include "sync/run_journal.h"

namespace tunewell {

namespace {

int32_t Count(const TrackArray& tracks) { return static_cast<int32_t>(tracks.size()); }

SyncReport Failed(SyncProgress& progress, SyncReport report, Status status,
                  const std::string& text) {
  report.status = std::move(status);
  progress.ShowFailure(text);
  return report;
}

// Takes the copies of a run that will not record them off the iPod again (files no database
// names would only fill it) and says so. What cannot be removed stays in the journal.
std::string TakeCopiesBack(Env& env, const std::string& root, const TrackArray& copied) {
  int left = 0;
  for (const TrackInfo* track : copied) {
    if (!env.RemoveFile(PathFromLocation(root, track->path)).ok()) ++left;
  }
  if (left > 0) {
    return std::to_string(left) + " copied files could not be removed; the next run removes them.";
  }
  ClearJournal(env, root).IgnoreError();  // one left over would only be found done
  return copied.empty() ? "Nothing was changed."
                        : "The copied files were removed again; nothing was changed.";
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
  s = FinishInterruptedRun(*ipod);
  if (!s.ok()) {
    tracks.clear();
    return Failed(progress, report, s,
                  "What an interrupted earlier run left on the iPod cannot be cleaned up (" +
                      s.ToString() + "). Nothing was copied.");
  }
  Env& env = services.env;
  const std::string& root = ipod->root();
  std::optional<LcgRandom> clock_random;
  RandomSource* random = services.random;
  if (random == nullptr) random = &clock_random.emplace(LcgRandom::SeededFromClock(env));
  RunJournal journal;
  CopyTarget target = CopyTarget::For(env, root);
  std::deque<std::string> planned;
  target.planned = &planned;
  std::unordered_set<std::u16string> journaled;
  size_t cursor = 0;
  size_t batch = 8;
  target.before_copy = [&](std::u16string_view location) {
    if (journaled.count(std::u16string(location)) != 0) return Status::Ok();
    journal.added.emplace_back(location);
    // The names of the next copies go in with this one, in growing batches, so that a run
    // writes its journal a few times rather than once per track.
    const size_t later = tracks.size() - cursor - 1;
    const size_t first_planned = journal.added.size();
    // A name that cannot be drawn ahead is drawn by its own copy, which then reports why.
    PlanDestinations(target, std::min(batch, later), *random, &journal.added).IgnoreError();
    journaled.insert(journal.added.begin() + static_cast<ptrdiff_t>(first_planned),
                     journal.added.end());
    batch *= 2;
    return WriteJournal(env, root, journal);
  };
  // Kept when files it names may still need the next run: orphans, or a lagging iTunesSD.
  bool keep_journal = false;
  const int32_t after_load = Count(tracks);
  int32_t remaining = after_load;
  int32_t copied = 0;
  bool copy_failed = false;

  if (after_load >= 1) {
    progress.SetItemCount(after_load);
    progress.SetStatus(kInitialisingStatus);
    progress.Step();

    const auto stop_requested = [&] {
      return services.stop != nullptr && services.stop->Requested();
    };

    while (cursor < tracks.size() && !stop_requested()) {
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

    const auto give_up = [&](Status why, const std::string& text) {
      report.summary = {remaining, report.total - after_load, 0, not_mp3_count};
      tracks.clear();
      return Failed(progress, report, std::move(why), text);
    };
    if (stop_requested()) {
      tracks.resize(static_cast<size_t>(copied));  // the later ones were never copied
      return give_up(Status::Stopped("the run was asked to stop"),
                     "Stopped. " + TakeCopiesBack(env, root, tracks));
    }
    progress.SetStatus(kUpdatingDatabaseStatus);
    // A run that copied nothing changes nothing, and so writes nothing.
    if (!tracks.empty()) {
      // Names planned for copies that never came hold nothing.
      std::erase_if(journal.added, [&](const std::u16string& location) {
        return std::find_if(planned.begin(), planned.end(), [&](const std::string& path) {
                 return PathFromLocation(root, location) == path;
               }) != planned.end();
      });
      journal.replacing = true;
      // The copies reach the device before a database names them.
      s = env.SyncVolume(root);
      if (s.ok()) s = WriteJournal(env, root, journal);
      if (s.ok()) s = ipod->SaveAfterSync(tracks);
    }
    if (!s.ok()) {
      std::string now;
      const bool readable = env.ReadFile(ipod->dbPath(), &now).ok();
      if (readable && now != ipod->itunesDb().image()) {
        // iTunesDB lists the copied tracks; only iTunesSD lags behind, until the next run.
        report.shuffle = s;
        keep_journal = true;
      } else {
        const std::string text = "The iPod's database files could not be updated (" + s.ToString() +
                                 "). " +
                                 (readable ? TakeCopiesBack(env, root, tracks)
                                           : "The copied files were left on the iPod.");
        return give_up(s, text);
      }
    }
    progress.Step();
  }
  // Everything the journal names is now recorded or gone; one left over would only be read,
  // found done and removed by the next run.
  if (!keep_journal && !journal.added.empty()) ClearJournal(env, root).IgnoreError();
  ipod.reset();
  lock.Release();

  if (services.host != nullptr) services.host->RefreshContentsView();
  report.summary = {remaining, report.total - after_load, copied, not_mp3_count, copy_failed};
  progress.ShowSummary(report.summary);
  return report;
}

}  // namespace tunewell
