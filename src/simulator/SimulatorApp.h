#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <nlohmann/json_fwd.hpp>

#include <filesystem>
#include <map>
#include <optional>
#include <vector>

namespace quorvex {

/// One booted simulator.
struct SimulatorDevice {
    QString udid;
    QString name;                      // the UDID when the listing gives no name
    std::optional<QDateTime> bootedAt; // mtime of data/var/run/syslog.pid, when readable

    bool operator==(const SimulatorDevice&) const = default;
};

/// One app installed on one booted simulator.
struct SimulatorInstall {
    QString udid;
    QString deviceName;
    std::filesystem::path bundle;
    std::optional<std::filesystem::path> dataContainer;
    std::map<QString, std::filesystem::path> groupContainers; // app-group identifier -> container

    bool operator==(const SimulatorInstall&) const = default;
};

/// One user app, merged over every booted simulator it is installed on.
struct SimulatorApp {
    QString id; // bundle identifier
    QString name;
    QString bundleFolder; // last path component of the bundle
    QStringList devices;  // UDIDs in scan order
    std::optional<std::filesystem::path> iconPath;
    std::vector<SimulatorInstall> installs; // one per entry of `devices`, same order
    std::optional<QString> version;         // "2.1 (45)", "2.1" or "(45)"

    bool operator==(const SimulatorApp&) const = default;

    /// The install on the simulator with this UDID, if any.
    const SimulatorInstall* install(const QString& udid) const;
};

/// The stored form of an app (other parts keep it in settings): "id", "name", "bundleFolder",
/// "devices" and, when present, "iconPath". `installs` and `version` are not stored.
nlohmann::json toJson(const SimulatorApp& app);
/// Reads the stored form; absent when a required key is missing or has the wrong type. Unknown
/// keys are ignored. The result has no installs and no version.
std::optional<SimulatorApp> simulatorAppFromJson(const nlohmann::json& json);

} // namespace quorvex
