#pragma once

// The system's device tree: present volume interfaces from SetupAPI, parents and eject from the
// Configuration Manager, volume names from the volume mount points.

#include <windows.h>

#include "storage/device_tree.h"
#include "win32kit/scoped_device_info.h"

namespace tunewell {

class SystemDeviceTree : public DeviceTree {
 public:
  // Takes the list of present volumes; an empty one when the system gives none.
  SystemDeviceTree();

  bool VolumeAt(uint32_t index, std::string* device_path, DeviceInstance* device) override;
  DeviceInstance Parent(DeviceInstance device) override;
  bool VolumeName(const std::string& mount_point, std::string* name) override;
  bool RequestEject(DeviceInstance device) override;

 private:
  ScopedDeviceInfoList volumes_;
};

}  // namespace tunewell
