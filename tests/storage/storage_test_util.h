#pragma once

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/path.h"
#include "storage/missing_file_notice.h"
#include "storage/random_source.h"
#include "tests/support/ipod_tree.h"

namespace tunewell::testing {

// Hands out the scripted numbers in order, then zeros; counts every draw.
class ScriptedRandom : public RandomSource {
 public:
  explicit ScriptedRandom(std::vector<int> script = {}) : script_(script.begin(), script.end()) {}
  int Next() override {
    ++draws_;
    if (script_.empty()) return 0;
    const int r = script_.front();
    script_.pop_front();
    return r;
  }
  int draws() const { return draws_; }

 private:
  std::deque<int> script_;
  int draws_ = 0;
};

// The draws that pick folder `folder` and the four letters of `name` (uppercase).
inline std::vector<int> DrawsFor(int folder, const std::string& name) {
  std::vector<int> draws = {folder};
  for (char c : name) draws.push_back(c - 'A' + 26 * 7);  // any multiple of 26 above works
  return draws;
}

class RecordingNotice : public MissingFileNotice {
 public:
  void Show(const std::string& text, const std::string& caption) override {
    shown.emplace_back(text, caption);
  }
  std::vector<std::pair<std::string, std::string>> shown;
};

// A fresh temporary folder as an iPod root (root(), ending in a separator) and as a path.
class TempFolder {
 public:
  std::string root() const { return folder_.path(); }
  std::filesystem::path path() const { return std::filesystem::path(folder_.path()); }

 private:
  fixture::TempFolder folder_;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file and folder below `root`, relative, sorted.
inline std::vector<std::string> TreeOf(const std::filesystem::path& root) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    paths.push_back(std::filesystem::relative(entry.path(), root).generic_string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// <root>/iPod_Control/Music/F00 .. F(count-1).
inline void MakeMusicFolders(const std::filesystem::path& root, int count) {
  for (int i = 0; i < count; ++i) {
    std::string name = std::to_string(i);
    if (name.size() < 2) name = "0" + name;
    std::filesystem::create_directories(root / "iPod_Control" / "Music" / ("F" + name));
  }
}

}  // namespace tunewell::testing
