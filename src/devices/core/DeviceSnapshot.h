#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace quorvex {

/// A saved copy of one device app's data, as the manifest "info.json" in its folder describes it:
/// ~/Library/Application Support/Quorvex/Device Snapshots/<safe bundle id>/<entry>/info.json.
/// This holds what the menus read; saving and restoring belong to the device snapshot flows.
struct DeviceSnapshot {
    QUuid id;
    QString name;
    QString bundleID;
    QString deviceName;
    QDateTime date; // UTC
    std::int64_t size = 0;
    /// Where the snapshot was found (set by list()); empty for one not read from disk. Delete and
    /// restore act on this folder, never on one rebuilt from the manifest's fields, which a
    /// copied or edited manifest could point anywhere.
    std::filesystem::path folder{};

    bool operator==(const DeviceSnapshot&) const = default;

    /// The folder "Device Snapshots" in ~/Library/Application Support/Quorvex.
    static std::filesystem::path rootFolder();
    /// The per-app folder name: letters, digits, '-', '.' and '_' kept, anything else '_'; an
    /// empty result, or one of full stops only ("..", which would climb out), gives "_".
    static QString safeFileName(const QString& text);
    /// Reads a manifest: every member required with its type, the date in ISO 8601; none for
    /// anything else.
    static std::optional<DeviceSnapshot> decode(const QByteArray& json);
    /// The app's snapshots, newest first. Entries (hidden ones included) whose manifest cannot be
    /// read or decoded are skipped; a folder that cannot be listed gives none. Any thread.
    static std::vector<DeviceSnapshot> list(const QString& bundleID);
    /// The manifest's JSON: exactly id, name, bundleID, deviceName, date (ISO 8601, UTC, to the
    /// second) and size.
    QByteArray encode() const;
};

} // namespace quorvex
