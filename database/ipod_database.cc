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
  itunesDb_.trackList().DropDuplicates(*candidates);
  return Status::Ok();
}

Status IPodDatabase::SaveAfterSync(const TrackArray& copied) {
  RETURN_IF_ERROR(itunesDb_.Save(dbPath_, copied, true));
  if (!shuffleDb_.loaded()) return Status::Ok();
  return shuffleDb_.Save(sdPath_, copied, true);
}

Status IPodDatabase::ReadTrackList(OwnedTracks* tracks) {
  return itunesDb_.ReadTrackList(dbPath_, tracks);
}

}  // namespace tunewell
