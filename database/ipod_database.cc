#include "database/ipod_database.h"

#include "platform/path.h"
#include "storage/music_folders.h"

namespace tunewell {

IPodDatabase::IPodDatabase(Env& env, std::string root)
    : env_(&env),
      shuffleDb_(env),
      itunesDb_(env),
      dbPath_(JoinPath(WithTrailingSeparator(root), {"iPod_Control", "iTunes", "iTunesDB"})),
      sdPath_(JoinPath(WithTrailingSeparator(root), {"iPod_Control", "iTunes", "iTunesSD"})),
      root_(WithTrailingSeparator(root)),
      musicFolderCount_(CountMusicFolders(env, root_)) {}

Status IPodDatabase::LoadForSync(TrackArray* candidates) {
  RETURN_IF_ERROR(itunesDb_.Load(dbPath_, nullptr, false));
  // Known before anything is copied: files the database cannot record would only fill the iPod.
  RETURN_IF_ERROR(itunesDb_.writable());
  const Status shuffle = shuffleDb_.Load(sdPath_);
  if (!shuffle.ok() && !shuffle.IsNotFound()) return shuffle;
  if (candidates != nullptr) itunesDb_.trackList().DropDuplicates(*candidates);
  return Status::Ok();
}

Status IPodDatabase::SaveAfterSync(const TrackArray& copied) { return SaveChanges(copied, true); }

Status IPodDatabase::SaveChanges(const TrackArray& tracks, bool adding) {
  // Both new files are written and checked before either replaces its old one, so that a
  // failure while writing leaves both databases as they were.
  StagedFile db;
  StagedFile sd;
  RETURN_IF_ERROR(itunesDb_.Stage(dbPath_, tracks, adding, &db));
  if (shuffleDb_.loaded()) RETURN_IF_ERROR(shuffleDb_.Stage(sdPath_, tracks, adding, &sd));
  RETURN_IF_ERROR(db.Commit(dbPath_ + ".bak"));
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
