#include "app/SnapshotFlows.h"

#include "actions/SnapshotStore.h"
#include "platform/gui/Dialogs.h"
#include "simulator/Toast.h"
#include "storage/cleaner/BusyToast.h"
#include "storage/files/Cleanup.h"
#include "storage/files/FileError.h"
#include "ui/Formatters.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QtConcurrent>

#include <memory>
#include <variant>

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

QFuture<void> SnapshotFlows::confirmSave(const SimulatorApp& app, const SimulatorInstall& install) const {
    auto field = std::make_unique<QLineEdit>();
    field->setObjectName(QStringLiteral("snapshotName"));
    field->setFixedSize(280, 24);
    field->setText(QStringLiteral("Snapshot ") +
                   Formatters::abbreviatedDateTime(QDateTime::currentDateTime()));
    // The proposed name is selected, so typing replaces it.
    field->selectAll();
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
    if (!m_cleanup.beginLongTask()) {
        showBusyToast();
        return finished();
    }
    return save(app, install, name);
}

QFuture<void> SnapshotFlows::save(const SimulatorApp& app, const SimulatorInstall& install,
                                  const QString& name) const {
    Cleanup* cleanup = &m_cleanup;
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

QFuture<void> SnapshotFlows::confirmRestore(const AppSnapshot& snapshot, const SimulatorApp& app,
                                            const SimulatorInstall& install) const {
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
    if (!m_cleanup.beginLongTask()) {
        showBusyToast();
        return finished();
    }
    return restore(snapshot, app, install);
}

QFuture<void> SnapshotFlows::restore(const AppSnapshot& snapshot, const SimulatorApp& app,
                                     const SimulatorInstall& install) const {
    Cleanup* cleanup = &m_cleanup;
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

QFuture<void> SnapshotFlows::confirmDelete(const AppSnapshot& snapshot) const {
    Alert alert;
    alert.message = QStringLiteral("Delete snapshot “%1”?").arg(snapshot.name);
    alert.informativeText =
        QStringLiteral("The saved copy is deleted. The app’s current data isn’t affected.");
    alert.buttons = {{QStringLiteral("Delete"), true}, {QStringLiteral("Cancel")}};
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return finished();
    // A restore or save reads the snapshot folder for its whole run; deleting it under them would
    // leave them with half a snapshot.
    if (m_cleanup.isWorking()) {
        showBusyToast();
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
            // A long task that started after the check above: the store refused.
            if (std::get<QString>(result) == Cleanup::kBusyDetail) {
                showBusyToast();
                return;
            }
            Toast::show(QStringLiteral("Couldn’t delete the snapshot"), std::get<QString>(result),
                        kFailedSymbol, true);
        });
}

} // namespace quorvex
