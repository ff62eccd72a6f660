#include "platform/block_device.h"

namespace tunewell {

// Windows reaches the iPod's device through the device tree instead (storage/win32).
bool BlockDeviceOf(const std::string&, std::string*) { return false; }

}  // namespace tunewell
