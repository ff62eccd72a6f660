#include "tests/support/ipod_tree.h"

#include <cstdio>

#include "platform/path.h"

namespace tunewell::fixture {

std::string PathOfLocation(const std::string& root, const std::string& location) {
  std::string path = WithTrailingSeparator(root);
  for (size_t i = location.empty() || location[0] != ':' ? 0 : 1; i < location.size(); ++i) {
    path += location[i] == ':' ? kPathSeparator : location[i];
  }
  return path;
}

Status WriteWholeFile(Env& env, const std::string& path, const std::string& contents) {
  std::unique_ptr<WritableFile> file;
  RETURN_IF_ERROR(env.NewWritableFile(path, false, &file));
  RETURN_IF_ERROR(file->Append(contents));
  return file->Close();
}

Status WriteIPodTree(Env& env, const std::string& root, const IPodTree& tree) {
  const std::string base = WithTrailingSeparator(root);
  if (env.KindOf(root) != PathKind::kFolder) RETURN_IF_ERROR(env.CreateFolder(root));
  RETURN_IF_ERROR(env.CreateFolder(JoinPath(base, {"iPod_Control"})));
  RETURN_IF_ERROR(env.CreateFolder(JoinPath(base, {"iPod_Control", "iTunes"})));
  RETURN_IF_ERROR(env.CreateFolder(JoinPath(base, {"iPod_Control", "Music"})));
  for (int i = 0; i < tree.music_folders; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "F%02d", i);
    RETURN_IF_ERROR(env.CreateFolder(JoinPath(base, {"iPod_Control", "Music", name})));
  }
  if (tree.itunes_db) {
    RETURN_IF_ERROR(WriteWholeFile(env, JoinPath(base, {"iPod_Control", "iTunes", "iTunesDB"}),
                                   *tree.itunes_db));
  }
  if (tree.itunes_sd) {
    RETURN_IF_ERROR(WriteWholeFile(env, JoinPath(base, {"iPod_Control", "iTunes", "iTunesSD"}),
                                   *tree.itunes_sd));
  }
  for (const auto& [location, contents] : tree.files) {
    RETURN_IF_ERROR(WriteWholeFile(env, PathOfLocation(base, location), contents));
  }
  return Status::Ok();
}

}  // namespace tunewell::fixture
