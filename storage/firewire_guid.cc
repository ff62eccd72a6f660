#include "storage/firewire_guid.h"

#include "platform/path.h"

namespace tunewell {

namespace {

// ASCII only, whatever the locale.
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The <string> after <key>FireWireGUID</key> in the property list.
std::string FromSysInfoExtended(std::string_view plist) {
  constexpr std::string_view kKey = "<key>FireWireGUID</key>";
  const size_t key = plist.find(kKey);
  if (key == std::string_view::npos) return "";
  std::string_view rest = Trimmed(plist.substr(key + kKey.size()));
  if (rest.substr(0, 8) != "<string>") return "";
  rest.remove_prefix(8);
  return NormalGuid(Trimmed(rest.substr(0, rest.find('<'))));
}

// The value of the "FirewireGuid:" line.
std::string FromSysInfo(std::string_view text) {
  constexpr std::string_view kName = "FirewireGuid:";
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = Trimmed(text.substr(at, end - at));
    if (line.substr(0, kName.size()) == kName)
      return NormalGuid(Trimmed(line.substr(kName.size())));
    at = end + 1;
  }
  return "";
}

}  // namespace

std::string NormalGuid(std::string_view text) {
  if (text.size() == 18 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  if (text.size() != 16) return "";
  std::string hex;
  for (char c : text) {
    c = Upper(c);
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return "";
    hex += c;
  }
  return hex;
}

Status FindFireWireGuid(Env& env, const std::string& ipod_root, const GuidSources& sources,
                        FoundGuid* found) {
  *found = FoundGuid();
  if (!sources.given.empty()) {
    found->hex = NormalGuid(sources.given);
    found->source = "--firewire-guid";
    if (found->hex.empty()) {
      return Status::InvalidArgument("--firewire-guid " + sources.given +
                                     " is not 16 hexadecimal digits");
    }
    return Status::Ok();
  }
  const std::string device = JoinPath(WithTrailingSeparator(ipod_root), {"iPod_Control", "Device"});
  std::string text;
  if (env.ReadFile(JoinPath(device, {"SysInfoExtended"}), &text).ok()) {
    found->hex = FromSysInfoExtended(text);
    found->source = "iPod_Control/Device/SysInfoExtended";
  }
  if (found->hex.empty() && env.ReadFile(JoinPath(device, {"SysInfo"}), &text).ok()) {
    found->hex = FromSysInfo(text);
    found->source = "iPod_Control/Device/SysInfo";
  }
  if (found->hex.empty()) {
    found->hex =
        NormalGuid(sources.usb_serial ? sources.usb_serial() : SystemUsbSerial(env, ipod_root));
    found->source = "the serial number of its USB device";
  }
  if (found->hex.empty()) {
    *found = FoundGuid();
    return Status::NotFound(
        ipod_root + ": no FireWire GUID in SysInfoExtended, SysInfo or the USB serial number");
  }
  return Status::Ok();
}

std::string UsbSerialFromSysfs(Env& env, const std::string& sysfs_root,
                               const std::string& major_minor) {
  // The link resolves into the device's own directory; ".." then climbs the real tree, past
  // partition, disk and SCSI nodes, to the USB device.
  std::string node = WithoutTrailingSeparator(sysfs_root) + "/dev/block/" + major_minor;
  std::string vendor;
  for (int up = 0; up < 16; ++up, node += "/..") {
    if (!env.ReadFile(node + "/idVendor", &vendor).ok()) continue;
    std::string serial;
    if (Trimmed(vendor) != "05ac" || !env.ReadFile(node + "/serial", &serial).ok()) return "";
    return std::string(Trimmed(serial));
  }
  return "";
}

std::string UsbSerialFromDeviceTree(DeviceTree& tree, const std::string& ipod_root) {
  const std::string id = FindIPodDevice(tree, ipod_root).instanceId;
  std::string upper;
  for (char c : id) upper += Upper(c);
  const size_t last = id.rfind('\\');
  if (upper.rfind("USB\\VID_05AC&", 0) != 0 || last == std::string::npos) return "";
  return id.substr(last + 1);
}

}  // namespace tunewell
