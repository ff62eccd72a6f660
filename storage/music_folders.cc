#include "storage/music_folders.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "platform/path.h"

namespace tunewell {

namespace {

std::string NumberText(int32_t number) {
  char text[16];
  std::snprintf(text, sizeof(text), "%02d", static_cast<int>(number));
  return text;
}

// The number of a folder named as a draw names one ("F07", not "F7" or "F007"); -1 otherwise.
int32_t MusicFolderNumber(const std::string& name) {
  if (name.size() < 3 || name.size() > 6 || name[0] != 'F') return -1;
  int32_t number = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
    number = number * 10 + (name[i] - '0');
  }
  return name.compare(1, std::string::npos, NumberText(number)) == 0 ? number : -1;
}

}  // namespace

std::string MusicDirectory(std::string_view root) {
  return JoinPath(root, {"iPod_Control", "Music"});
}

std::vector<int32_t> MusicFolderNumbers(Env& env, const std::string& root) {
  const std::string music = MusicDirectory(root);
  std::vector<FolderEntry> entries;
  std::vector<int32_t> numbers;
  if (!env.ListFolder(music, &entries).ok()) return numbers;
  for (const FolderEntry& entry : entries) {
    const int32_t number = MusicFolderNumber(entry.name);
    // The listing follows links; a folder that is one could lead outside the iPod.
    if (number >= 0 &&
        env.KindOf(JoinPath(WithTrailingSeparator(music), {entry.name})) == PathKind::kFolder) {
      numbers.push_back(number);
    }
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

Status GenerateDirName(const std::vector<int32_t>& folders, RandomSource& random,
                       std::string* path) {
  if (folders.empty()) {
    return Status::InvalidArgument("no music folder to choose from under " + *path);
  }
  *path += NumberText(folders[static_cast<size_t>(random.Next()) % folders.size()]);
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
