#pragma once

// SetupAPI device information lists (SetupDiGetClassDevs). Needs setupapi.

#include <windows.h>
// (after <windows.h>, which it needs)
#include <setupapi.h>

#include "win32kit/scoped_generic.h"

namespace tunewell {

struct DeviceInfoListTraits {
  static HDEVINFO InvalidValue() { return INVALID_HANDLE_VALUE; }
  static bool Free(HDEVINFO list) { return ::SetupDiDestroyDeviceInfoList(list) != FALSE; }
};

using ScopedDeviceInfoList = ScopedGeneric<HDEVINFO, DeviceInfoListTraits>;

}  // namespace tunewell
