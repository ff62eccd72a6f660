#pragma once

// The iPod's device among the system's volumes, and its eject. The system's device tree is
// reached only through DeviceTree, so that tests can hand in a tree of their own; Windows gives
// it with SetupAPI, the Configuration Manager and the storage drivers (storage/win32/).

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace tunewell {

// A node of the device tree; 0 is none.
using DeviceInstance = uint32_t;

// The interface classes under which the system lists storage devices.
enum class DeviceClass { kVolume, kDisk };

// What ties a volume to its disk: the storage device number, unique among the devices of one
// type (disks, CD-ROM drives, ...).
struct StorageNumber {
  uint32_t type = 0;
  uint32_t number = 0;
  bool operator==(const StorageNumber&) const = default;
};

class DeviceTree {
 public:
  virtual ~DeviceTree() = default;
  // The present interface of class `kind` at `index`: its device path and device node. False
  // past the end of the list, or when the list cannot be had.
  virtual bool InterfaceAt(DeviceClass kind, uint32_t index, std::string* device_path,
                           DeviceInstance* device) = 0;
  // The parent of `device`, or 0.
  virtual DeviceInstance Parent(DeviceInstance device) = 0;
  // The unique name of the volume mounted at `mount_point` (which ends in a backslash); false
  // when none is.
  virtual bool VolumeName(const std::string& mount_point, std::string* name) = 0;
  // The storage device number of the volume or disk at `device_path`; false when it has none
  // (a volume over several disks) or it cannot be opened.
  virtual bool StorageNumberOf(const std::string& device_path, StorageNumber* number) = 0;
  // True when the device's capabilities say it can be removed.
  virtual bool Removable(DeviceInstance device) = 0;
  // The system's name of `device` ("USB\VID_05AC&PID_1209\000A2700..."), "" when unknown.
  virtual std::string InstanceId(DeviceInstance device) = 0;
  // True when the system accepted the request to eject `device`.
  virtual bool RequestEject(DeviceInstance device) = 0;
};

struct IPodDevice {
  DeviceInstance node = 0;  // 0 when none was found
  std::string instanceId;   // as InstanceId gives it
};

// The removable device that carries the volume mounted at `ipod_root` ("E:\"), for the first
// listed volume with the same volume name: the volume's grandparent when that is removable (XP
// hangs a volume on removable media under its disk); otherwise the first removable ancestor of
// the disk with the volume's device number (the volume hangs under the volume manager).
IPodDevice FindIPodDevice(DeviceTree& tree, const std::string& ipod_root);

// Ejects that device. NotFound when there is none, Refused when the system would not eject it
// (a program still has a file open on it, say).
Status EjectIPod(DeviceTree& tree, const std::string& ipod_root);

}  // namespace tunewell
