#pragma once

// Folders for tests: a temporary one, iPod folder trees in any Env, and the databases of real
// iPods, named as this build's programs open them (under wine a Linux path resolves only through
// drive Z:).

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/path.h"
#include "platform/status.h"

namespace tunewell::fixture {

// A fresh, empty folder under the system's temporary folder, removed with everything in it when
// this object dies. Its path ends in a separator, like an iPod root.
class TempFolder {
 public:
  TempFolder() {
    namespace fs = std::filesystem;
    std::mt19937_64 random(std::random_device{}() ^
                           std::chrono::steady_clock::now().time_since_epoch().count());
    fs::path path;
    do path = fs::temp_directory_path() / ("tunewell-" + std::to_string(random()));
    while (!fs::create_directory(path));
    path_ = WithTrailingSeparator(path.string());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path_), ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(std::initializer_list<std::string_view> names) const {
    return JoinPath(path_, names);
  }

 private:
  std::string path_;
};

struct IPodTree {
  int music_folders = 20;                  // F00 .. F(n-1) under iPod_Control/Music
  std::optional<std::string> itunes_db{};  // iPod_Control/iTunes/iTunesDB, when given
  std::optional<std::string> itunes_sd{};  // iPod_Control/iTunes/iTunesSD, when given
  // Further files by iPod location (":iPod_Control:Music:F00:ABCD.mp3") and contents; their
  // folders must be among those above.
  std::map<std::string, std::string> files{};
};

inline std::string PathOfLocation(const std::string& root, const std::string& location) {
  std::string path = WithTrailingSeparator(root);
  for (size_t i = location.empty() || location[0] != ':' ? 0 : 1; i < location.size(); ++i) {
    path += location[i] == ':' ? kPathSeparator : location[i];
  }
  return path;
}

inline Status WriteWholeFile(Env& env, const std::string& path, const std::string& contents) {
  std::unique_ptr<WritableFile> file;
  RETURN_IF_ERROR(env.NewWritableFile(path, false, &file));
  RETURN_IF_ERROR(file->Append(contents));
  return file->Close();
}

// Writes `tree` below `root` through `env`: the root folder itself when it is missing (its
// parent must exist), iPod_Control, its iTunes and Music folders, the music folders and the
// files.
inline Status WriteIPodTree(Env& env, const std::string& root, const IPodTree& tree) {
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

// The files in `folder` and below it; 0 when it cannot be listed.
inline int CountFiles(Env& env, const std::string& folder) {
  std::vector<FolderEntry> entries;
  if (!env.ListFolder(folder, &entries).ok()) return 0;
  int files = 0;
  for (const FolderEntry& e : entries) {
    files += e.is_folder ? CountFiles(env, JoinPath(folder, {e.name})) : 1;
  }
  return files;
}

inline int CountMusicFiles(Env& env, const std::string& root) {
  return CountFiles(env, PathOfLocation(root, ":iPod_Control:Music"));
}

#ifdef TUNEWELL_REAL_IPODS_DIR
// The databases taken from real iPods (beside the checkout in CI, not in a fresh clone, or where
// TUNEWELL_REAL_IPODS says); "" when missing.
inline std::string RealIpodsDir() {
  const char* chosen = std::getenv("TUNEWELL_REAL_IPODS");
  std::string dir = chosen != nullptr ? chosen : TUNEWELL_REAL_IPODS_DIR;
#ifdef _WIN32
  for (char& c : dir) c = c == '/' ? '\\' : c;
  dir = "Z:" + dir;
#endif
  return Env::Default().KindOf(dir) == PathKind::kFolder ? dir : "";
}

#define TUNEWELL_SKIP_WITHOUT_REAL_IPODS()                                                        \
  if (::tunewell::fixture::RealIpodsDir().empty())                                                \
  GTEST_SKIP() << "../shared/real-ipods not found beside the checkout (or TUNEWELL_REAL_IPODS): " \
                  "real-iPod databases skipped"
#endif

}  // namespace tunewell::fixture
