#pragma once

// How the plug-in finds the player's windows and works its controls: exact titles and class
// names, control ids, one fixed child path, and synchronous window messages.

#include <windows.h>

#include <string>

#include "hook/player_controls.h"

namespace tunewell {

inline constexpr char kPlayerWindowTitle[] = "Windows Media Player";
inline constexpr char kChooseColumnsTitle[] = "Choose Columns";
inline constexpr char kFilePathColumn[] = "File Path";
inline constexpr char kDialogClass[] = "#32770";

// The window's text as narrow text, at most 259 bytes.
std::string WindowText(HWND window);
std::string ClassName(HWND window);

// The first top-level window titled exactly "Windows Media Player", or null.
HWND FindPlayerWindow();
// Player window -> child 0 -> its first child -> child 0 -> child `id` (kDeviceComboId,
// kSyncToolbarId, kEjectHostId); null when a step fails.
HWND FindSyncPaneControl(int id);

// True when the combo box's selected entry ends with "(X:)" for the root "X:\".
bool DeviceComboShowsIPod(HWND combo, const std::string& ipod_root);

// The index of the last header item titled exactly "File Path"; false, `*index` untouched,
// when there is none.
bool FindFilePathColumn(HWND header, int* index);

// Switches the list's "File Path" column on through its header's context menu and the player's
// "Choose Columns" dialog. Returns within a few seconds whatever the player does.
void ShowFilePathColumn(HWND list);

// The first enabled, visible descendant of `parent` of class "#32770" titled "Custom Sync
// Settings" or "Configure Sync", or null.
HWND FindCustomSyncPage(HWND parent);

// List-view rows: the state image bits (mask 0xF000), checked as exactly state image 2 (0x2000),
// and a cell's text (259 bytes at most).
inline constexpr UINT kCheckedStateImage = 0x2000;
UINT ListRowStateImage(HWND list, int row);
bool ListRowChecked(HWND list, int row);
std::string ListCellText(HWND list, int row, int column);
int ListRowCount(HWND list);

}  // namespace tunewell
