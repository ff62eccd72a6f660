#pragma once

// The control ids of the player's own windows that the plug-in and the hook library work with
// (the Sync pane, the "Choose Columns" dialog, the sync settings dialog). The player's, not ours:
// they cannot change.

namespace tunewell {

// The Sync pane.
inline constexpr int kSyncListId = 204;  // the tracks to sync (check boxes)
inline constexpr int kDeviceComboId = 208;
inline constexpr int kSyncToolbarId = 209;
inline constexpr int kDeviceListId = 210;    // the device-side list, our contents view
inline constexpr int kRemoveButtonId = 216;  // on toolbar 209
inline constexpr int kEjectHostId = 219;

// The "Choose Columns" dialog's list of columns.
inline constexpr int kChooseColumnsListId = 220;

// The sync settings dialog: its automatic-sync box, the custom sync page's, the page's playlist
// host, and the list inside the host's first child.
inline constexpr int kAutoSyncBoxId = 2122;
inline constexpr int kCustomPageBoxId = 2161;
inline constexpr int kPlaylistHostId = 2224;
inline constexpr int kPlaylistListId = 1;

}  // namespace tunewell
