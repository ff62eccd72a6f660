#pragma once

// Registry keys we opened or created (never the predefined roots).

#include <windows.h>

#include "win32kit/scoped_generic.h"

namespace tunewell {

struct RegistryKeyTraits {
  static HKEY InvalidValue() { return nullptr; }
  static bool Free(HKEY key) { return ::RegCloseKey(key) == ERROR_SUCCESS; }
};

using ScopedKey = ScopedGeneric<HKEY, RegistryKeyTraits>;

}  // namespace tunewell
