#include "latchkey/event_log.h"

#include <cstdio>

#include "latchkey/window_finder.h"
#include "win32kit/scoped_handle.h"
#include "win32kit/scoped_key.h"

namespace tunewell::latchkey {

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

void Append(const std::string& text) {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH, folder);
  if (length == 0 || length > MAX_PATH) return;
  const std::wstring path = std::wstring(folder) + kLogFile;
  const ScopedHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return;
  DWORD written = 0;
  ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Stamp() {
  FILETIME now;
  SYSTEMTIME t;
  ::GetSystemTimeAsFileTime(&now);
  ::FileTimeToSystemTime(&now, &t);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

}  // namespace

bool LogWanted() {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kLogKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
    return false;
  }
  const ScopedKey key(opened);
  DWORD value = 0, size = sizeof value, type = 0;
  return ::RegQueryValueExW(key.get(), kLogValue, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                            &size) == ERROR_SUCCESS &&
         type == REG_DWORD && value != 0;
}

void LogLine(const std::string& line) {
  if (LogWanted()) Append(Stamp() + line + "\r\n");
}

void LogWindowTree(DWORD ui_thread) {
  if (!LogWanted()) return;
  std::string tree = Stamp() + "windows of the player's interface thread:\r\n";
  for (HWND top : TopLevelWindows(ui_thread)) {
    if (!::IsWindowVisible(top)) continue;
    ForEachDescendant(top, [&](HWND window) {
      int depth = 0;
      for (HWND up = window; up != top && up != nullptr; up = ::GetParent(up)) ++depth;
      char id[48];
      std::snprintf(id, sizeof id, " id=%d %s \"", ::GetDlgCtrlID(window),
                    ::IsWindowVisible(window) ? "visible" : "hidden");
      tree += std::string(2 * depth + 2, ' ') + Utf8(ClassOf(window)) + id +
              Utf8(WindowText(window)) + "\"\r\n";
    });
  }
  Append(tree);
}

}  // namespace tunewell::latchkey
