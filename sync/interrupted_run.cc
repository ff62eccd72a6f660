#include "sync/interrupted_run.h"

#include <set>

#include "storage/ipod_location.h"
#include "storage/music_file_removal.h"
#include "sync/run_journal.h"

namespace tunewell {

namespace {

using Keys = std::set<std::u16string>;

Keys KeysOf(const std::vector<std::u16string>& locations) {
  Keys keys;
  for (const std::u16string& location : locations) keys.insert(LocationKey(location));
  return keys;
}

// Replaces iTunesSD by a version with entries for `locations` left out, or appended when
// `adding`, and reads it back in.
Status RewriteShuffle(IPodDatabase& ipod, const std::vector<std::u16string>& locations,
                      bool adding) {
  if (locations.empty()) return Status::Ok();
  std::vector<TrackInfo> tracks(locations.size());
  TrackArray array;
  for (size_t i = 0; i < locations.size(); ++i) {
    tracks[i].path = locations[i];
    array.push_back(&tracks[i]);
  }
  ShuffleDatabase& shuffle = ipod.shuffleDb();
  StagedFile staged;
  RETURN_IF_ERROR(adding ? shuffle.StageAdding(ipod.sdPath(), array, &staged)
                         : shuffle.StageRemoving(ipod.sdPath(), array, &staged));
  RETURN_IF_ERROR(staged.Commit(""));
  return shuffle.Load(ipod.sdPath());
}

// iTunesDB was replaced first, so it tells which of the journal's files the run recorded:
// iTunesSD lists exactly those of them.
Status CatchUpShuffle(IPodDatabase& ipod, const RunJournal& journal, const Keys& referenced,
                      const std::vector<std::u16string>& orphans) {
  const Keys listed = KeysOf(ipod.shuffleDb().Names());
  std::vector<std::u16string> drop, add;
  for (const std::u16string& location : orphans) {
    if (listed.count(LocationKey(location)) != 0) drop.push_back(location);
  }
  for (const std::u16string& location : journal.added) {
    const std::u16string key = LocationKey(location);
    if (referenced.count(key) != 0 && listed.count(key) == 0) add.push_back(location);
  }
  RETURN_IF_ERROR(RewriteShuffle(ipod, drop, /*adding=*/false));
  return RewriteShuffle(ipod, add, /*adding=*/true);
}

}  // namespace

Status FinishInterruptedRun(IPodDatabase& ipod) {
  Env& env = ipod.env();
  RunJournal journal;
  Status s = ReadJournal(env, ipod.root(), &journal);
  if (s.IsNotFound()) return Status::Ok();
  // Written whole or not at all, so this is no journal of ours: there is nothing to act on.
  if (s.IsCorruption()) return ClearJournal(env, ipod.root());
  RETURN_IF_ERROR(s);

  Keys referenced;
  for (const TrackInfo* track : ipod.itunesDb().trackList().tracks()) {
    referenced.insert(LocationKey(track->path));
  }
  std::vector<std::u16string> orphans;
  for (const auto* locations : {&journal.added, &journal.removed}) {
    for (const std::u16string& location : *locations) {
      if (referenced.count(LocationKey(location)) == 0) orphans.push_back(location);
    }
  }
  if (journal.replacing && ipod.shuffleDb().loaded()) {
    RETURN_IF_ERROR(CatchUpShuffle(ipod, journal, referenced, orphans).Prefixed("iTunesSD"));
  }
  for (const std::u16string& location : orphans) {
    s = RemoveMusicFile(env, ipod.root(), location);
    // Gone already, or not a music file this run may delete: nothing left to do for it.
    const bool settled =
        s.ok() || s.IsNotFound() || s.IsRefused() || s.code() == Status::Code::kInvalidArgument;
    if (!settled) return s;
  }
  return ClearJournal(env, ipod.root());
}

}  // namespace tunewell
