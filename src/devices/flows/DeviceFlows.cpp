#include "devices/flows/DeviceFlows.h"

#include "devices/core/ApnsClient.h"
#include "devices/core/DeviceSnapshotStore.h"
#include "devices/core/PhysicalDevices.h"
#include "devices/core/UserFacingError.h"
#include "devices/flows/DevicePushWindow.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Workspace.h"
#include "simulator/Toast.h"
#include "storage/cleaner/BusyToast.h"
#include "storage/files/Cleanup.h"
#include "tools/Environment.h"
#include "tools/ToolCancellation.h"
#include "ui/ByteCountFormatter.h"
#include "ui/Formatters.h"
#include "windows/DeviceScreenshot.h"
#include "windows/ScreenshotSettings.h"

#include <QFutureWatcher>
#include <QLineEdit>
#include <QLocale>
#include <QPromise>
#include <QVBoxLayout>

#include <QtConcurrent/QtConcurrentRun>

namespace quorvex {

namespace fs = std::filesystem;

DeviceFlows::DeviceFlows(PhysicalDevices& inventory, DeviceScreenshot& screenshots, Workspace& workspace,
                         ApnsClient* client)
    : m_inventory(inventory)
    , m_screenshots(screenshots)
    , m_workspace(workspace)
    , m_client(client) {}

DeviceFlows::~DeviceFlows() {
    // The program quits: the copy stops and its worker ends without starting anything more.
    if (m_copy)
        m_copy->cancelForGood();
}

std::vector<PhysicalDevice> DeviceFlows::devices() const {
    return m_inventory.devices();
}

std::vector<DeviceApp> DeviceFlows::apps(const QString& deviceID) const {
    const auto& apps = m_inventory.apps();
    const auto found = apps.find(deviceID);
    return found == apps.end() ? std::vector<DeviceApp>{} : found->second;
}

DevicePushWindow& DeviceFlows::pushWindow() {
    if (!m_pushWindow)
        m_pushWindow = std::make_unique<DevicePushWindow>(m_client ? *m_client : ApnsClient::shared());
    return *m_pushWindow;
}

void DeviceFlows::showPushWindow(const PhysicalDevice& device) {
    pushWindow().show(device);
}

template <typename Result>
QFuture<void> DeviceFlows::runLongTask(std::optional<QString> copy,
                                       std::function<Result(ToolCancellation*)> work,
                                       std::function<void(Result)> done) {
    auto ended = std::make_shared<QPromise<void>>();
    ended->start();
    QFuture<void> future = ended->future();
    if (!Cleanup::shared().beginLongTask()) {
        showBusyToast();
        ended->finish();
        return future;
    }
    auto cancellation = std::make_shared<ToolCancellation>();
    m_copy = cancellation;
    m_copyDescription = std::move(copy);
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, ended, done = std::move(done)] {
        watcher->deleteLater();
        m_copy.reset();
        m_copyDescription.reset();
        // Cleared before the toast, so whoever reacts to the message may start the next task.
        Cleanup::shared().setWorking(false);
        done(watcher->result());
        ended->finish();
        emit flowFinished();
    });
    // The worker keeps its own reference: the flows may be gone before it ends.
    watcher->setFuture(
        QtConcurrent::run([work = std::move(work), cancellation] { return work(cancellation.get()); }));
    return future;
}

void DeviceFlows::cancelCopy() {
    if (m_copy && m_copyDescription)
        m_copy->cancel();
}

std::optional<QString> DeviceFlows::runningCopy() const {
    return m_copy ? m_copyDescription : std::nullopt;
}

void DeviceFlows::screenshot(const PhysicalDevice& device, bool copy) {
    m_screenshots.screenshot(device.id, device.name, device, copy).then(this, [this] {
        emit flowFinished();
    });
}

std::optional<QString> DeviceFlows::promptSnapshotName(const DeviceApp& app, const PhysicalDevice& device) {
    const QString deviceName = device.name;
    QWidget accessory;
    auto* layout = new QVBoxLayout(&accessory);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* field = new QLineEdit(QStringLiteral("Snapshot ") +
                                    Formatters::abbreviatedDateTime(QDateTime::currentDateTime()),
                                &accessory);
    field->setObjectName(QStringLiteral("snapshotName"));
    field->setFixedSize(280, 24);
    field->selectAll();
    layout->addWidget(field);
    Alert alert;
    alert.message = QStringLiteral("Save a snapshot of ") + app.name;
    alert.informativeText = QStringLiteral("Copies the app’s documents, settings, and caches from ") +
                            deviceName + QLatin1Char('.');
    alert.buttons = {{QStringLiteral("Save")}, {QStringLiteral("Cancel")}};
    alert.accessory = &accessory;
    alert.initialFocus = field;
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return std::nullopt;
    QString name = field->text();
    while (!name.isEmpty() && (name.front() == QLatin1Char(' ') || name.front() == QLatin1Char('\t')))
        name.remove(0, 1);
    while (!name.isEmpty() && (name.back() == QLatin1Char(' ') || name.back() == QLatin1Char('\t')))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("Snapshot") : name;
}

QFuture<void> DeviceFlows::saveSnapshotFlow(const PhysicalDevice& device, const DeviceApp& app,
                                            const QString& name) {
    struct Outcome {
        std::optional<DeviceSnapshot> snapshot;
        QString error;
        bool cancelled = false;
    };
    return runLongTask<Outcome>(
        QStringLiteral("Saving a snapshot of %1 on %2").arg(app.name, device.name),
        [bundleID = app.id, device, name](ToolCancellation* cancellation) {
            Outcome outcome;
            try {
                outcome.snapshot = DeviceSnapshotStore::save(bundleID, device, name, cancellation);
            } catch (const UserFacingError& error) {
                outcome.error = error.message();
                outcome.cancelled = cancellation->isCancelled();
            }
            return outcome;
        },
        [](const Outcome& outcome) {
            if (outcome.snapshot)
                Toast::show(QStringLiteral("Saved “") + outcome.snapshot->name + QStringLiteral("”"),
                            ByteCountFormatter::file(outcome.snapshot->size),
                            QStringLiteral("clock.arrow.circlepath"), false);
            else if (outcome.cancelled)
                Toast::show(QStringLiteral("Snapshot cancelled"), QStringLiteral("Nothing was saved."),
                            QStringLiteral("clock.arrow.circlepath"), false);
            else
                Toast::show(QStringLiteral("Couldn’t save the snapshot"), outcome.error,
                            QStringLiteral("exclamationmark.triangle"), true);
        });
}

bool DeviceFlows::confirmRestoreSnapshot(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                         const PhysicalDevice& device) {
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.message = QStringLiteral("Restore “") + snapshot.name + QStringLiteral("”?");
    alert.informativeText =
        app.name + QStringLiteral(" is stopped and its current data on ") + device.name +
        QStringLiteral(" is replaced with the snapshot. Its current data can’t be recovered "
                       "unless you save a snapshot first.");
    alert.buttons = {{QStringLiteral("Restore"), true}, {QStringLiteral("Cancel")}};
    return Dialogs::shared().runAlert(alert) == Dialogs::kFirstButton;
}

namespace {

// Where the data from before a restore that failed partway is kept, for the toast.
QString keptDataSentence(const DeviceSnapshotStore::RestoreResult& result) {
    if (result.keptSnapshot)
        return QStringLiteral(" Its data from before is kept as the snapshot “") + result.keptSnapshot->name +
               QStringLiteral("”.");
    if (result.keptFolder)
        return QStringLiteral(" Its data from before is kept in ") +
               QString::fromStdString(result.keptFolder->string()) + QLatin1Char('.');
    return {};
}

} // namespace

QFuture<void> DeviceFlows::restoreSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                               const PhysicalDevice& device) {
    using Result = DeviceSnapshotStore::RestoreResult;
    return runLongTask<Result>(
        QStringLiteral("Restoring “%1” on %2").arg(snapshot.name, device.name),
        [snapshot, app, device](ToolCancellation* cancellation) {
            return DeviceSnapshotStore::restore(snapshot, app, device, cancellation);
        },
        [snapshot, app, device](const Result& result) {
            using Outcome = DeviceSnapshotStore::RestoreOutcome;
            const QString symbol = QStringLiteral("arrow.uturn.backward.circle");
            const QString putBack = app.name + QStringLiteral("’s data was put back as it was.");
            switch (result.outcome) {
            case Outcome::restored:
                Toast::show(QStringLiteral("Restored “") + snapshot.name + QStringLiteral("”"),
                            QStringLiteral("Open ") + app.name + QStringLiteral(" to see it."), symbol,
                            false);
                break;
            case Outcome::rolledBack:
                if (result.cancelled)
                    Toast::show(QStringLiteral("Restore cancelled"), putBack, symbol, false);
                else
                    Toast::show(QStringLiteral("Couldn’t restore the snapshot"), putBack, symbol, true);
                break;
            case Outcome::notStarted:
                if (result.cancelled)
                    Toast::show(QStringLiteral("Restore cancelled"), QStringLiteral("Nothing was changed."),
                                symbol, false);
                else
                    Toast::show(QStringLiteral("Couldn’t restore the snapshot"),
                                QStringLiteral("Nothing was changed. Is ") + device.name +
                                    QStringLiteral(" unlocked and connected?"),
                                symbol, true);
                break;
            case Outcome::failed:
                Toast::show(QStringLiteral("Restore failed partway"),
                            QStringLiteral("Restore the snapshot again, or reinstall ") + app.name +
                                QStringLiteral(" from Xcode.") + keptDataSentence(result),
                            QStringLiteral("exclamationmark.triangle"), true);
                break;
            }
        });
}

QFuture<void> DeviceFlows::deleteSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp&,
                                              const PhysicalDevice& device) {
    Alert alert;
    alert.message = QStringLiteral("Delete “") + snapshot.name + QStringLiteral("”?");
    alert.informativeText = QStringLiteral("The saved copy on this computer is deleted. The app’s data on ") +
                            device.name + QStringLiteral(" isn’t affected.");
    alert.buttons = {{QStringLiteral("Delete"), true}, {QStringLiteral("Cancel")}};
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return QtFuture::makeReadyFuture();
    // A large snapshot takes a while to remove; the store refuses only the one being restored.
    return QtConcurrent::run([snapshot]() -> std::optional<QString> {
               try {
                   DeviceSnapshotStore::remove(snapshot);
               } catch (const UserFacingError& error) {
                   return error.message();
               }
               return std::nullopt;
           })
        .then(this, [name = snapshot.name](const std::optional<QString>& error) {
            if (error)
                Toast::show(QStringLiteral("Couldn’t delete the snapshot"), *error,
                            QStringLiteral("exclamationmark.triangle"), true);
            else
                Toast::show(QStringLiteral("Deleted “") + name + QStringLiteral("”"), std::nullopt,
                            QStringLiteral("trash"), false);
        });
}

QFuture<void> DeviceFlows::downloadAppDataFlow(const PhysicalDevice& device, const DeviceApp& app) {
    const QString baseName = ScreenshotSettings::safeDeviceName(app.name) + QStringLiteral(" Data ") +
                             ScreenshotSettings::timestamp(QDateTime::currentDateTime());
    const fs::path downloads = homeDirectoryURL() / "Downloads";
    struct Outcome {
        std::optional<fs::path> folder;
        bool cancelled = false;
    };
    return runLongTask<Outcome>(
        QStringLiteral("Downloading %1’s data from %2").arg(app.name, device.name),
        [bundleID = app.id, deviceID = device.id, downloads, baseName](ToolCancellation* cancellation) {
            const auto folder =
                DeviceSnapshotStore::downloadAppData(bundleID, deviceID, downloads, baseName, cancellation);
            return Outcome{folder, !folder && cancellation->isCancelled()};
        },
        [this](const Outcome& outcome) {
            if (outcome.folder)
                m_workspace.revealInFileManager(*outcome.folder);
            else if (outcome.cancelled)
                Toast::show(QStringLiteral("Download cancelled"), std::nullopt,
                            QStringLiteral("arrow.down.circle"), false);
            else
                Toast::show(QStringLiteral("Couldn’t download the app’s data"), std::nullopt,
                            QStringLiteral("arrow.down.circle"), true);
        });
}

QFuture<void> DeviceFlows::recoverInterruptedCopies() {
    using Recovery = DeviceSnapshotStore::Recovery;
    // Putting back what a killed restore left must run to its end: nothing offers to cancel it.
    return runLongTask<Recovery>(
        std::nullopt, [](ToolCancellation*) { return DeviceSnapshotStore::recoverInterrupted(); },
        [](const Recovery& recovery) {
            const size_t kept = recovery.keptSnapshots.size() + recovery.keptFolders.size();
            if (kept == 0)
                return;
            QString detail;
            if (kept > 1)
                detail = QStringLiteral("The apps’ data from before each is kept in "
                                        "“Device Snapshots”, as snapshots named "
                                        "“Before restoring …”.");
            else if (!recovery.keptSnapshots.empty())
                detail = QStringLiteral("The data of %1 from before it is kept as the "
                                        "snapshot “%2”; restore that to put it back.")
                             .arg(recovery.keptSnapshots[0].bundleID, recovery.keptSnapshots[0].name);
            else
                detail = QStringLiteral("The app’s data from before it is kept in %1.")
                             .arg(QString::fromStdString(recovery.keptFolders[0].string()));
            Toast::show(kept > 1 ? QStringLiteral("%1 restores were interrupted").arg(kept)
                                 : QStringLiteral("A restore was interrupted"),
                        detail, QStringLiteral("arrow.uturn.backward.circle"), true);
        });
}

} // namespace quorvex
