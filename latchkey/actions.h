#pragma once

// What the user does in the player, and the hook event each action raises. The README's table
// is this one; the log names actions with `what`.

#include "hook/hook_events.h"

namespace tunewell::latchkey {

enum class Action {
  kIPodChosen,     // the device combo box now shows a mounted iPod
  kSyncTabAgain,   // the device list was shown again while the iPod stayed chosen
  kIPodLeft,       // another device chosen, the Sync tab left, or the iPod's volume gone
  kStartSync,      // "Start Sync" pressed while the iPod is chosen (the player never sees it)
  kSettingsOk,     // the sync settings dialog confirmed while the iPod is chosen
  kVolumeArrived,  // an iPod volume arrived
  kRemovePressed,  // toolbar button 216, or Delete in the device list, while enabled
  kEjectClicked,   // the eject icon's zone in host 219 clicked while the iPod is chosen
};

struct ActionRow {
  Action action;
  HookEvent event;
  const char* what;
};

inline constexpr ActionRow kActionTable[] = {
    {Action::kIPodChosen, HookEvent::kAttachView, "iPod chosen in the device combo box"},
    {Action::kSyncTabAgain, HookEvent::kAttachViewAgain, "device list shown again"},
    {Action::kIPodLeft, HookEvent::kDetachView, "iPod no longer chosen"},
    {Action::kStartSync, HookEvent::kSyncTab, "Start Sync pressed"},
    {Action::kSettingsOk, HookEvent::kSyncSettings, "sync settings confirmed"},
    {Action::kVolumeArrived, HookEvent::kRefreshAndSync, "iPod volume arrived"},
    {Action::kRemovePressed, HookEvent::kRemoveSelected, "remove pressed"},
    {Action::kEjectClicked, HookEvent::kEject, "eject icon clicked"},
};

inline constexpr const ActionRow& RowOf(Action action) {
  return kActionTable[static_cast<int>(action)];
}

}  // namespace tunewell::latchkey
