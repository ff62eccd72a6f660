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
  Keys adding;
  for (const std::u16string& location : journal.added) {
    const std::u16string key = LocationKey(location);
    if (referenced.count(key) != 0 && listed.count(key) == 0 && adding.insert(key).second) {
      add.push_back(location);
    }
  }
  RETURN_IF_ERROR(RewriteShuffle(ipod, drop, /*adding=*/false));
  return RewriteShuffle(ipod, add, /*adding=*/true);
}

}  // namespace

Status FinishInterruptedRun(IPodDatabase& ipod, Leftovers* leftovers) {
  Env& env = ipod.env();
  // Left by a run that stopped while staging; never what a database or journal names.
  for (const std::string& path :
       {ipod.dbPath(), ipod.dbPath() + ".bak", ipod.sdPath(), JournalPath(ipod.root())}) {
    env.RemoveFile(path + ".tmp").IgnoreError();
  }
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
  Keys seen;
  for (const std::u16string& location : orphans) {
    if (!seen.insert(LocationKey(location)).second) continue;
    s = RemoveMusicFile(env, ipod.root(), location);
    // Gone already, or a location outside the music folders: nothing left to do for it.
    if (!s.ok() && !s.IsNotFound() && s.code() != Status::Code::kInvalidArgument) {
      leftovers->Add(location, s.Prefixed("still on the iPod"));
    }
  }
  return ClearJournal(env, ipod.root(), leftovers->locations);
}

}  // namespace tunewell
