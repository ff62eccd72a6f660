#pragma once

// What the library watches on the player's interface thread: two hooks of that thread alone
// (the messages it takes from its queue, and those sent to its windows), and subclasses of the
// parents whose notifications it must see first: the Sync pane of "Start Sync" and toolbar 209,
// and the sync settings dialog.

namespace tunewell::latchkey {

// On the interface thread, once.
void InstallInterfaceHooks();

}  // namespace tunewell::latchkey
