#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tunewell {

// The mount points of a mount table in the form of /proc/self/mounts (device, mount point, type,
// options, ...; one mount a line), in table order, with the octal escapes the kernel writes for
// blanks and backslashes (\040, \011, \012, \134) undone. Lines without a mount point are
// passed over.
std::vector<std::string> MountPointsOf(std::string_view table);

}  // namespace tunewell
