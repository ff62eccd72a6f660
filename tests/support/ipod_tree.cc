#include "tests/support/ipod_tree.h"

#include <vector>

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
  if (env.KindOf(root) != PathKind::kFolder) RETURN_IF_ERROR(env.CreateFolder(root));
  std::vector<std::string> folders = {"iPod_Control", "iPod_Control:iTunes", "iPod_Control:Music"};
  for (int i = 0; i < tree.music_folders; ++i) {
    folders.push_back("iPod_Control:Music:F" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  }
  for (const std::string& folder : folders) {
    RETURN_IF_ERROR(env.CreateFolder(PathOfLocation(root, folder)));
  }
  std::map<std::string, std::string> files = tree.files;
  if (tree.itunes_db) files[":iPod_Control:iTunes:iTunesDB"] = *tree.itunes_db;
  if (tree.itunes_sd) files[":iPod_Control:iTunes:iTunesSD"] = *tree.itunes_sd;
  for (const auto& [location, contents] : files) {
    RETURN_IF_ERROR(WriteWholeFile(env, PathOfLocation(root, location), contents));
  }
  return Status::Ok();
}

}  // namespace tunewell::fixture
