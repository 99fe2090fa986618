#include "app/SimulatorSubmenuBuilder.h"

#include "app/LanguageChoices.h"
#include "app/ScreenshotRowsBuilder.h"
#include "app/StatusMenuDialogs.h"
#include "panel/sections/DeviceHubService.h"
#include "platform/gui/Dialogs.h"
#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"
#include "ui/Palette.h"
#include "windows/ActionWindowsService.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QWidget>
#include <QtConcurrent>

#include <set>

namespace quorvex {
namespace {

DeviceTools::StatusBar cleanStatusBar() {
    DeviceTools::StatusBar statusBar;
    statusBar.time = QStringLiteral("9:41");
    statusBar.network = DeviceTools::StatusBar::Network::wifi;
    statusBar.wifiBars = 3;
    statusBar.cellularBars = 4;
    statusBar.operatorName = QString();
    statusBar.batteryLevel = 100;
    statusBar.battery = DeviceTools::StatusBar::Battery::charged;
    return statusBar;
}

QComboBox* popupOf(const LanguageChoices::Items& items, const QString& objectName, QWidget* parent) {
    auto* popup = new QComboBox(parent);
    popup->setObjectName(objectName);
    popup->setFixedWidth(220);
    for (const LanguageChoices::Item& item : items.items)
        popup->addItem(item.title, item.code);
    popup->setCurrentIndex(items.selected);
    return popup;
}

// Continuations of a flow run in the context of the menu that started it, so they end with it.
QObject* continuationContext(const StatusMenuFlows::Handle& flows) {
    return flows.owner() ? flows.owner() : QCoreApplication::instance();
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

} // namespace

void SimulatorSubmenuBuilder::fill(MenuRows& rows, const SimulatorDevice& device,
                                   const std::vector<SimulatorDevice>& devices) const {
    ActionWindowsService* windows = &m_context.actionWindows;
    const ScreenshotRowsBuilder screenshots(m_context.deviceHub);
    const StatusMenuFlows::Handle flows = m_context.flows;
    const SimulatorSubmenuBuilder builder = *this;
    // Every handler holds a copy of the device and does nothing once the menu's flows are gone.
    const auto withFlows = [flows](std::function<void(StatusMenuFlows&)> command) -> ActionItem::Handler {
        return [flows, command] {
            if (StatusMenuFlows* target = flows.get())
                command(*target);
        };
    };
    const auto withBuilder =
        [flows, builder](std::function<void(const SimulatorSubmenuBuilder&)> command) -> ActionItem::Handler {
        return [flows, builder, command] {
            if (flows.get())
                command(builder);
        };
    };
    auto run = [&withFlows, device](std::function<bool(const QString&)> command, QString title) {
        return withFlows([device, command, title](StatusMenuFlows& target) {
            target.runOnSimulators(
                {device}, [command](const SimulatorDevice& simulator) { return command(simulator.udid); },
                title);
        });
    };

    rows.push_back(MenuRow::header(QStringLiteral("Tools")));
    rows.push_back(MenuRow::action(QStringLiteral("Take Screenshot"), QStringLiteral("camera.fill"),
                                   Palette::blue(), withFlows([windows, device](StatusMenuFlows&) {
                                       windows->screenshot(device.udid, false);
                                   }))
                       .withSubtitle(screenshots.summary()));
    rows.push_back(screenshots.copyScreenshotItem(
        withFlows([windows, device](StatusMenuFlows&) { windows->screenshot(device.udid, true); })));
    MenuRow options = MenuRow::tool(QStringLiteral("Screenshot Options"),
                                    QStringLiteral("slider.horizontal.3"), Palette::blue());
    screenshots.fillOptions(options.children);
    rows.push_back(std::move(options));
    rows.push_back(MenuRow::action(
        QStringLiteral("Language & Region…"), QStringLiteral("globe"), Palette::teal(),
        withBuilder([device](const SimulatorSubmenuBuilder& b) { b.chooseLanguageAndRegion(device); })));
    rows.push_back(MenuRow::separator());

    rows.push_back(MenuRow::header(QStringLiteral("Status Bar")));
    rows.push_back(
        MenuRow::action(QStringLiteral("Customize Status Bar…"), QStringLiteral("slider.horizontal.3"),
                        Palette::gray(),
                        [windows, devices, device] { windows->showStatusBarWindow(devices, device); })
            .withSubtitle(QStringLiteral("Time, network, signal, battery")));
    rows.push_back(MenuRow::action(QStringLiteral("Clean Status Bar"), QStringLiteral("sparkles"),
                                   Palette::gray(),
                                   run(
                                       [](const QString& target) {
                                           return DeviceTools::overrideStatusBar(cleanStatusBar(), target);
                                       },
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
    MenuRow slow = MenuRow::action(
        QStringLiteral("Slow Animations"), QStringLiteral("tortoise.fill"), Palette::green(),
        withBuilder([device](const SimulatorSubmenuBuilder& b) { b.toggleSlowAnimations(device); }));
    slow.checked = DeviceTools::slowAnimations(device.udid, m_context.slowAnimationsReadTimeout);
    rows.push_back(std::move(slow));
    rows.push_back(MenuRow::action(
        QStringLiteral("Simulate Memory Warning"), QStringLiteral("memorychip.fill"), Palette::red(),
        run(&DeviceTools::simulateMemoryWarning, QStringLiteral("Memory warning sent"))));
    rows.push_back(MenuRow::separator());

    rows.push_back(MenuRow::header(QStringLiteral("Media")));
    rows.push_back(MenuRow::action(QStringLiteral("Add Sample Media"), QStringLiteral("photo.stack.fill"),
                                   Palette::pink(),
                                   withFlows([device](StatusMenuFlows& f) { f.addSampleMedia(device); }))
                       .withSubtitle(QStringLiteral("5 photos, a video, and 7 contacts")));
    rows.push_back(MenuRow::action(QStringLiteral("Add Photos, Videos, or Contacts…"), QStringLiteral("plus"),
                                   Palette::pink(),
                                   withFlows([device](StatusMenuFlows& f) { f.chooseMediaToAdd(device); })));
    rows.push_back(MenuRow::separator());

    rows.push_back(MenuRow::header(QStringLiteral("Keychain")));
    rows.push_back(
        MenuRow::action(QStringLiteral("Add Root Certificate…"), QStringLiteral("checkmark.seal.fill"),
                        Palette::blue(),
                        withFlows([device](StatusMenuFlows& f) { chooseRootCertificate(f, device); }))
            .withSubtitle(QStringLiteral("Trust Proxyman, Charles, or mitmproxy")));
    rows.push_back(
        MenuRow::action(QStringLiteral("Reset Entire Keychain…"), QStringLiteral("key.slash"), Palette::red(),
                        withFlows([device](StatusMenuFlows& f) { confirmKeychainReset(f, device); }))
            .withSubtitle(QStringLiteral("Every app’s items")));
}

QFuture<void> SimulatorSubmenuBuilder::toggleSlowAnimations(const SimulatorDevice& device) const {
    const QString udid = device.udid;
    const QString name = device.name;
    return QtConcurrent::run([udid]() -> std::optional<bool> {
               const bool on = !DeviceTools::slowAnimations(udid);
               if (!DeviceTools::setSlowAnimations(on, udid))
                   return std::nullopt;
               return on;
           })
        .then(continuationContext(m_context.flows), [name](std::optional<bool> on) {
            if (on)
                Toast::show(*on ? QStringLiteral("Slow animations on")
                                : QStringLiteral("Slow animations off"),
                            std::nullopt, QStringLiteral("tortoise"), false);
            else
                Toast::show(QStringLiteral("Didn’t work on ") + name, std::nullopt,
                            QStringLiteral("tortoise"), true);
        });
}

QFuture<void> SimulatorSubmenuBuilder::chooseLanguageAndRegion(const SimulatorDevice& device) const {
    const QString udid = device.udid;
    const StatusMenuFlows::Handle self = m_context.flows;
    SimulatorApps* simulatorApps = &m_context.simulatorApps;
    return QtConcurrent::run([udid] { return DeviceTools::languageAndRegion(udid); })
        .then(
            continuationContext(self),
            [self, simulatorApps, device](const DeviceTools::LanguageAndRegion& current) -> QFuture<void> {
                if (!self.get())
                    return QtFuture::makeReadyFuture();
                QWidget accessory;
                accessory.setObjectName(QStringLiteral("languageAccessory"));
                QComboBox* language = popupOf(LanguageChoices::languageItems(current.language),
                                              QStringLiteral("languagePopup"), &accessory);
                QComboBox* region =
                    popupOf(LanguageChoices::regionItems(DeviceTools::regionCodes(), current.region),
                            QStringLiteral("regionPopup"), &accessory);
                auto* grid = new QGridLayout(&accessory);
                grid->setContentsMargins(0, 0, 0, 0);
                grid->setVerticalSpacing(8);
                auto* languageLabel = new QLabel(QStringLiteral("Language:"), &accessory);
                auto* regionLabel = new QLabel(QStringLiteral("Region:"), &accessory);
                languageLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                regionLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                grid->addWidget(languageLabel, 0, 0);
                grid->addWidget(language, 0, 1);
                grid->addWidget(regionLabel, 1, 0);
                grid->addWidget(region, 1, 1);
                accessory.resize(accessory.sizeHint());

                Alert alert;
                alert.message = QStringLiteral("Language & Region on ") + device.name;
                alert.informativeText =
                    QStringLiteral("Applies to the whole simulator. Running apps are relaunched; "
                                   "the Home Screen updates after the simulator restarts.");
                alert.buttons = {{QStringLiteral("Apply & Relaunch")}, {QStringLiteral("Cancel")}};
                alert.accessory = &accessory;
                if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton || !self.get())
                    return QtFuture::makeReadyFuture();
                if (language->currentIndex() < 0 || region->currentIndex() < 0)
                    return QtFuture::makeReadyFuture();
                const QVariant languageData = language->currentData();
                const QVariant regionData = region->currentData();
                if (languageData.typeId() != QMetaType::QString || regionData.typeId() != QMetaType::QString)
                    return QtFuture::makeReadyFuture();
                const QString languageCode = languageData.toString();
                const QString regionCode = regionData.toString();
                const QString title =
                    (language->currentText().isEmpty() ? languageCode : language->currentText()) +
                    QStringLiteral(", ") +
                    (region->currentText().isEmpty() ? regionCode : region->currentText());

                std::set<QString> userApps;
                for (const SimulatorApp& app : simulatorApps->apps())
                    if (app.devices.contains(device.udid))
                        userApps.insert(app.id);

                const QString target = device.udid;
                const QString name = device.name;
                return QtConcurrent::run([languageCode, regionCode, udid = target, userApps] {
                           if (!DeviceTools::setLanguageAndRegion(languageCode, regionCode, udid))
                               return false;
                           const auto listing = runTool(
                               ToolPaths::xcrun(),
                               std::vector<std::string>{"simctl", "spawn", utf8(udid), "launchctl", "list"});
                           // Only apps that both run and are the user's: a system app is left alone.
                           for (const QString& id : parseLaunchctlAppIDs(listing.value_or(QByteArray()))) {
                               if (!userApps.contains(id))
                                   continue;
                               runTool(ToolPaths::xcrun(),
                                       std::vector<std::string>{"simctl", "terminate", utf8(udid), utf8(id)});
                               runTool(ToolPaths::xcrun(),
                                       std::vector<std::string>{"simctl", "launch", utf8(udid), utf8(id)});
                           }
                           return true;
                       })
                    .then(QCoreApplication::instance(), [title, name](bool changed) {
                        if (changed)
                            Toast::show(title, name, QStringLiteral("globe"), false);
                        else
                            Toast::show(QStringLiteral("Couldn’t change the language"), std::nullopt,
                                        QStringLiteral("globe"), true);
                    });
            })
        .unwrap();
}

} // namespace quorvex
