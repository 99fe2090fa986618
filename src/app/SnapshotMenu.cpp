#include "app/StatusMenuController.h"

#include "actions/SnapshotStore.h"
#include "app/DeviceActions.h"
#include "platform/Dialogs.h"
#include "simulator/Toast.h"
#include "storage/Cleanup.h"
#include "storage/FileError.h"
#include "ui/Formatters.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QtConcurrent>

#include <memory>
#include <variant>

// Saving, restoring and deleting app-data snapshots of simulator apps from the per-app submenu.
//
// Save and restore hold the program's busy flag from their confirmation until their toast: the
// confirmation sets it on the GUI thread, the store works on the global pool, and the flag is
// cleared in a continuation whose context is the application object (not the controller), so it
// runs on the GUI thread and the flag is cleared even when the menu that started the flow is gone. A delete
// must not hold the flag (the store refuses to delete while it is set); it refuses up front while a long task
// runs and works off the GUI thread, since removing a large snapshot takes a while.
namespace quorvex {
namespace {

const QString kFailedSymbol = QStringLiteral("exclamationmark.triangle");

// The text to show for a failure of the store: its own message, or the file error's description.
template <typename Work> auto capture(Work work) -> std::variant<decltype(work()), QString> {
    try {
        return work();
    } catch (const SnapshotStore::SnapshotError& error) {
        return error.errorDescription();
    } catch (const FileError& error) {
        return error.description();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
}

QFuture<void> finished() {
    return QtFuture::makeReadyFuture();
}

} // namespace

void StatusMenuController::addSaveSnapshotRows(MenuRows& rows, const SimulatorApp& app) {
    QPointer<StatusMenuController> self(this);
    for (const SimulatorInstall& install : app.installs) {
        rows.push_back(MenuRow::action(QStringLiteral("From %1…").arg(install.deviceName),
                                       QStringLiteral("iphone"), std::nullopt, [self, app, install] {
                                           if (self)
                                               self->confirmSaveSnapshot(app, install);
                                       }));
    }
}

QFuture<void> StatusMenuController::confirmSaveSnapshot(const SimulatorApp& app,
                                                        const SimulatorInstall& install) {
    auto field = std::make_unique<QLineEdit>();
    field->setObjectName(QStringLiteral("snapshotName"));
    field->setFixedSize(280, 24);
    field->setText(QStringLiteral("Snapshot ") +
                   Formatters::abbreviatedDateTime(QDateTime::currentDateTime()));
    Alert alert;
    alert.message = QStringLiteral("Save a snapshot of ") + app.name;
    alert.informativeText =
        QStringLiteral("The app is stopped while its data on %1 is copied.").arg(install.deviceName);
    alert.buttons = {{QStringLiteral("Save")}, {QStringLiteral("Cancel")}};
    alert.accessory = field.get();
    alert.initialFocus = field.get();
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return finished();
    // Spaces around a real name are the user's; a name of nothing but spaces is no name.
    const QString typed = field->text();
    const QString name = typed.trimmed().isEmpty() ? QStringLiteral("Snapshot") : typed;
    if (!m_models.cleanup.beginLongTask())
        return finished();
    return saveSnapshot(app, install, name);
}

QFuture<void> StatusMenuController::saveSnapshot(const SimulatorApp& app, const SimulatorInstall& install,
                                                 const QString& name) {
    Cleanup* cleanup = &m_models.cleanup;
    return QtConcurrent::run([app, install, name] {
               return capture([&] { return SnapshotStore::save(app, install, name); });
           })
        .then(QCoreApplication::instance(), [cleanup](const std::variant<AppSnapshot, QString>& result) {
            if (const auto* snapshot = std::get_if<AppSnapshot>(&result))
                Toast::show(QStringLiteral("Saved “%1”").arg(snapshot->name),
                            Formatters::fileSize(snapshot->size), QStringLiteral("clock.arrow.circlepath"),
                            false);
            else
                Toast::show(QStringLiteral("Couldn’t save the snapshot"), std::get<QString>(result),
                            kFailedSymbol, true);
            cleanup->setWorking(false);
        });
}

void StatusMenuController::fillSnapshotSubmenu(MenuRows& rows, const SimulatorApp& app,
                                               const AppSnapshot& snapshot) {
    QPointer<StatusMenuController> self(this);
    if (app.installs.empty()) {
        rows.push_back(MenuRow::info(QStringLiteral("Start the app’s simulator to restore"),
                                     QStringLiteral("info.circle")));
    }
    for (const SimulatorInstall& install : app.installs) {
        const QString title = app.installs.size() == 1
                                  ? QStringLiteral("Restore…")
                                  : QStringLiteral("Restore to %1…").arg(install.deviceName);
        rows.push_back(MenuRow::action(title, QStringLiteral("arrow.uturn.backward.circle"), std::nullopt,
                                       [self, snapshot, app, install] {
                                           if (self)
                                               self->confirmSnapshotRestore(snapshot, app, install);
                                       }));
    }
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::action(QStringLiteral("Delete Snapshot…"), QStringLiteral("trash"), std::nullopt,
                                   [self, snapshot] {
                                       if (self)
                                           self->confirmSnapshotDelete(snapshot);
                                   }));
}

QFuture<void> StatusMenuController::confirmSnapshotRestore(const AppSnapshot& snapshot,
                                                           const SimulatorApp& app,
                                                           const SimulatorInstall& install) {
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.message = QStringLiteral("Restore “%1” to %2?").arg(snapshot.name, install.deviceName);
    alert.informativeText =
        QStringLiteral(
            "%1 is stopped and its current documents, settings, caches, and app group data on %2 are "
            "replaced. The current data can’t be recovered unless you save a snapshot of it first.")
            .arg(app.name, install.deviceName);
    alert.buttons = {{QStringLiteral("Restore"), true}, {QStringLiteral("Cancel")}};
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return finished();
    if (!m_models.cleanup.beginLongTask())
        return finished();
    return restoreSnapshot(snapshot, app, install);
}

QFuture<void> StatusMenuController::restoreSnapshot(const AppSnapshot& snapshot, const SimulatorApp& app,
                                                    const SimulatorInstall& install) {
    Cleanup* cleanup = &m_models.cleanup;
    const QString title = QStringLiteral("Restored “%1”").arg(snapshot.name);
    const QString detail = app.name + QStringLiteral(" on ") + install.deviceName;
    return QtConcurrent::run([snapshot, app, install] {
               return capture([&] { return SnapshotStore::restore(snapshot, app, install); });
           })
        .then(QCoreApplication::instance(),
              [cleanup, title, detail](const std::variant<SnapshotStore::RestoreReport, QString>& result) {
                  const auto* report = std::get_if<SnapshotStore::RestoreReport>(&result);
                  if (report)
                      Toast::show(title, detail, QStringLiteral("arrow.uturn.backward.circle"), false);
                  else
                      Toast::show(QStringLiteral("Couldn’t restore"), std::get<QString>(result),
                                  kFailedSymbol, true);
                  cleanup->setWorking(false);
                  // Data an interrupted restore left behind was put away, not deleted: say where,
                  // in an alert, since a toast is gone before it can be read.
                  if (report && !report->notice().isEmpty()) {
                      Alert alert;
                      alert.message = title;
                      alert.informativeText = report->notice();
                      Dialogs::shared().runAlert(alert);
                  }
              });
}

QFuture<void> StatusMenuController::confirmSnapshotDelete(const AppSnapshot& snapshot) {
    Alert alert;
    alert.message = QStringLiteral("Delete snapshot “%1”?").arg(snapshot.name);
    alert.informativeText =
        QStringLiteral("The saved copy is deleted. The app’s current data isn’t affected.");
    alert.buttons = {{QStringLiteral("Delete"), true}, {QStringLiteral("Cancel")}};
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return finished();
    // A restore or save reads the snapshot folder for its whole run; deleting it under them would
    // leave them with half a snapshot.
    if (m_models.cleanup.isWorking()) {
        Cleanup::showBusyToast();
        return finished();
    }
    const QString name = snapshot.name;
    return QtConcurrent::run([snapshot] {
               return capture([&] {
                   SnapshotStore::deleteSnapshot(snapshot);
                   return true;
               });
           })
        .then(QCoreApplication::instance(), [name](const std::variant<bool, QString>& result) {
            if (std::holds_alternative<bool>(result)) {
                Toast::show(QStringLiteral("Deleted “%1”").arg(name), std::nullopt, QStringLiteral("trash"),
                            false);
                return;
            }
            // A long task that started after the check above: the store refused and showed the
            // busy toast itself.
            if (std::get<QString>(result) == Cleanup::kBusyDetail)
                return;
            Toast::show(QStringLiteral("Couldn’t delete the snapshot"), std::get<QString>(result),
                        kFailedSymbol, true);
        });
}

void StatusMenuController::fillDeviceAppData(MenuRows& rows, const PhysicalDevice& device) {
    const std::vector<DeviceApp> apps = m_models.services.deviceFlows.apps(device.id);
    if (apps.empty()) {
        rows.push_back(MenuRow::info(QStringLiteral("Apps you run from Xcode show up here."),
                                     QStringLiteral("info.circle")));
        return;
    }
    for (const DeviceApp& app : apps) {
        const std::vector<DeviceSnapshot> snapshots = DeviceSnapshot::list(app.id);
        MenuRow row = MenuRow::tool(app.name, QStringLiteral("app"), std::nullopt);
        if (const size_t count = snapshots.size(); count > 0)
            row.withSubtitle(count == 1 ? QStringLiteral("1 snapshot")
                                        : QStringLiteral("%1 snapshots").arg(count));
        fillDeviceAppSubmenu(row.children, device, app, snapshots);
        rows.push_back(std::move(row));
    }
}

void StatusMenuController::fillDeviceAppSubmenu(MenuRows& rows, const PhysicalDevice& device,
                                                const DeviceApp& app,
                                                const std::vector<DeviceSnapshot>& snapshots) {
    DeviceFlowsService* flows = &m_models.services.deviceFlows;
    rows.push_back(MenuRow::action(QStringLiteral("Save Snapshot…"), QStringLiteral("clock.arrow.circlepath"),
                                   std::nullopt,
                                   [flows, app, device] { saveDeviceSnapshot(*flows, app, device); }));
    rows.push_back(MenuRow::action(QStringLiteral("Download"), QStringLiteral("arrow.down.circle"),
                                   std::nullopt,
                                   [flows, app, device] { downloadDeviceAppData(*flows, app, device); })
                       .withSubtitle(QStringLiteral("To your Downloads folder")));
    if (snapshots.empty())
        return;
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Snapshots")));
    for (const DeviceSnapshot& snapshot : snapshots) {
        MenuRow row = MenuRow::tool(snapshot.name, QStringLiteral("doc.on.doc"), std::nullopt);
        row.withSubtitle(Formatters::abbreviatedDateTime(snapshot.date) + QStringLiteral(" · ") +
                         Formatters::fileSize(snapshot.size));
        fillDeviceSnapshotSubmenu(*flows, row.children, snapshot, app, device);
        rows.push_back(std::move(row));
    }
}

} // namespace quorvex
