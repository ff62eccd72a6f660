#include "storage/music_folders.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/path.h"

namespace tunewell {

namespace {

bool IsMusicFolderName(const std::string& name) {
  return name.size() > 1 && name[0] == 'F' && std::all_of(name.begin() + 1, name.end(), [](char c) {
           return std::isdigit(static_cast<unsigned char>(c)) != 0;
         });
}

}  // namespace

std::string MusicDirectory(std::string_view root) {
  return JoinPath(root, {"iPod_Control", "Music"});
}

int32_t CountMusicFolders(Env& env, const std::string& root) {
  std::vector<FolderEntry> entries;
  if (!env.ListFolder(MusicDirectory(root), &entries).ok()) return 0;
  return static_cast<int32_t>(
      std::count_if(entries.begin(), entries.end(),
                    [](const FolderEntry& e) { return e.is_folder && IsMusicFolderName(e.name); }));
}

Status GenerateDirName(int32_t folder_count, RandomSource& random, std::string* path) {
  if (folder_count < 1) {
    return Status::InvalidArgument("no music folder to choose from under " + *path);
  }
  char number[16];
  std::snprintf(number, sizeof(number), "%02d", random.Next() % folder_count);
  *path += number;
  return Status::Ok();
}

Status GenerateFileName(Env& env, int letters, RandomSource& random, std::string* path) {
  const size_t folder_length = path->size();
  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    path->resize(folder_length);
    for (int i = 0; i < letters; ++i) *path += static_cast<char>('A' + random.Next() % 26);
    *path += ".mp3";
    // Anything of that name, file or not, readable or not, is taken: a copy replaces what it
    // names.
    if (env.KindOf(*path) == PathKind::kNone) return Status::Ok();
  }
  path->resize(folder_length);
  return Status::NoSpace("no free file name found in " + *path + " after " +
                         std::to_string(kMaxNameAttempts) + " attempts");
}

}  // namespace tunewell
