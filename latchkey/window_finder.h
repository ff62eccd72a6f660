#pragma once

// Finding the player's windows from any thread of the process: by control id and class among
// the descendants of the interface thread's top-level windows, never by a path alone, and never
// keeping a handle past the call (the player rebuilds its panes).

#include <windows.h>

#include <string>
#include <vector>

#include "win32kit/boundary.h"

namespace tunewell::latchkey {

inline constexpr wchar_t kListViewClass[] = L"SysListView32";
inline constexpr wchar_t kComboBoxClass[] = L"ComboBox";
inline constexpr wchar_t kToolbarClass[] = L"ToolbarWindow32";
inline constexpr wchar_t kButtonClass[] = L"Button";
inline constexpr wchar_t kStartSyncCaption[] = L"Start Sync";
inline constexpr wchar_t kStopSyncCaption[] = L"Stop Sync";

// The top-level windows of `thread`, or of this process for 0.
std::vector<HWND> TopLevelWindows(DWORD thread);

// A window's text, asked with a time limit so that a busy interface thread cannot hold us.
std::wstring WindowText(HWND window);
std::wstring ClassOf(HWND window);
bool IsClass(HWND window, const wchar_t* name);

// The descendant of the top-level windows of `ui_thread` (of the whole process for 0) with
// control id `id` and class `class_name`, a visible one first; with a `text`, the one of that
// class and text whatever its id. Null when there is none.
HWND FindControl(DWORD ui_thread, int id, const wchar_t* class_name, const wchar_t* text = nullptr);

// A visible top-level dialog of this process that has the automatic-sync box as a direct child
// or holds the custom sync page.
bool IsSettingsDialog(HWND window);
HWND FindSettingsDialog();

// 'X' when the combo box's chosen entry ends with "(X:)", else 0.
char ComboDriveLetter(HWND combo);

template <typename Visit>
BOOL CALLBACK VisitWindow(HWND window, LPARAM param) {
  // Inside the system's enumeration: a throw ends the walk there.
  return ProcedureEntry([&] { return (*reinterpret_cast<Visit*>(param))(window), TRUE; },
                        [] { return FALSE; });
}

// Calls `visit` for `top` and each of its descendants, parents before children.
template <typename Visit>
void ForEachDescendant(HWND top, Visit visit) {
  visit(top);
  ::EnumChildWindows(top, &VisitWindow<Visit>, reinterpret_cast<LPARAM>(&visit));
}

}  // namespace tunewell::latchkey
