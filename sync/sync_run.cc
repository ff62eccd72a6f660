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
#include "sync/signing.h"

namespace tunewell {

namespace {

int32_t Count(const TrackArray& tracks) { return static_cast<int32_t>(tracks.size()); }

// Takes the copies of a run that will not record them off the iPod again (files no database
// names would only fill it) and says so. What cannot be removed stays in the journal.
std::string TakeCopiesBack(Env& env, const std::string& root, const TrackArray& copied,
                           const std::vector<std::u16string>& leftovers) {
  int left = 0;
  for (const TrackInfo* track : copied) {
    if (!env.RemoveFile(PathFromLocation(root, track->path)).ok()) ++left;
  }
  if (left > 0) {
    return std::to_string(left) + " copied files could not be removed; the next run removes them.";
  }
  ClearJournal(env, root, leftovers).IgnoreError();  // one left over would only be found done
  return copied.empty() ? "Nothing was changed."
                        : "The copied files were removed again; nothing was changed.";
}

// One run, from taking the iPod's lock to its summary. RunSync calls the steps in order:
// OpenAndRecover, CopyAll, Record, Close; a run that is stopped or cannot record its copies
// ends in TakeBack instead. A step that returns false has ended the run: the report says why
// and the user was told.
class SyncRun {
 public:
  SyncRun(const SyncServices& services, TrackArray& tracks, SyncReport& report)
      : services_(services),
        env_(services.env),
        progress_(services.progress),
        tracks_(tracks),
        report_(report) {}
  SyncRun(const SyncRun&) = delete;
  SyncRun& operator=(const SyncRun&) = delete;

  // Takes the lock, loads the database (dropping from the list the tracks the iPod holds) and
  // finishes what an interrupted earlier run left.
  bool OpenAndRecover(const std::string& ipod_root);
  bool HasTracksToCopy() const { return after_load_ >= 1; }
  // Copies the tracks in list order, each journaled before it is written, until the end of the
  // list, a stop request or a failure the later tracks would meet too.
  void CopyAll();
  bool StopRequested() const { return services_.stop != nullptr && services_.stop->Requested(); }
  // Records the copies: they reach the device first, then the journal says the databases are
  // being replaced, then the databases name them. Only a lagging iTunesSD is left for the next
  // run; any other failure takes the copies back.
  bool Record();
  // Removes the copies again, unless `remove_copies` is false (the database can no longer be
  // read, so what it names is unknown), and ends the run with `why`; `text` starts the message.
  bool TakeBack(Status why, std::string text, bool remove_copies);
  // Clears the journal, releases the iPod and shows the summary.
  void Close();

 private:
  bool Fail(Status why, const std::string& text);
  const std::string& root() const { return ipod_->root(); }
  // CopyTarget::before_copy: journals `location`, and with it names drawn ahead for the next
  // copies.
  Status JournalCopy(std::u16string_view location);
  // Record's writes in their order, up to the first failure.
  Status WriteRecords();

  const SyncServices& services_;
  Env& env_;
  SyncProgress& progress_;
  TrackArray& tracks_;
  SyncReport& report_;

  // Declared before the database so that it is released after it.
  IPodLock lock_;
  std::optional<IPodDatabase> ipod_;
  std::optional<LcgRandom> clock_random_;
  RandomSource* random_ = nullptr;

  CopyTarget target_;
  std::deque<std::string> planned_;
  RunJournal journal_;
  // Locations the journal holds: copies made or under way, and names planned ahead.
  std::unordered_set<std::u16string> journaled_;
  size_t batch_ = 8;
  // Kept when files it names may still need the next run: orphans, or a lagging iTunesSD.
  bool keep_journal_ = false;
  Leftovers leftovers_;

  // Tracks to copy once those on the iPod are dropped; less the missing ones as they are found.
  int32_t after_load_ = 0;
  int32_t remaining_ = 0;
  // The track being copied; those before it are on the iPod.
  size_t cursor_ = 0;
  int32_t copied_ = 0;
  bool copy_failed_ = false;
};

bool SyncRun::OpenAndRecover(const std::string& ipod_root) {
  // The lock comes before the progress window: a run waiting for another's shows nothing over
  // the other's window until its own turn.
  Status s = ipod_root.empty() ? Status::InvalidArgument("no iPod root")
                               : IPodLock::Acquire(env_, ipod_root, &lock_,
                                                   {services_.on_lock_wait, services_.stop});
  progress_.SetItemCount(report_.total);
  if (ipod_root.empty()) return Fail(s, "No iPod was found. Nothing was copied.");
  if (s.IsStopped()) return Fail(s, "Stopped while waiting for another run. Nothing was changed.");
  if (!s.ok()) {
    return Fail(s, "The iPod cannot be used (" + s.ToString() + "). Nothing was changed.");
  }
  ipod_.emplace(env_, ipod_root);
  s = ipod_->LoadForSync(&tracks_);
  if (s.ok()) {
    s = PrepareSigning(*ipod_, services_.guid ? *services_.guid : GuidSources(), &report_.signing);
  }
  if (!s.ok()) {
    return Fail(s,
                "The iPod's database cannot be used (" + s.ToString() + "). Nothing was changed.");
  }
  s = FinishInterruptedRun(*ipod_, &leftovers_);
  report_.leftovers = leftovers_.reasons;
  // Named until deleted: a crash of this run must not forget them.
  journal_.removed = leftovers_.locations;
  if (!s.ok()) {
    tracks_.clear();
    return Fail(s, "What an interrupted earlier run left on the iPod cannot be cleaned up (" +
                       s.ToString() + "). Nothing was copied.");
  }
  random_ = services_.random;
  if (random_ == nullptr) random_ = &clock_random_.emplace(LcgRandom::SeededFromClock(env_));
  target_ = CopyTarget::For(env_, root());
  // The new databases are staged beside the old ones: about their whole size again, which a
  // copy must not take, or the run could record none of its copies.
  target_.reserve =
      static_cast<int64_t>(ipod_->itunesDb().image().size() + ipod_->shuffleDb().image().size());
  target_.planned = &planned_;
  target_.before_copy = [this](std::u16string_view location) { return JournalCopy(location); };
  after_load_ = Count(tracks_);
  remaining_ = after_load_;
  return true;
}

Status SyncRun::JournalCopy(std::u16string_view location) {
  if (journaled_.count(std::u16string(location)) != 0) return Status::Ok();
  journal_.added.emplace_back(location);
  // The names of the next copies go in with this one, in growing batches, so that a run
  // writes its journal a few times rather than once per track.
  const size_t later = tracks_.size() - cursor_ - 1;
  const size_t first_planned = journal_.added.size();
  // A name that cannot be drawn ahead is drawn by its own copy, which then reports why.
  PlanDestinations(target_, std::min(batch_, later), *random_, &journal_.added).IgnoreError();
  journaled_.insert(journal_.added.begin() + static_cast<ptrdiff_t>(first_planned),
                    journal_.added.end());
  batch_ *= 2;
  return WriteJournal(env_, root(), journal_);
}

void SyncRun::CopyAll() {
  progress_.SetItemCount(after_load_);
  progress_.SetStatus(kInitialisingStatus);
  progress_.Step();
  while (cursor_ < tracks_.size() && !StopRequested()) {
    TrackInfo& track = *tracks_[cursor_];
    progress_.SetStatus(CopyingStatus(track));
    Status why;
    const CopyResult result =
        CopyTrackToIPod(target_, track, remaining_, *random_, services_.notice, &why);
    if (result == CopyResult::Copied) {
      ++copied_;
      progress_.Step();
      ++cursor_;
    } else if (result == CopyResult::SourceMissing) {
      RemoveEntry(tracks_, cursor_);
      --remaining_;
      ++report_.missing;
    } else {
      // No room, no music folder, no free name or a failed copy: the later tracks would fare
      // no better, so they stay behind with this one.
      tracks_.resize(cursor_);
      copy_failed_ = result != CopyResult::NoRoom;
      report_.stopped = why.ok() ? Status::IOError(DescribeCopyResult(result)) : why;
      return;
    }
  }
}

Status SyncRun::WriteRecords() {
  // Names planned for copies that never came hold nothing.
  std::erase_if(journal_.added, [&](const std::u16string& location) {
    return std::find_if(planned_.begin(), planned_.end(), [&](const std::string& path) {
             return PathFromLocation(root(), location) == path;
           }) != planned_.end();
  });
  journal_.replacing = true;
  // The copies reach the device before a database names them.
  RETURN_IF_ERROR(env_.SyncVolume(root()));
  RETURN_IF_ERROR(WriteJournal(env_, root(), journal_));
  return ipod_->SaveAfterSync(tracks_);
}

bool SyncRun::Record() {
  progress_.SetStatus(kUpdatingDatabaseStatus);
  // A run that copied nothing changes nothing, and so writes nothing.
  const Status s = tracks_.empty() ? Status::Ok() : WriteRecords();
  if (!s.ok()) {
    std::string now;
    const bool readable = env_.ReadFile(ipod_->dbPath(), &now).ok();
    if (!readable || now == ipod_->itunesDb().image()) {
      return TakeBack(s, "The iPod's database files could not be updated (" + s.ToString() + "). ",
                      readable);
    }
    // iTunesDB lists the copied tracks; only iTunesSD lags behind, until the next run.
    report_.shuffle = s;
    keep_journal_ = true;
  }
  progress_.Step();
  return true;
}

bool SyncRun::TakeBack(Status why, std::string text, bool remove_copies) {
  tracks_.resize(static_cast<size_t>(copied_));  // a stop leaves the later ones uncopied
  text += remove_copies ? TakeCopiesBack(env_, root(), tracks_, leftovers_.locations)
                        : "The copied files were left on the iPod.";
  report_.summary = {.remaining = remaining_,
                     .existing = report_.total - after_load_,
                     .copied = 0,
                     .notMp3 = report_.summary.notMp3};
  tracks_.clear();
  return Fail(std::move(why), text);
}

void SyncRun::Close() {
  // Everything the journal names is now recorded or gone; one left over would only be read,
  // found done and removed by the next run.
  if (!keep_journal_ && !journal_.added.empty()) {
    ClearJournal(env_, root(), leftovers_.locations).IgnoreError();
  }
  ipod_.reset();
  lock_.Release();

  if (services_.host != nullptr) services_.host->RefreshContentsView();
  report_.summary = {.remaining = remaining_,
                     .existing = report_.total - after_load_,
                     .copied = copied_,
                     .notMp3 = report_.summary.notMp3,
                     .copyFailed = copy_failed_};
  progress_.ShowSummary(report_.summary);
}

bool SyncRun::Fail(Status why, const std::string& text) {
  report_.status = std::move(why);
  progress_.ShowFailure(text);
  return false;
}

}  // namespace

std::string CopyingStatus(const TrackInfo& track) {
  return kCopyingStatusPrefix + WideToNarrow(track.artist) + kArtistTitleSeparator +
         WideToNarrow(track.title);
}

SyncReport RunSync(const SyncServices& services, const std::string& ipod_root, TrackArray& tracks,
                   int32_t not_mp3_count) {
  SyncReport report;
  report.total = Count(tracks);
  report.summary.notMp3 = not_mp3_count;
  if (report.total == 0) return report;

  SyncRun run(services, tracks, report);
  if (!run.OpenAndRecover(ipod_root)) return report;
  if (run.HasTracksToCopy()) {
    run.CopyAll();
    if (run.StopRequested()) {
      run.TakeBack(Status::Stopped("the run was asked to stop"), "Stopped. ",
                   /*remove_copies=*/true);
      return report;
    }
    if (!run.Record()) return report;
  }
  run.Close();
  return report;
}

}  // namespace tunewell
