#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <map>
#include <optional>
#include <vector>

namespace quorvex {

/// One app installed on a connected device, and the devicectl commands that act on an app. Every
/// command blocks until the tool exits; run them off the GUI thread. None shows anything: failure
/// is false or an empty list.
struct DeviceApp {
    QString id;                       // bundle identifier
    QString name;                     // display name; the bundle identifier when the tool gives none
    std::optional<QString> version;   // "2.1 (45)", "2.1" or "(45)"
    std::optional<QString> bundleURL; // where the bundle lies on the device, as the tool says

    bool operator==(const DeviceApp&) const = default;

    /// The apps of `deviceID` (only those whose data container is reachable when asked), sorted
    /// by name; empty when the tool fails.
    static std::vector<DeviceApp> listApps(const QString& deviceID, bool requireContainerAccess);
    /// Reads `devicectl device info apps` output. Hidden apps and entries without a bundle
    /// identifier are left out; any other shape than the expected one gives an empty list.
    static std::vector<DeviceApp> parseApps(const QByteArray& json);

    /// Copies the app's whole data container into `destination` (the tool creates it). True only
    /// when the tool succeeded and something exists at `destination` afterwards.
    static bool copyAppData(const QString& bundleID, const QString& deviceID,
                            const std::filesystem::path& destination);
    /// Copies `localFolder/entry` into the app's data container as `entry`, replacing what is
    /// there.
    static bool pushAppData(const QString& entry, const QString& deviceID, const QString& bundleID,
                            const std::filesystem::path& localFolder);

    /// The identifier of the first running process whose executable lies inside `app`'s bundle,
    /// read from `devicectl device info processes` output.
    static std::optional<qint64> runningProcessID(const DeviceApp& app, const QByteArray& processesJson);
    /// Terminates the app's running process. False when the app has no bundle location (nothing
    /// runs then), when no process of it runs, or when the terminate command fails.
    static bool terminateRunning(const DeviceApp& app, const QString& deviceID);

    /// Launches the app with these arguments (after "--", which is always given) and environment.
    static bool launch(const QString& bundleID, const QStringList& arguments,
                       const std::map<QString, QString>& environment, bool terminateExisting,
                       const QString& deviceID);
    /// The environment as devicectl takes it: a compact JSON object with sorted keys. Absent
    /// when it cannot be written (text that is not valid Unicode).
    static std::optional<QByteArray> environmentJson(const std::map<QString, QString>& environment);

    /// Installs a configuration profile or provisioning profile. A file with any other extension
    /// is refused without running the tool.
    static bool installProfile(const std::filesystem::path& file, const QString& deviceID);
};

inline size_t qHash(const DeviceApp& app, size_t seed = 0) {
    return qHashMulti(seed, app.id, app.name, app.version.value_or(QString()),
                      app.bundleURL.value_or(QString()));
}

} // namespace quorvex
