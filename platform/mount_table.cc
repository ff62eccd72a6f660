#include "platform/mount_table.h"

namespace tunewell {

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

std::string Unescaped(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> MountPointsOf(std::string_view table) {
  std::vector<std::string> points;
  while (!table.empty()) {
    const size_t end = table.find('\n');
    std::string_view line = table.substr(0, end);
    table.remove_prefix(end == table.npos ? table.size() : end + 1);
    // The second of the blank-separated fields.
    const size_t device_end = line.find_first_of(" \t");
    if (device_end == line.npos) continue;
    line.remove_prefix(device_end);
    const size_t start = line.find_first_not_of(" \t");
    if (start == line.npos) continue;
    line.remove_prefix(start);
    points.push_back(Unescaped(line.substr(0, line.find_first_of(" \t"))));
  }
  return points;
}

}  // namespace tunewell
