#include "app/AppCommandFlows.h"
#include "app/SnapshotMenuItems.h"

#include "app/provisional/NotAvailableYet.h"
#include "storage/Cleanup.h"

#include <QFuture>

namespace quorvex {

// provisional: defined by the other half of the menu work
QFuture<void> uninstall(StatusMenuController&, const SimulatorApp&, const std::vector<SimulatorDevice>&) {
    showNotAvailableYet(QStringLiteral("Uninstall"));
    // The caller set the busy flag for this flow; left set, it would lock every long task out.
    Cleanup::shared().setWorking(false);
    return QtFuture::makeReadyFuture();
}

// provisional: defined by the other half of the menu work
void fillDeviceAppData(StatusMenuController&, MenuRows& rows, const PhysicalDevice&) {
    rows.push_back(MenuRow::action(QStringLiteral("Snapshots and Downloads…"), QStringLiteral("folder"),
                                   std::nullopt,
                                   [] { showNotAvailableYet(QStringLiteral("Device app data")); }));
}

} // namespace quorvex
