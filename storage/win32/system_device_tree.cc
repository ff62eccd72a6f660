#include "storage/win32/system_device_tree.h"

#include <cfgmgr32.h>
#include <winioctl.h>

#include <algorithm>
#include <vector>

#include "win32kit/scoped_handle.h"

namespace tunewell {

namespace {

// The device interface classes of volumes and of disks.
constexpr GUID kVolumeInterface = {
    0x53F5630D, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
constexpr GUID kDiskInterface = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

HDEVINFO PresentInterfaces(const GUID& kind) {
  return ::SetupDiGetClassDevsA(&kind, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

}  // namespace

SystemDeviceTree::SystemDeviceTree() : volumes_(PresentInterfaces(kVolumeInterface)) {}

bool SystemDeviceTree::InterfaceAt(DeviceClass kind, uint32_t index, std::string* device_path,
                                   DeviceInstance* device) {
  if (kind == DeviceClass::kDisk && !disks_listed_) {
    disks_.reset(PresentInterfaces(kDiskInterface));
    disks_listed_ = true;
  }
  const ScopedDeviceInfoList& list = kind == DeviceClass::kDisk ? disks_ : volumes_;
  const GUID& guid = kind == DeviceClass::kDisk ? kDiskInterface : kVolumeInterface;
  if (!list.valid()) return false;
  SP_DEVICE_INTERFACE_DATA found{};
  found.cbSize = sizeof found;
  if (!::SetupDiEnumDeviceInterfaces(list.get(), nullptr, &guid, index, &found)) return false;
  DWORD size = 0;
  ::SetupDiGetDeviceInterfaceDetailA(list.get(), &found, nullptr, 0, &size, nullptr);
  std::vector<char> buffer(std::max<DWORD>(size, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)));
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
  detail->cbSize = sizeof *detail;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  if (!::SetupDiGetDeviceInterfaceDetailA(list.get(), &found, detail,
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

bool SystemDeviceTree::StorageNumberOf(const std::string& device_path, StorageNumber* number) {
  // No access asked: the number is there for anyone, and no medium needs to be inserted.
  const ScopedHandle device(::CreateFileA(device_path.c_str(), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
  if (!device.valid()) return false;
  STORAGE_DEVICE_NUMBER answer{};
  DWORD bytes = 0;
  if (!::DeviceIoControl(device.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &answer,
                         sizeof answer, &bytes, nullptr)) {
    return false;
  }
  *number = {static_cast<uint32_t>(answer.DeviceType), static_cast<uint32_t>(answer.DeviceNumber)};
  return true;
}

bool SystemDeviceTree::Removable(DeviceInstance device) {
  ULONG capabilities = 0, size = sizeof capabilities;
  return ::CM_Get_DevNode_Registry_PropertyA(device, CM_DRP_CAPABILITIES, nullptr, &capabilities,
                                             &size, 0) == CR_SUCCESS &&
         (capabilities & CM_DEVCAP_REMOVABLE) != 0;
}

std::string SystemDeviceTree::InstanceId(DeviceInstance device) {
  char id[MAX_DEVICE_ID_LEN + 1] = {};
  return ::CM_Get_Device_IDA(device, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS ? id : "";
}

bool SystemDeviceTree::RequestEject(DeviceInstance device) {
  PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
  char veto_name[MAX_PATH] = {};
  return ::CM_Request_Device_EjectA(device, &veto, veto_name, MAX_PATH, 0) == CR_SUCCESS;
}

}  // namespace tunewell
