#pragma once

#include <string>

namespace tunewell {

// "MAJOR:MINOR" of the block device that holds the file system `path` lies on, as Linux names
// it under /sys/dev/block; false where that cannot be had (and always on Windows).
bool BlockDeviceOf(const std::string& path, std::string* major_minor);

}  // namespace tunewell
