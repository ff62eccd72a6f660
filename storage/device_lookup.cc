#include "storage/device_tree.h"

namespace tunewell {

DeviceInstance FindIPodDevice(DeviceTree& tree, const std::string& ipod_root) {
  // Asked once: a root with no volume behind it matches nothing, whatever is listed.
  std::string wanted;
  if (ipod_root.empty() || ipod_root.back() != '\\' || !tree.VolumeName(ipod_root, &wanted)) {
    return 0;
  }
  std::string path, name;
  DeviceInstance volume = 0;
  for (uint32_t index = 0; tree.VolumeAt(index, &path, &volume); ++index) {
    if (!tree.VolumeName(path + "\\", &name) || name != wanted) continue;
    const DeviceInstance parent = tree.Parent(volume);
    const DeviceInstance device = parent != 0 ? tree.Parent(parent) : 0;
    // A volume without a carrying device is nothing to eject.
    if (device != 0) return device;
  }
  return 0;
}

Status EjectIPod(DeviceTree& tree, const std::string& ipod_root) {
  const DeviceInstance device = FindIPodDevice(tree, ipod_root);
  if (device == 0) return Status::NotFound(ipod_root + ": no device carries this volume");
  if (!tree.RequestEject(device))
    return Status::Refused(ipod_root + ": the system would not eject it");
  return Status::Ok();
}

}  // namespace tunewell
