#include "platform/path.h"

namespace tunewell {

static bool IsSeparator(char c) { return c == kPathSeparator || c == '/'; }

std::string WithTrailingSeparator(std::string_view path) {
  std::string out(path);
  if (out.empty() || !IsSeparator(out.back())) out += kPathSeparator;
  return out;
}

std::string WithoutTrailingSeparator(std::string_view path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.remove_suffix(1);
  return std::string(path);
}

std::string JoinPath(std::string_view root, std::initializer_list<std::string_view> parts) {
  std::string out(root);
  bool first = true;
  for (std::string_view part : parts) {
    if (!first || (!out.empty() && !IsSeparator(out.back()))) out += kPathSeparator;
    out += part;
    first = false;
  }
  return out;
}

std::string ParentOf(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (!IsSeparator(path[i - 1])) continue;
    // A separator that ends the root ("/", "E:\\") stays: without it the root would read as the
    // current folder.
    const bool root = i == 1 || (i == 3 && path[1] == ':');
    return std::string(path.substr(0, root ? i : i - 1));
  }
  return std::string();
}

}  // namespace tunewell
