#pragma once

#include <string>

#include "database/itunes_database.h"
#include "database/shuffle_database.h"
#include "platform/env.h"

namespace tunewell {

// One iPod's database files, made for one operation (a sync run, a removal, a listing).
class IPodDatabase {
 public:
  // `root` is the iPod's drive root ("E:\") or mount folder ("/media/me/IPOD"); a missing
  // trailing separator is added.
  IPodDatabase(Env& env, std::string root);

  IPodDatabase(const IPodDatabase&) = delete;
  IPodDatabase& operator=(const IPodDatabase&) = delete;

  // Loads iTunesDB, removing from `candidates` the tracks the iPod already holds (same title,
  // album and artist), and iTunesSD where there is one. Fails, with the candidates untouched,
  // when iTunesDB is missing, cannot be parsed or is not one the writer can rewrite. A removal
  // loads the same way, with no candidates.
  Status LoadForSync(TrackArray* candidates);

  // Writes the loaded iTunesDB, and iTunesSD where one was loaded, with the `copied` tracks
  // added (each gets its trackId and position). Both new files are written, flushed and checked
  // before the first replaces its old file; a failure before that leaves both as they were.
  Status SaveAfterSync(const TrackArray& copied);

  // The same with the `removed` tracks (records read from this iPod) left out; without
  // `keep_backup` the old iTunesDB is not kept as iTunesDB.bak (no room for it).
  Status SaveAfterRemoval(const TrackArray& removed, bool keep_backup = true);

  // All tracks on the iPod in display order.
  Status ReadTrackList(OwnedTracks* tracks);

  Env& env() const { return *env_; }
  const std::string& root() const { return root_; }
  const std::string& dbPath() const { return dbPath_; }
  const std::string& sdPath() const { return sdPath_; }
  ITunesDatabase& itunesDb() { return itunesDb_; }
  ShuffleDatabase& shuffleDb() { return shuffleDb_; }

 private:
  Env* env_;
  ShuffleDatabase shuffleDb_;
  ITunesDatabase itunesDb_;
  std::string dbPath_;
  std::string sdPath_;
  std::string root_;

  // Commits the two staged files, keeping them in step.
  Status CommitBoth(StagedFile& db, StagedFile& sd, bool keep_backup = true);
};

}  // namespace tunewell
