#include "storage/device_tree.h"

namespace tunewell {

namespace {

// Where the volume hangs under its disk (removable media on XP) the device that carries it is
// two levels up; elsewhere that is the volume manager's parent, which is nothing to eject.
DeviceInstance RemovableGrandparent(DeviceTree& tree, DeviceInstance volume) {
  const DeviceInstance parent = tree.Parent(volume);
  const DeviceInstance device = parent != 0 ? tree.Parent(parent) : 0;
  return device != 0 && tree.Removable(device) ? device : 0;
}

// The disk whose device number the volume at `volume_path` has, then the first of the disk's
// ancestors that can be removed (the USB device, for an iPod).
DeviceInstance RemovableAncestorOfDisk(DeviceTree& tree, const std::string& volume_path) {
  StorageNumber wanted, number;
  if (!tree.StorageNumberOf(volume_path, &wanted)) return 0;
  std::string path;
  DeviceInstance disk = 0;
  for (uint32_t index = 0; tree.InterfaceAt(DeviceClass::kDisk, index, &path, &disk); ++index) {
    if (disk == 0 || !tree.StorageNumberOf(path, &number) || !(number == wanted)) continue;
    for (DeviceInstance device = tree.Parent(disk); device != 0; device = tree.Parent(device)) {
      if (tree.Removable(device)) return device;
    }
    return 0;
  }
  return 0;
}

}  // namespace

IPodDevice FindIPodDevice(DeviceTree& tree, const std::string& ipod_root) {
  // Asked once: a root with no volume behind it matches nothing, whatever is listed.
  std::string wanted;
  if (ipod_root.empty() || ipod_root.back() != '\\' || !tree.VolumeName(ipod_root, &wanted)) {
    return {};
  }
  std::string path, name;
  DeviceInstance volume = 0;
  for (uint32_t index = 0; tree.InterfaceAt(DeviceClass::kVolume, index, &path, &volume); ++index) {
    if (volume == 0 || !tree.VolumeName(path + "\\", &name) || name != wanted) continue;
    DeviceInstance device = RemovableGrandparent(tree, volume);
    if (device == 0) device = RemovableAncestorOfDisk(tree, path);
    // A volume on a fixed disk is nothing to eject.
    if (device != 0) return {device, tree.InstanceId(device)};
  }
  return {};
}

Status EjectIPod(DeviceTree& tree, const std::string& ipod_root) {
  const IPodDevice device = FindIPodDevice(tree, ipod_root);
  if (device.node == 0) {
    return Status::NotFound(ipod_root + ": no removable device carries this volume");
  }
  if (!tree.RequestEject(device.node)) {
    return Status::Refused(ipod_root + ": the system would not eject " + device.instanceId);
  }
  return Status::Ok();
}

}  // namespace tunewell
