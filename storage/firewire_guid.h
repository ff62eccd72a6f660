#pragma once

// The FireWire GUID of an iPod whose database carries a signature, from which its key comes. In
// order of preference: given by the user, the iPod's SysInfoExtended, its SysInfo, the serial
// number of its USB device (the same 16 digits on these models).

#include <functional>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "storage/device_tree.h"

namespace tunewell {

struct GuidSources {
  std::string given;  // --firewire-guid; "" for none
  // The serial number of the iPod's USB device, "" when unknown; null for SystemUsbSerial.
  std::function<std::string()> usb_serial;
  // Whether the user can give the GUID with --firewire-guid (the command line; not the plug-in).
  bool can_be_given = false;
};

struct FoundGuid {
  std::string hex;     // 16 hexadecimal digits, upper case
  std::string source;  // where they came from, for the user
};

// NotFound when no source gives a GUID; InvalidArgument when `given` is none.
Status FindFireWireGuid(Env& env, const std::string& ipod_root, const GuidSources& sources,
                        FoundGuid* found);

// `text` as 16 upper-case hexadecimal digits (a leading "0x" dropped), or "" when it is not one.
std::string NormalGuid(std::string_view text);

// The serial number of the USB device above the block device `major_minor` in the sysfs tree at
// `sysfs_root`, when that device is Apple's (idVendor 05ac); "" otherwise.
std::string UsbSerialFromSysfs(Env& env, const std::string& sysfs_root,
                               const std::string& major_minor);

// The last part of the instance id of the device that carries the volume at `ipod_root`, when its
// vendor id is Apple's (USB\VID_05AC&PID_...\SERIAL); "" otherwise.
std::string UsbSerialFromDeviceTree(DeviceTree& tree, const std::string& ipod_root);

// The system's own: through sysfs on Linux, the device tree on Windows.
std::string SystemUsbSerial(Env& env, const std::string& ipod_root);

}  // namespace tunewell
