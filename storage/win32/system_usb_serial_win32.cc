#include "storage/firewire_guid.h"
#include "storage/win32/system_device_tree.h"

namespace tunewell {

std::string SystemUsbSerial(Env&, const std::string& ipod_root) {
  SystemDeviceTree tree;
  return UsbSerialFromDeviceTree(tree, ipod_root);
}

}  // namespace tunewell
