#include <cstdio>
#include <string>
#include <vector>

#include "player/win32/cadenza.h"
#include "player/win32/module.h"
#include "win32kit/boundary.h"

namespace tunewell {

namespace {

constexpr int kAboutDialogId = 104;
constexpr int kVersionLineId = 1015;

// "Tunewell a.b.c.d" from the module's own version block, found through its handle so that a
// renamed file still shows it.
std::string VersionLine(HMODULE module) {
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
  HGLOBAL loaded = found == nullptr ? nullptr : ::LoadResource(module, found);
  const void* data = loaded == nullptr ? nullptr : ::LockResource(loaded);
  if (data == nullptr) return "Tunewell";
  // VerQueryValue wants a block it may write to.
  const auto* bytes = static_cast<const char*>(data);
  std::vector<char> block(bytes, bytes + ::SizeofResource(module, found));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &size) ||
      info == nullptr || size < sizeof *info) {
    return "Tunewell";
  }
  char line[64];
  std::snprintf(line, sizeof line, "Tunewell %u.%u.%u.%u",
                static_cast<unsigned>(HIWORD(info->dwFileVersionMS)),
                static_cast<unsigned>(LOWORD(info->dwFileVersionMS)),
                static_cast<unsigned>(HIWORD(info->dwFileVersionLS)),
                static_cast<unsigned>(LOWORD(info->dwFileVersionLS)));
  return line;
}

INT_PTR AboutMessage(HWND dialog, UINT message, WPARAM wparam) {
  switch (message) {
    case WM_INITDIALOG:
      ::SetDlgItemTextA(dialog, kVersionLineId, VersionLine(module::Handle()).c_str());
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        ::EndDialog(dialog, 1);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK AboutProcedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  return ProcedureEntry([&] { return AboutMessage(dialog, message, wparam); },
                        [] { return INT_PTR{FALSE}; });
}

}  // namespace

void ShowAboutDialog(HWND parent) {
  ::DialogBoxParamW(module::Handle(), MAKEINTRESOURCEW(kAboutDialogId), parent, AboutProcedure, 0);
}

}  // namespace tunewell
