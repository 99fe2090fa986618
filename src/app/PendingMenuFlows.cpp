#include "app/ConnectedDeviceActions.h"
#include "app/StatusMenuDialogs.h"

#include "app/MenuRow.h"
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

// provisional: defined by the other half of the menu work
void saveDeviceSnapshot(StatusMenuController&, const DeviceApp&, const PhysicalDevice&) {
    showNotAvailableYet(QStringLiteral("Device snapshots"));
}

// provisional: defined by the other half of the menu work
void downloadDeviceAppData(StatusMenuController&, const DeviceApp&, const PhysicalDevice&) {
    showNotAvailableYet(QStringLiteral("Downloading app data"));
}

// provisional: defined by the other half of the menu work
void fillDeviceSnapshotSubmenu(StatusMenuController&, MenuRows& rows, const DeviceSnapshot&, const DeviceApp&,
                               const PhysicalDevice&) {
    rows.push_back(MenuRow::action(
        QStringLiteral("Restore…"), QStringLiteral("arrow.uturn.backward.circle"), std::nullopt,
        [] { showNotAvailableYet(QStringLiteral("Restoring device snapshots")); }));
    rows.push_back(MenuRow::action(QStringLiteral("Delete Snapshot…"), QStringLiteral("trash"), std::nullopt,
                                   [] { showNotAvailableYet(QStringLiteral("Deleting device snapshots")); }));
}

} // namespace quorvex
