#include "tests/support/temp_folder.h"

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

#include "platform/path.h"

namespace tunewell::fixture {

TempFolder::TempFolder() {
  namespace fs = std::filesystem;
  std::mt19937_64 random(std::random_device{}() ^
                         std::chrono::steady_clock::now().time_since_epoch().count());
  fs::path path;
  do {
    path = fs::temp_directory_path() / ("tunewell-" + std::to_string(random()));
  } while (!fs::create_directory(path));
  path_ = WithTrailingSeparator(path.string());
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

std::string TempFolder::Path(std::initializer_list<std::string_view> names) const {
  return JoinPath(path_, names);
}

}  // namespace tunewell::fixture
