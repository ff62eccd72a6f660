#include "platform/block_device.h"
#include "storage/firewire_guid.h"

namespace tunewell {

std::string SystemUsbSerial(Env& env, const std::string& ipod_root) {
  std::string device;
  return BlockDeviceOf(ipod_root, &device) ? UsbSerialFromSysfs(env, "/sys", device) : "";
}

}  // namespace tunewell
