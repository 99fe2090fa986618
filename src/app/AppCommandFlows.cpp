#include "app/StatusMenuController.h"

#include "network/NetworkProfile.h"
#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "storage/Cleanup.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <QCoreApplication>
#include <QtConcurrent>

// The commands of the per-app submenu: launch, terminate, uninstall and the network profile rows.
namespace quorvex {

QFuture<void> StatusMenuController::launchApp(const SimulatorApp& app,
                                              const std::vector<SimulatorDevice>& devices) {
    const QString bundleID = app.id;
    return runOnSimulators(
        devices,
        [bundleID](const SimulatorDevice& device) { return DeviceTools::launchApp(bundleID, device.udid); },
        QStringLiteral("Launched ") + app.name);
}

QFuture<void> StatusMenuController::terminateApp(const SimulatorApp& app,
                                                 const std::vector<SimulatorDevice>& devices) {
    const QString bundleID = app.id;
    return runOnSimulators(
        devices,
        [bundleID](const SimulatorDevice& device) {
            return DeviceTools::terminateApp(bundleID, device.udid);
        },
        QStringLiteral("Terminated ") + app.name);
}

QFuture<void> StatusMenuController::uninstall(const SimulatorApp& app,
                                              const std::vector<SimulatorDevice>& devices) {
    const QString bundleID = app.id;
    const QString name = app.name;
    // The inventory and the busy flag outlive the menu, and the continuations run in the
    // application's context rather than the controller's, so the flow reaches its end (and clears
    // the flag the confirmation set) even when the controller is gone by then.
    SimulatorApps* simulatorApps = &m_models.simulatorApps;
    Cleanup* cleanup = &m_models.cleanup;
    return QtConcurrent::run([devices, bundleID] {
               QStringList failed;
               for (const SimulatorDevice& device : devices) {
                   const auto output = runTool(ToolPaths::xcrun(), QStringList{QStringLiteral("simctl"),
                                                                               QStringLiteral("uninstall"),
                                                                               device.udid, bundleID});
                   if (!output)
                       failed << device.name;
               }
               return failed;
           })
        .then(QCoreApplication::instance(),
              [simulatorApps, cleanup, name](const QStringList& failed) {
                  // The menu must not list the app on simulators it left, so the toast waits for
                  // the new inventory.
                  return simulatorApps->refresh().then(QCoreApplication::instance(), [cleanup, failed, name] {
                      if (!failed.isEmpty())
                          Toast::show(QStringLiteral("Couldn’t uninstall on ") +
                                          failed.join(QStringLiteral(", ")),
                                      std::nullopt, QStringLiteral("exclamationmark.triangle"), true);
                      else
                          Toast::show(QStringLiteral("Uninstalled ") + name, std::nullopt,
                                      QStringLiteral("xmark.bin"), false);
                      cleanup->setWorking(false);
                  });
              })
        .unwrap();
}

MenuRow StatusMenuController::networkProfileItem(const NetworkProfile& profile, const NetworkProfile& current,
                                                 const SimulatorApp& app) {
    NetworkService* network = &m_models.services.network;
    MenuRow row =
        MenuRow::action(QString::fromStdString(profile.name), QString::fromStdString(profile.symbol),
                        std::nullopt, [network, profile, app] { network->setProfile(profile, app); });
    row.withSubtitle(QString::fromStdString(profile.summary()));
    row.checked = profile == current;
    row.enabled = !network->isBusy();
    return row;
}

void StatusMenuController::showArchives(const SimulatorApp& app) {
    m_models.services.cleanerWindow.show(std::nullopt, app);
}

} // namespace quorvex
