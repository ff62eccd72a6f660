#include "storage/music_folders.h"

#include <algorithm>
#include <cctype>

#include "platform/path.h"

namespace tunewell {

namespace {

bool IsMusicFolderName(const std::string& name) {
  return name.size() > 1 && name[0] == 'F' &&
         std::all_of(name.begin() + 1, name.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

int32_t CountMusicFolders(Env& env, const std::string& root) {
  std::vector<FolderEntry> entries;
  if (!env.ListFolder(JoinPath(root, {"iPod_Control", "Music"}), &entries).ok()) return 0;
  return static_cast<int32_t>(std::count_if(entries.begin(), entries.end(), [](const FolderEntry& e) {
    return e.is_folder && IsMusicFolderName(e.name);
  }));
}

}  // namespace tunewell
