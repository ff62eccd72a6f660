#include "database/ipod_database.h"

#include "platform/path.h"

namespace tunewell {

IPodDatabase::IPodDatabase(Env& env, std::string root)
    : env_(&env),
      shuffleDb_(env),
      itunesDb_(env),
      dbPath_(JoinPath(WithTrailingSeparator(root), {"iPod_Control", "iTunes", "iTunesDB"})),
      sdPath_(JoinPath(WithTrailingSeparator(root), {"iPod_Control", "iTunes", "iTunesSD"})),
      root_(WithTrailingSeparator(root)) {}

Status IPodDatabase::LoadForSync(TrackArray* candidates) {
  RETURN_IF_ERROR(itunesDb_.Load(dbPath_, nullptr, false));
  // Known before anything is copied: files the database cannot record would only fill the iPod.
  RETURN_IF_ERROR(itunesDb_.writable());
  const Status shuffle = shuffleDb_.Load(sdPath_);
  if (!shuffle.ok() && !shuffle.IsNotFound()) return shuffle;
  if (candidates != nullptr) itunesDb_.trackList().DropDuplicates(*candidates);
  return Status::Ok();
}

// Both new files are written and checked before either replaces its old one, so that a failure
// while writing leaves both databases as they were.
Status IPodDatabase::SaveAfterSync(const TrackArray& copied) {
  StagedFile db;
  StagedFile sd;
  RETURN_IF_ERROR(itunesDb_.StageAdding(dbPath_, copied, &db));
  if (shuffleDb_.loaded()) RETURN_IF_ERROR(shuffleDb_.StageAdding(sdPath_, copied, &sd));
  return CommitBoth(db, sd);
}

Status IPodDatabase::SaveAfterRemoval(const TrackArray& removed, bool keep_backup) {
  StagedFile db;
  StagedFile sd;
  RETURN_IF_ERROR(itunesDb_.StageRemoving(dbPath_, removed, &db));
  if (shuffleDb_.loaded()) RETURN_IF_ERROR(shuffleDb_.StageRemoving(sdPath_, removed, &sd));
  return CommitBoth(db, sd, keep_backup);
}

Status IPodDatabase::CommitBoth(StagedFile& db, StagedFile& sd, bool keep_backup) {
  RETURN_IF_ERROR(db.Commit(keep_backup ? dbPath_ + ".bak" : ""));
  if (!shuffleDb_.loaded()) return Status::Ok();
  const Status s = sd.Commit("");
  if (s.ok()) return s;
  // Keep the two in step: put the old iTunesDB back from the image still in memory.
  const Status undo = ReplaceFileSafely(*env_, dbPath_, itunesDb_.image(), nullptr, "");
  return s.Prefixed(undo.ok()
                        ? "iTunesDB was put back as it was"
                        : "iTunesDB was updated and could not be put back: " + undo.message());
}

Status IPodDatabase::ReadTrackList(OwnedTracks* tracks) {
  return itunesDb_.ReadTrackList(dbPath_, tracks);
}

}  // namespace tunewell
