#include "latchkey/window_finder.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string_view>

#include "hook/player_controls.h"

namespace tunewell::latchkey {

namespace {

constexpr UINT kTextLimitMs = 500;
constexpr wchar_t kDialogClass[] = L"#32770";

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD thread) {
  std::vector<HWND> found;
  const auto add = [&found](HWND window) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId()) found.push_back(window);
  };
  using Add = decltype(add);
  if (thread != 0) {
    ::EnumThreadWindows(thread, &VisitWindow<Add>, reinterpret_cast<LPARAM>(&add));
  } else {
    ::EnumWindows(&VisitWindow<Add>, reinterpret_cast<LPARAM>(&add));
  }
  return found;
}

namespace {

bool HoldsCustomSyncPage(HWND dialog) {
  bool found = false;
  ForEachDescendant(dialog, [&](HWND window) {
    if (found || window == dialog || !IsClass(window, kDialogClass)) return;
    if (!::IsWindowVisible(window) || !::IsWindowEnabled(window)) return;
    const std::wstring title = WindowText(window);
    found = title == L"Custom Sync Settings" || title == L"Configure Sync";
  });
  return found;
}

}  // namespace

std::wstring WindowText(HWND window) {
  wchar_t text[260] = {};
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, kTextLimitMs, &copied)) {
    return L"";
  }
  text[std::size(text) - 1] = L'\0';
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, std::size(name));
  return name;
}

bool IsClass(HWND window, const wchar_t* name) {
  // Class names match without regard to case, as the system registers them.
  const std::wstring found = ClassOf(window);
  const std::wstring_view wanted(name);
  return std::equal(found.begin(), found.end(), wanted.begin(), wanted.end(),
                    [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

HWND FindControl(DWORD ui_thread, int id, const wchar_t* class_name, const wchar_t* text) {
  HWND visible = nullptr, hidden = nullptr;
  for (HWND top : TopLevelWindows(ui_thread)) {
    ForEachDescendant(top, [&](HWND window) {
      if (visible != nullptr || window == top) return;
      if ((text == nullptr && ::GetDlgCtrlID(window) != id) || !IsClass(window, class_name)) return;
      if (text != nullptr && WindowText(window) != text) return;
      (::IsWindowVisible(window) ? visible : hidden) = window;
    });
    if (visible != nullptr) return visible;
  }
  return hidden;
}

bool IsSettingsDialog(HWND window) {
  if (window == nullptr || !::IsWindowVisible(window) || !IsClass(window, kDialogClass))
    return false;
  return ::GetDlgItem(window, kAutoSyncBoxId) != nullptr || HoldsCustomSyncPage(window);
}

HWND FindSettingsDialog() {
  for (HWND top : TopLevelWindows(0)) {
    if (IsSettingsDialog(top)) return top;
  }
  return nullptr;
}

char ComboDriveLetter(HWND combo) {
  if (combo == nullptr) return 0;
  DWORD_PTR selected = 0, length = 0;
  if (!::SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kTextLimitMs,
                             &selected) ||
      static_cast<LRESULT>(selected) < 0 ||
      !::SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, selected, 0, SMTO_ABORTIFHUNG, kTextLimitMs,
                             &length) ||
      static_cast<LRESULT>(length) < 4 || length > 1024) {
    return 0;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(combo, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kTextLimitMs, &copied)) {
    return 0;
  }
  text.resize(std::wcslen(text.c_str()));
  const size_t n = text.size();
  if (n < 4 || text.compare(n - 4, 1, L"(") != 0 || text.compare(n - 2, 2, L":)") != 0) return 0;
  const wchar_t letter = text[n - 3];
  if (letter >= L'a' && letter <= L'z') return static_cast<char>(letter - L'a' + 'A');
  return letter >= L'A' && letter <= L'Z' ? static_cast<char>(letter) : 0;
}

}  // namespace tunewell::latchkey
