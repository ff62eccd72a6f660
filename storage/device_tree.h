#pragma once

// The iPod's device among the system's volumes, and its eject. The system's device tree is
// reached only through DeviceTree, so that tests can hand in a tree of their own; Windows gives
// it with SetupAPI and the Configuration Manager (storage/win32/).

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace tunewell {

// A node of the device tree; 0 is none.
using DeviceInstance = uint32_t;

class DeviceTree {
 public:
  virtual ~DeviceTree() = default;
  // The present volume interface at `index`: its device path and device node. False past the
  // end of the list, or when the list cannot be had.
  virtual bool VolumeAt(uint32_t index, std::string* device_path, DeviceInstance* device) = 0;
  // The parent of `device`, or 0.
  virtual DeviceInstance Parent(DeviceInstance device) = 0;
  // The unique name of the volume mounted at `mount_point` (which ends in a backslash); false
  // when none is.
  virtual bool VolumeName(const std::string& mount_point, std::string* name) = 0;
  // True when the system accepted the request to eject `device`.
  virtual bool RequestEject(DeviceInstance device) = 0;
};

// The device that carries the volume mounted at `ipod_root` ("E:\"): the grandparent of the
// first listed volume with the same volume name. 0 when none matches.
DeviceInstance FindIPodDevice(DeviceTree& tree, const std::string& ipod_root);

// Ejects that device. NotFound when there is none, Refused when the system would not eject it
// (a program still has a file open on it, say).
Status EjectIPod(DeviceTree& tree, const std::string& ipod_root);

}  // namespace tunewell
