#include "tests/support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

#include "platform/path.h"

namespace tunewell::fixture {

TempFolder::TempFolder() {
  namespace fs = std::filesystem;
  static std::atomic<unsigned> counter{0};
  std::mt19937_64 random(
      std::random_device{}() ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (uint64_t{++counter} << 48));
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    char name[32];
    std::snprintf(name, sizeof name, "tunewell-%016llx", static_cast<unsigned long long>(random()));
    if (fs::create_directory(base / name)) {
      path_ = WithTrailingSeparator((base / name).string());
      return;
    }
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

std::string TempFolder::Path(std::initializer_list<std::string_view> names) const {
  return JoinPath(path_, names);
}

}  // namespace tunewell::fixture
