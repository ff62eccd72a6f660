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
  return itunesDb_.Load(dbPath_, candidates, true);
}

Status IPodDatabase::ReadTrackList(OwnedTracks* tracks) {
  return itunesDb_.ReadTrackList(dbPath_, tracks);
}

}  // namespace tunewell
