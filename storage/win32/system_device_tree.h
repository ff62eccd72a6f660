#pragma once

// The system's device tree: present volume and disk interfaces from SetupAPI, parents,
// capabilities, names and eject from the Configuration Manager, volume names from the volume
// mount points, device numbers from the storage drivers.

#include <windows.h>

#include "storage/device_tree.h"
#include "win32kit/scoped_device_info.h"

namespace tunewell {

class SystemDeviceTree : public DeviceTree {
 public:
  // Takes the list of present volumes; an empty one when the system gives none. The disks are
  // listed when first asked for.
  SystemDeviceTree();

  bool InterfaceAt(DeviceClass kind, uint32_t index, std::string* device_path,
                   DeviceInstance* device) override;
  DeviceInstance Parent(DeviceInstance device) override;
  bool VolumeName(const std::string& mount_point, std::string* name) override;
  bool StorageNumberOf(const std::string& device_path, StorageNumber* number) override;
  bool Removable(DeviceInstance device) override;
  std::string InstanceId(DeviceInstance device) override;
  bool RequestEject(DeviceInstance device) override;

 private:
  ScopedDeviceInfoList volumes_;
  ScopedDeviceInfoList disks_;
  bool disks_listed_ = false;
};

}  // namespace tunewell
