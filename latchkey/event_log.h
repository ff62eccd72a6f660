#pragma once

// The opt-in diagnostics log: what the library found of the player's windows and which action
// raised which event, so that a user of a player we cannot run here can show us. Off unless
// HKCU\Software\Tunewell has a nonzero DWORD "LatchkeyLog"; written to %TEMP%\latchkey.log.
// It changes no behaviour.

#include <windows.h>

#include <string>

namespace tunewell::latchkey {

inline constexpr wchar_t kLogKey[] = L"Software\\Tunewell";
inline constexpr wchar_t kLogValue[] = L"LatchkeyLog";
inline constexpr wchar_t kLogFile[] = L"latchkey.log";

// Asked each time, so that switching it on needs no restart of the player.
bool LogWanted();

// One line with the time in front; nothing when the log is off or cannot be written.
void LogLine(const std::string& line);

// The visible top-level windows of `ui_thread` and all their descendants: class, control id,
// text and visibility, one a line, indented by depth.
void LogWindowTree(DWORD ui_thread);

}  // namespace tunewell::latchkey
