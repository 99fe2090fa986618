#include "app/StatusMenuDialogs.h"

#include "app/provisional/NotAvailableYet.h"

namespace quorvex {

// provisional: defined by the other half of the menu work
void confirmUninstall(StatusMenuController&, const SimulatorApp&) {
    showNotAvailableYet(QStringLiteral("Uninstall"));
}

// provisional: defined by the other half of the menu work
void confirmDeleteKeychainItems(StatusMenuController&, const SimulatorApp&, const SimulatorInstall&, int) {
    showNotAvailableYet(QStringLiteral("Deleting keychain items"));
}

} // namespace quorvex
