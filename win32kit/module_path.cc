#include "win32kit/module_path.h"

#include <vector>

namespace tunewell {

std::wstring ModulePath(HMODULE module) {
  // Long paths are fine here; the buffer grows until the whole path fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return L"";
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring PathBesideModule(HMODULE module, std::wstring_view name) {
  std::wstring path = ModulePath(module);
  if (path.empty()) return path;
  const size_t slash = path.find_last_of(L"\\/");
  path.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return path.append(name);
}

}  // namespace tunewell
