#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/block_device.h"

namespace tunewell {

bool BlockDeviceOf(const std::string& path, std::string* major_minor) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  *major_minor = std::to_string(major(info.st_dev)) + ":" + std::to_string(minor(info.st_dev));
  return true;
}

}  // namespace tunewell
