#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tunewell::fixture {

// A fresh, empty folder under the system's temporary folder, removed with everything in it when
// this object dies. Its path ends in a separator, like an iPod root.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // A path below the folder.
  std::string Path(std::initializer_list<std::string_view> names) const;

 private:
  std::string path_;
};

}  // namespace tunewell::fixture
