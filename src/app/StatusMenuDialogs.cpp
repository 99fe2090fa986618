#include "app/StatusMenuDialogs.h"

#include "app/DeviceActions.h"
#include "app/HostField.h"
#include "app/LaunchWithArguments.h"
#include "app/StatusMenuFlows.h"
#include "devices/core/PhysicalDeviceTools.h"
#include "panel/sections/RecentURLs.h"
#include "simulator/DeviceTools.h"
#include "simulator/Toast.h"
#include "storage/cleaner/BusyToast.h"
#include "storage/files/Cleanup.h"
#include "tools/Environment.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QSettings>

namespace quorvex {
namespace {

QFuture<void> nothingStarted() {
    return QtFuture::makeReadyFuture();
}

SimulatorDevice deviceOf(const SimulatorInstall& install) {
    return SimulatorDevice{install.udid, install.deviceName, std::nullopt};
}

} // namespace

QFuture<void> promptOpenURL(const PhysicalDevice& device) {
    const QStringList recent = sharedDefaults().value(RecentURLs::kSettingsKey).toStringList();

    QComboBox box;
    box.setObjectName(QStringLiteral("openURLField"));
    box.setEditable(true);
    box.setFixedSize(320, 26);
    box.addItems(recent);
    box.lineEdit()->setPlaceholderText(QStringLiteral("myapp://settings or https://…"));
    box.setEditText(recent.isEmpty() ? QString() : recent.front());

    Alert alert;
    alert.message = QStringLiteral("Open a URL on ") + device.name;
    alert.informativeText = QStringLiteral(
        "Custom schemes open their app; universal links open the app with the associated domain.");
    alert.buttons = {{QStringLiteral("Open")}, {QStringLiteral("Cancel")}};
    alert.accessory = &box;
    alert.initialFocus = &box;
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return nothingStarted();

    const std::optional<QString> openable = RecentURLs::openableText(box.currentText());
    if (!openable) {
        Toast::show(QStringLiteral("That isn’t a URL"),
                    QStringLiteral("Include the scheme, like myapp:// or https://"), QStringLiteral("link"),
                    true);
        return nothingStarted();
    }
    const QString text = *openable;
    sharedDefaults().setValue(RecentURLs::kSettingsKey, RecentURLs::afterOpening(recent, text));

    const QString id = device.id;
    return runDeviceAction(QStringLiteral("Opened on ") + device.name, device,
                           [text, id] { return PhysicalDeviceTools::openURL(text, id); });
}

QFuture<void> startLaunchWithArguments(const PhysicalDevice& device) {
    Toast::show(QStringLiteral("Loading apps on ") + device.name + QStringLiteral("…"), std::nullopt,
                QStringLiteral("play.fill"), false);
    return LaunchWithArguments::launchWithArguments(device);
}

QFuture<void> chooseProfile(const PhysicalDevice& device) {
    OpenPanel panel;
    panel.message = QStringLiteral("Choose a configuration profile to install on ") + device.name;
    panel.nameFilters = {QStringLiteral("*.mobileconfig"), QStringLiteral("*.mobileprovision")};
    const auto chosen = Dialogs::shared().runOpenPanel(panel);
    if (chosen.empty())
        return nothingStarted();
    return installProfile(chosen.front(), device);
}

BlockHostAlert makeBlockHostAlert() {
    BlockHostAlert result{std::make_unique<HostField>(), {}};
    HostField* field = result.field.get();
    Alert& alert = result.alert;
    alert.message = QStringLiteral("Block a host");
    alert.informativeText =
        QStringLiteral("Simulator apps can’t connect to this host or its subdomains until you "
                       "stop blocking it. This computer isn’t affected.");
    alert.buttons = {{QStringLiteral("Block")}, {QStringLiteral("Cancel")}};
    alert.accessory = field;
    alert.initialFocus = field->field();
    alert.acceptsFirstButton = [field] { return field->validate(); };
    return result;
}

QFuture<void> chooseRootCertificate(StatusMenuFlows& flows, const SimulatorDevice& device) {
    OpenPanel panel;
    panel.message =
        QStringLiteral("Choose a root certificate (.pem, .cer, .crt, .der) to trust on ") + device.name + ".";
    // Any file may be picked: certificates come with many extensions, and simctl judges the content.
    const auto chosen = Dialogs::shared().runOpenPanel(panel);
    if (chosen.empty())
        return nothingStarted();
    const std::filesystem::path certificate = chosen.front();
    return flows.runOnSimulators(
        {device},
        [certificate](const SimulatorDevice& target) {
            return DeviceTools::addRootCertificate(certificate, target.udid);
        },
        QStringLiteral("Trusted ") +
            QFile::decodeName(QByteArray::fromStdString(certificate.filename().string())));
}

QFuture<void> confirmKeychainReset(StatusMenuFlows& flows, const SimulatorDevice& device) {
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.message = QStringLiteral("Reset the keychain of ") + device.name + QStringLiteral("?");
    alert.informativeText = QStringLiteral(
        "Every app’s passwords, tokens, keys, and certificates on this simulator are deleted for good, "
        "including "
        "added root certificates. To delete only one app’s items, use Keychain in that app’s menu.");
    alert.buttons = {{QStringLiteral("Reset Keychain"), true}, {QStringLiteral("Cancel")}};
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return nothingStarted();
    return flows.runOnSimulators(
        {device}, [](const SimulatorDevice& target) { return DeviceTools::resetKeychain(target.udid); },
        QStringLiteral("Keychain reset"));
}

QFuture<void> confirmUninstall(StatusMenuFlows& flows, const SimulatorApp& app) {
    QStringList names;
    for (const SimulatorInstall& install : app.installs)
        names << install.deviceName;
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.message = QStringLiteral("Uninstall ") + app.name + QStringLiteral("?");
    alert.informativeText = app.name + QStringLiteral(" and its data are removed from ") +
                            names.join(QStringLiteral(", ")) +
                            QStringLiteral(". Snapshots you saved are kept.");
    alert.buttons = {{QStringLiteral("Uninstall"), true}, {QStringLiteral("Cancel")}};
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return nothingStarted();
    // Test and set with nothing in between; a refusal shows "Please wait" and leaves the flag.
    if (!Cleanup::shared().beginLongTask()) {
        showBusyToast();
        return nothingStarted();
    }
    std::vector<SimulatorDevice> devices;
    for (const SimulatorInstall& install : app.installs)
        devices.push_back(deviceOf(install));
    return flows.uninstall(app, devices);
}

QString deleteKeychainItemsText(const QString& appName, std::int64_t count) {
    return QStringLiteral(
               "%1 item%2 (passwords, tokens, keys) in %3’s own access group are deleted for good, for "
               "example to test a fresh login. The app is stopped first. Other apps and shared keychain "
               "groups aren’t affected.")
        .arg(count)
        .arg(count == 1 ? QString() : QStringLiteral("s"))
        .arg(appName);
}

QFuture<void> confirmDeleteKeychainItems(StatusMenuFlows& flows, const SimulatorApp& app,
                                         const SimulatorInstall& install, std::int64_t count) {
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.message = QStringLiteral("Delete ") + app.name + QStringLiteral("’s keychain items on ") +
                    install.deviceName + QStringLiteral("?");
    alert.informativeText = deleteKeychainItemsText(app.name, count);
    alert.buttons = {{QStringLiteral("Delete"), true}, {QStringLiteral("Cancel")}};
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return nothingStarted();
    const QString bundleID = app.id;
    return flows.runOnSimulators(
        {deviceOf(install)},
        [bundleID](const SimulatorDevice& target) {
            return DeviceTools::resetAppKeychain(bundleID, target.udid);
        },
        QStringLiteral("Deleted ") + app.name + QStringLiteral("’s keychain items"));
}

} // namespace quorvex
