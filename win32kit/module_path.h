#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tunewell {

// The full path of `module`'s file (the program's for null), however long; "" when the system
// cannot tell.
std::wstring ModulePath(HMODULE module);

// The path of `name` in the folder of `module`'s file; "" when that path is unknown.
std::wstring PathBesideModule(HMODULE module, std::wstring_view name);

}  // namespace tunewell
