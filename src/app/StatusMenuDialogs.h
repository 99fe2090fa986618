#pragma once

#include "simulator/SimulatorApp.h"

namespace quorvex {

class StatusMenuController;

// The confirmations that rows of the per-app submenu open before they act. Each runs modally on
// the GUI thread through the dialog layer and starts the confirmed work on the controller.

/// Asks before uninstalling the app from every simulator it is on; confirmed (and no long task
/// running), sets the busy flag and starts `controller.uninstall`, which clears it.
void confirmUninstall(StatusMenuController& controller, const SimulatorApp& app);

/// Asks before deleting the app's keychain items on one simulator; `count` is the number of items
/// the menu read (0 when it could not read one).
void confirmDeleteKeychainItems(StatusMenuController& controller, const SimulatorApp& app,
                                const SimulatorInstall& install, int count);

} // namespace quorvex
