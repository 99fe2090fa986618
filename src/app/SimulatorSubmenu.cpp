#include "app/StatusMenuController.h"

#include "actions/PermissionService.h"
#include "actions/Permissions.h"
#include "actions/SampleMedia.h"
#include "actions/SimulatorActions.h"
#include "app/CopyRowView.h"
#include "app/EntitlementRowView.h"
#include "app/HostField.h"
#include "app/MenuIcons.h"
#include "app/MenuRenderer.h"
#include "app/PermissionRowView.h"
#include "app/Updates.h"
#include "network/NetworkProfile.h"
#include "platform/Dialogs.h"
#include "simulator/AppDataLocation.h"
#include "simulator/AppDetails.h"
#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "storage/Cleanup.h"
#include "ui/Palette.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QtConcurrent>

#include <algorithm>

// The per-simulator submenu of the status menu and the commands it runs on simulators.
namespace quorvex {
void StatusMenuController::fillSimulatorSubmenu(MenuRows& rows, const SimulatorDevice& device,
                                                const std::vector<SimulatorDevice>& devices) {
    ActionWindowsService* windows = &m_models.services.actionWindows;
    const QString udid = device.udid;
    rows.push_back(MenuRow::header(QStringLiteral("Tools")));
    rows.push_back(MenuRow::action(QStringLiteral("Take Screenshot"), QStringLiteral("camera.fill"),
                                   Palette::blue(), [windows, udid] { windows->screenshot(udid, false); }));
    rows.push_back(MenuRow::action(QStringLiteral("Copy Screenshot"), QStringLiteral("doc.on.clipboard.fill"),
                                   Palette::blue(), [windows, udid] { windows->screenshot(udid, true); }));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Status Bar")));
    rows.push_back(
        MenuRow::action(QStringLiteral("Customize Status Bar…"), QStringLiteral("slider.horizontal.3"),
                        Palette::gray(),
                        [windows, devices, device] { windows->showStatusBarWindow(devices, device); })
            .withSubtitle(QStringLiteral("Time, network, signal, battery")));
    QPointer<StatusMenuController> self(this);
    auto run = [self, device](std::function<bool(const QString&)> command, QString title) {
        return [self, device, command, title] {
            if (self)
                self->runOnSimulators(
                    {device}, [command](const SimulatorDevice& target) { return command(target.udid); },
                    title);
        };
    };
    rows.push_back(
        MenuRow::action(QStringLiteral("Clean Status Bar"), QStringLiteral("sparkles"), Palette::gray(),
                        run([](const QString& target) { return DeviceTools::overrideStatusBar({}, target); },
                            QStringLiteral("Status bar cleaned")))
            .withSubtitle(QStringLiteral("9:41, full battery and signal")));
    rows.push_back(MenuRow::action(QStringLiteral("Reset Status Bar"),
                                   QStringLiteral("arrow.counterclockwise"), Palette::gray(),
                                   run(&DeviceTools::clearStatusBar, QStringLiteral("Status bar reset"))));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Simulate")));
    rows.push_back(MenuRow::action(QStringLiteral("Shake Gesture"),
                                   QStringLiteral("iphone.radiowaves.left.and.right"), Palette::orange(),
                                   run(&DeviceTools::shake, QStringLiteral("Shake sent")))
                       .withSubtitle(QStringLiteral("Like shaking the device")));
    rows.push_back(MenuRow::action(
        QStringLiteral("Simulate Memory Warning"), QStringLiteral("memorychip.fill"), Palette::red(),
        run(&DeviceTools::simulateMemoryWarning, QStringLiteral("Memory warning sent"))));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Media")));
    rows.push_back(MenuRow::action(QStringLiteral("Add Sample Media"), QStringLiteral("photo.stack.fill"),
                                   Palette::pink(),
                                   [self, device] {
                                       if (self)
                                           self->addSampleMedia(device);
                                   })
                       .withSubtitle(QStringLiteral("5 photos, a video, and 7 contacts")));
}

QFuture<void> StatusMenuController::runOnSimulators(const std::vector<SimulatorDevice>& devices,
                                                    std::function<bool(const SimulatorDevice&)> action,
                                                    const QString& title) {
    return QtConcurrent::run([devices, action] {
               QStringList failed;
               for (const SimulatorDevice& device : devices)
                   if (!action(device))
                       failed << device.name;
               return failed;
           })
        .then(this, [devices, title](const QStringList& failed) {
            if (!failed.isEmpty()) {
                Toast::show(QStringLiteral("Didn’t work on ") + failed.join(QStringLiteral(", ")),
                            std::nullopt, QStringLiteral("exclamationmark.triangle"), true);
                return;
            }
            Toast::show(title,
                        devices.size() == 1 ? devices.front().name
                                            : QStringLiteral("%1 simulators").arg(devices.size()),
                        QStringLiteral("checkmark"), false);
        });
}

QFuture<void> StatusMenuController::addSampleMedia(const SimulatorDevice& device) {
    const QString udid = device.udid;
    const QString name = device.name;
    return QtConcurrent::run([udid] {
               try {
                   return DeviceTools::addMedia(SampleMedia::ensureFiles(), udid);
               } catch (const std::exception&) {
                   return false;
               }
           })
        .then(this, [name](bool added) {
            if (added)
                Toast::show(QStringLiteral("Added sample media"),
                            QStringLiteral("Photos, a video, and contacts on ") + name,
                            QStringLiteral("photo.stack"), false);
            else
                Toast::show(QStringLiteral("Couldn’t add sample media"), std::nullopt,
                            QStringLiteral("exclamationmark.triangle"), true);
        });
}

} // namespace quorvex
