#pragma once

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>

#include "platform/path.h"

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
  // A path below the folder.
  std::string Path(std::initializer_list<std::string_view> names) const {
    return JoinPath(path_, names);
  }

 private:
  std::string path_;
};

}  // namespace tunewell::fixture
