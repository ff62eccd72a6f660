#include "storage/win32/system_device_tree.h"

#include <cfgmgr32.h>

#include <algorithm>
#include <vector>

namespace tunewell {

namespace {

// The volume device interface class.
constexpr GUID kVolumeInterface = {
    0x53F5630D, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

}  // namespace

SystemDeviceTree::SystemDeviceTree()
    : volumes_(::SetupDiGetClassDevsA(&kVolumeInterface, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}

bool SystemDeviceTree::VolumeAt(uint32_t index, std::string* device_path, DeviceInstance* device) {
  if (!volumes_.valid()) return false;
  SP_DEVICE_INTERFACE_DATA volume{};
  volume.cbSize = sizeof volume;
  if (!::SetupDiEnumDeviceInterfaces(volumes_.get(), nullptr, &kVolumeInterface, index, &volume)) {
    return false;
  }
  DWORD size = 0;
  ::SetupDiGetDeviceInterfaceDetailA(volumes_.get(), &volume, nullptr, 0, &size, nullptr);
  std::vector<char> buffer(std::max<DWORD>(size, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)));
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
  detail->cbSize = sizeof *detail;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  if (!::SetupDiGetDeviceInterfaceDetailA(volumes_.get(), &volume, detail,
                                          static_cast<DWORD>(buffer.size()), nullptr, &info)) {
    // Listed but unreadable: passed over like a volume that is not mounted.
    device_path->clear();
    *device = 0;
    return true;
  }
  *device_path = detail->DevicePath;
  *device = info.DevInst;
  return true;
}

DeviceInstance SystemDeviceTree::Parent(DeviceInstance device) {
  DEVINST parent = 0;
  return ::CM_Get_Parent(&parent, device, 0) == CR_SUCCESS ? parent : 0;
}

bool SystemDeviceTree::VolumeName(const std::string& mount_point, std::string* name) {
  char volume[256] = {};
  if (!::GetVolumeNameForVolumeMountPointA(mount_point.c_str(), volume, sizeof volume)) {
    return false;
  }
  *name = volume;
  return true;
}

bool SystemDeviceTree::RequestEject(DeviceInstance device) {
  PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
  char veto_name[MAX_PATH] = {};
  return ::CM_Request_Device_EjectA(device, &veto, veto_name, MAX_PATH, 0) == CR_SUCCESS;
}

}  // namespace tunewell
