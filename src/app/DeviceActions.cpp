#include "app/DeviceActions.h"

#include "devices/core/DeviceApp.h"
#include "simulator/Toast.h"

#include <QCoreApplication>
#include <QtConcurrent>

namespace quorvex {

QFuture<void> runDeviceAction(const QString& title, const PhysicalDevice& device,
                              std::function<bool()> action) {
    const QString name = device.name;
    return QtConcurrent::run([action = std::move(action)] { return action(); })
        .then(QCoreApplication::instance(), [title, name](bool succeeded) {
            if (succeeded)
                Toast::show(title, std::nullopt, QStringLiteral("checkmark.circle"), false);
            else
                Toast::show(QStringLiteral("Didn’t work on ") + name,
                            QStringLiteral("Is it unlocked and connected?"),
                            QStringLiteral("exclamationmark.triangle"), true);
        });
}

QString statusBarPresetTitle(PhysicalDeviceTools::StatusBarPreset preset) {
    using Preset = PhysicalDeviceTools::StatusBarPreset;
    switch (preset) {
    case Preset::screenshot:
        return QStringLiteral("Clean (9:41, Full Battery)");
    case Preset::lowBattery:
        return QStringLiteral("Low Battery");
    case Preset::noService:
        return QStringLiteral("No Service");
    case Preset::charging:
        return QStringLiteral("Charging");
    }
    return {};
}

void fillDeviceStatusBarSubmenu(MenuRows& rows, const PhysicalDevice& device) {
    for (const auto preset : PhysicalDeviceTools::kAllPresets) {
        const QString title = statusBarPresetTitle(preset);
        rows.push_back(MenuRow::action(
            title, QStringLiteral("menubar.rectangle"), std::nullopt, [title, preset, device] {
                const QString id = device.id;
                // Remembered: the user chose this look, so a screenshot must leave it in place.
                runDeviceAction(title, device,
                                [preset, id] { return PhysicalDeviceTools::setStatusBar(preset, id, true); });
            }));
    }
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::action(
        QStringLiteral("Reset Status Bar"), QStringLiteral("arrow.counterclockwise"), std::nullopt, [device] {
            const QString id = device.id;
            runDeviceAction(QStringLiteral("Status bar reset"), device,
                            [id] { return PhysicalDeviceTools::clearStatusBar(id); });
        }));
}

QFuture<void> installProfile(const std::filesystem::path& file, const PhysicalDevice& device) {
    const QString id = device.id;
    const QString name = device.name;
    return QtConcurrent::run([file, id] { return DeviceApp::installProfile(file, id); })
        .then(QCoreApplication::instance(), [name](bool sent) {
            if (sent)
                Toast::show(
                    QStringLiteral("Profile sent to ") + name,
                    QStringLiteral("Confirm it in Settings › General › VPN & Device Management if asked."),
                    QStringLiteral("checkmark.seal"), false);
            else
                Toast::show(QStringLiteral("Couldn’t install the profile"), std::nullopt,
                            QStringLiteral("checkmark.seal"), true);
        });
}

void saveDeviceSnapshot(DeviceFlowsService& flows, const DeviceApp& app, const PhysicalDevice& device) {
    const std::optional<QString> name = flows.promptSnapshotName(app, device);
    if (!name)
        return;
    Toast::show(QStringLiteral("Saving snapshot…"), std::nullopt, QStringLiteral("clock.arrow.circlepath"),
                false);
    flows.saveSnapshotFlow(device, app, *name);
}

void downloadDeviceAppData(DeviceFlowsService& flows, const DeviceApp& app, const PhysicalDevice& device) {
    Toast::show(QStringLiteral("Downloading ") + app.name + QStringLiteral("’s data…"), std::nullopt,
                QStringLiteral("arrow.down.circle"), false);
    flows.downloadAppDataFlow(device, app);
}

void fillDeviceSnapshotSubmenu(DeviceFlowsService& flows, MenuRows& rows, const DeviceSnapshot& snapshot,
                               const DeviceApp& app, const PhysicalDevice& device) {
    DeviceFlowsService* target = &flows;
    rows.push_back(MenuRow::action(
        QStringLiteral("Restore…"), QStringLiteral("arrow.uturn.backward.circle"), std::nullopt,
        [target, snapshot, app, device] { restoreDeviceSnapshot(*target, snapshot, app, device); }));
    rows.push_back(MenuRow::action(
        QStringLiteral("Delete Snapshot…"), QStringLiteral("trash"), std::nullopt,
        [target, snapshot, app, device] { target->deleteSnapshotFlow(snapshot, app, device); }));
}

void restoreDeviceSnapshot(DeviceFlowsService& flows, const DeviceSnapshot& snapshot, const DeviceApp& app,
                           const PhysicalDevice& device) {
    if (!flows.confirmRestoreSnapshot(snapshot, app, device))
        return;
    Toast::show(QStringLiteral("Restoring…"), std::nullopt, QStringLiteral("arrow.uturn.backward.circle"),
                false);
    flows.restoreSnapshotFlow(snapshot, app, device);
}

} // namespace quorvex
