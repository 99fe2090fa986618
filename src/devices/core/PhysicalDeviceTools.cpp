#include "devices/core/PhysicalDeviceTools.h"

#include "devices/core/Devicectl.h"
#include "tools/FileGuards.h"

#include <QUrl>

namespace quorvex {

QString PhysicalDeviceTools::rawValue(StatusBarPreset preset) {
    switch (preset) {
    case StatusBarPreset::screenshot:
        return QStringLiteral("screenshot");
    case StatusBarPreset::lowBattery:
        return QStringLiteral("low-battery");
    case StatusBarPreset::noService:
        return QStringLiteral("no-service");
    case StatusBarPreset::charging:
        return QStringLiteral("charging");
    }
    return {};
}

std::set<QString>& PhysicalDeviceTools::overriddenDevices() {
    static auto* devices = new std::set<QString>;
    return *devices;
}

std::mutex& PhysicalDeviceTools::overrideLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

bool PhysicalDeviceTools::isOverridden(const QString& deviceID) {
    const std::lock_guard guard(overrideLock());
    return overriddenDevices().contains(deviceID);
}

bool PhysicalDeviceTools::setStatusBar(StatusBarPreset preset, const QString& deviceID, bool remember) {
    const bool succeeded = devicectl::run({"device", "simulate", "statusBar", "preset", "--device",
                                           deviceID.toStdString(), rawValue(preset).toStdString(), "-q"})
                               .has_value();
    if (succeeded && remember) {
        const std::lock_guard guard(overrideLock());
        overriddenDevices().insert(deviceID);
    }
    return succeeded;
}

bool PhysicalDeviceTools::clearStatusBar(const QString& deviceID) {
    const bool succeeded =
        devicectl::run({"device", "simulate", "statusBar", "clear", "--device", deviceID.toStdString(), "-q"})
            .has_value();
    // A failed clear leaves the override on the device, so it stays remembered.
    if (succeeded) {
        const std::lock_guard guard(overrideLock());
        overriddenDevices().erase(deviceID);
    }
    return succeeded;
}

bool PhysicalDeviceTools::openURL(const QString& url, const QString& deviceID) {
    // Text that is already a well-formed URL goes to the device unchanged: Qt's normal form would
    // lower-case the host, and an app's deep-link routes may depend on its case. Anything else
    // gets Qt's encoded form (spaces and other stray characters escaped).
    std::string absolute;
    if (const QUrl strict(url, QUrl::StrictMode); strict.isValid() && !strict.scheme().isEmpty()) {
        absolute = url.toStdString();
    } else if (const QUrl tolerant(url, QUrl::TolerantMode);
               tolerant.isValid() && !tolerant.scheme().isEmpty()) {
        absolute = tolerant.toEncoded(QUrl::FullyEncoded).toStdString();
    } else {
        return false;
    }
    return devicectl::run(
               {"device", "process", "openURL", "--device", deviceID.toStdString(), absolute, "-q"})
        .has_value();
}

bool PhysicalDeviceTools::captureScreenshot(const QString& deviceID,
                                            const std::filesystem::path& destination) {
    const auto output = devicectl::run({"device", "capture", "screenshot", "--device", deviceID.toStdString(),
                                        "--destination", destination.string(), "-q"});
    return output && itemExists(destination);
}

} // namespace quorvex
