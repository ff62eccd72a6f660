#pragma once

#include <windows.h>

#include <string>

#include "platform/env.h"

namespace tunewell {

// Writes the playlists ticked in the player's open sync settings dialog `dialog` as the iPod's
// auto-sync selection, or deletes the selection when automatic sync is switched off there.
// Without a dialog nothing changes.
void SaveAutoSyncSelection(Env& env, HWND dialog, const std::string& ipod_root);

}  // namespace tunewell
