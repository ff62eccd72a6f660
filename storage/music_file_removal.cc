#include "storage/music_file_removal.h"

#include "storage/ipod_location.h"

namespace tunewell {

Status RemoveMusicFile(Env& env, std::string_view root, std::u16string_view location) {
  std::string path;
  RETURN_IF_ERROR(ResolveMusicFile(env, root, location, &path));
  return env.RemoveFile(path);
}

}  // namespace tunewell
