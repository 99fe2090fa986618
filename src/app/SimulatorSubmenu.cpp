#include "app/StatusMenuController.h"

#include "actions/SampleMedia.h"
#include "app/LanguageChoices.h"
#include "app/StatusMenuDialogs.h"
#include "platform/Dialogs.h"
#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"
#include "ui/Palette.h"

#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QWidget>
#include <QtConcurrent>

#include <chrono>
#include <set>

// The per-simulator submenu of the status menu and the commands it runs on simulators.
namespace quorvex {
namespace {

// The submenu waits for the slow-animation read before it shows; a hung simctl must not hold
// the menu longer than this.
constexpr std::chrono::milliseconds kSlowAnimationsReadTimeout{2'000};

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

std::string utf8(const QString& text) {
    return text.toStdString();
}

} // namespace

void StatusMenuController::fillSimulatorSubmenu(MenuRows& rows, const SimulatorDevice& device,
                                                const std::vector<SimulatorDevice>& devices) {
    ActionWindowsService* windows = &m_models.services.actionWindows;
    QPointer<StatusMenuController> self(this);
    // Every handler holds a copy of the device and does nothing once the controller is gone.
    const auto withSelf = [self](std::function<void(StatusMenuController&)> command) -> ActionItem::Handler {
        return [self, command] {
            if (self)
                command(*self);
        };
    };
    auto run = [&withSelf, device](std::function<bool(const QString&)> command, QString title) {
        return withSelf([device, command, title](StatusMenuController& controller) {
            controller.runOnSimulators(
                {device}, [command](const SimulatorDevice& target) { return command(target.udid); }, title);
        });
    };

    rows.push_back(MenuRow::header(QStringLiteral("Tools")));
    rows.push_back(
        MenuRow::action(QStringLiteral("Take Screenshot"), QStringLiteral("camera.fill"), Palette::blue(),
                        withSelf([device](StatusMenuController& c) { c.takeScreenshot(device, false); }))
            .withSubtitle(screenshotSummary()));
    rows.push_back(
        copyScreenshotItem(withSelf([device](StatusMenuController& c) { c.takeScreenshot(device, true); })));
    MenuRow options = MenuRow::tool(QStringLiteral("Screenshot Options"),
                                    QStringLiteral("slider.horizontal.3"), Palette::blue());
    fillScreenshotOptions(options.children);
    rows.push_back(std::move(options));
    rows.push_back(
        MenuRow::action(QStringLiteral("Language & Region…"), QStringLiteral("globe"), Palette::teal(),
                        withSelf([device](StatusMenuController& c) { c.chooseLanguageAndRegion(device); })));
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
    MenuRow slow =
        MenuRow::action(QStringLiteral("Slow Animations"), QStringLiteral("tortoise.fill"), Palette::green(),
                        withSelf([device](StatusMenuController& c) { c.toggleSlowAnimations(device); }));
    slow.checked = DeviceTools::slowAnimations(device.udid, kSlowAnimationsReadTimeout);
    rows.push_back(std::move(slow));
    rows.push_back(MenuRow::action(
        QStringLiteral("Simulate Memory Warning"), QStringLiteral("memorychip.fill"), Palette::red(),
        run(&DeviceTools::simulateMemoryWarning, QStringLiteral("Memory warning sent"))));
    rows.push_back(MenuRow::separator());

    rows.push_back(MenuRow::header(QStringLiteral("Media")));
    rows.push_back(MenuRow::action(QStringLiteral("Add Sample Media"), QStringLiteral("photo.stack.fill"),
                                   Palette::pink(),
                                   withSelf([device](StatusMenuController& c) { c.addSampleMedia(device); }))
                       .withSubtitle(QStringLiteral("5 photos, a video, and 7 contacts")));
    rows.push_back(MenuRow::action(
        QStringLiteral("Add Photos, Videos, or Contacts…"), QStringLiteral("plus"), Palette::pink(),
        withSelf([device](StatusMenuController& c) { c.chooseMediaToAdd(device); })));
    rows.push_back(MenuRow::separator());

    rows.push_back(MenuRow::header(QStringLiteral("Keychain")));
    rows.push_back(
        MenuRow::action(QStringLiteral("Add Root Certificate…"), QStringLiteral("checkmark.seal.fill"),
                        Palette::blue(),
                        withSelf([device](StatusMenuController& c) { chooseRootCertificate(c, device); }))
            .withSubtitle(QStringLiteral("Trust Proxyman, Charles, or mitmproxy")));
    rows.push_back(
        MenuRow::action(QStringLiteral("Reset Entire Keychain…"), QStringLiteral("key.slash"), Palette::red(),
                        withSelf([device](StatusMenuController& c) { confirmKeychainReset(c, device); }))
            .withSubtitle(QStringLiteral("Every app’s items")));
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

QFuture<void> StatusMenuController::chooseMediaToAdd(const SimulatorDevice& device) {
    OpenPanel panel;
    panel.message = QStringLiteral("Choose photos, videos, or vCard contacts to add to ") + device.name +
                    QStringLiteral(".");
    panel.multipleSelection = true;
    panel.nameFilters = {"*.jpg",  "*.jpeg", "*.png", "*.heic", "*.heif", "*.gif", "*.tif", "*.tiff", "*.bmp",
                         "*.webp", "*.mov",  "*.mp4", "*.m4v",  "*.avi",  "*.mkv", "*.vcf", "*.vcard"};
    const std::vector<std::filesystem::path> files = Dialogs::shared().runOpenPanel(panel);
    if (files.empty())
        return QtFuture::makeReadyFuture();
    const auto n = qsizetype(files.size());
    return runOnSimulators(
        {device},
        [files](const SimulatorDevice& target) { return DeviceTools::addMedia(files, target.udid); },
        QStringLiteral("Added %1 item%2").arg(n).arg(n == 1 ? QString() : QStringLiteral("s")));
}

QFuture<void> StatusMenuController::toggleSlowAnimations(const SimulatorDevice& device) {
    const QString udid = device.udid;
    const QString name = device.name;
    return QtConcurrent::run([udid]() -> std::optional<bool> {
               const bool on = !DeviceTools::slowAnimations(udid);
               if (!DeviceTools::setSlowAnimations(on, udid))
                   return std::nullopt;
               return on;
           })
        .then(this, [name](std::optional<bool> on) {
            if (on)
                Toast::show(*on ? QStringLiteral("Slow animations on")
                                : QStringLiteral("Slow animations off"),
                            std::nullopt, QStringLiteral("tortoise"), false);
            else
                Toast::show(QStringLiteral("Didn’t work on ") + name, std::nullopt,
                            QStringLiteral("tortoise"), true);
        });
}

QFuture<void> StatusMenuController::chooseLanguageAndRegion(const SimulatorDevice& device) {
    const QString udid = device.udid;
    QPointer<StatusMenuController> self(this);
    return QtConcurrent::run([udid] { return DeviceTools::languageAndRegion(udid); })
        .then(
            this,
            [self, device](const DeviceTools::LanguageAndRegion& current) -> QFuture<void> {
                if (!self)
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
                if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton || !self)
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
                for (const SimulatorApp& app : self->m_models.simulatorApps.apps())
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
