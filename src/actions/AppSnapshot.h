#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHashFunctions>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quorvex {

/// A saved copy of one simulator app's data, as its manifest "info.json" describes it, plus where
/// it lies on disk. Equality and hashing take all eight fields in order.
struct AppSnapshot {
    QUuid id;     // its text form names the snapshot's folder
    QString name; // as the user gave it
    QString bundleID;
    QString appName;       // display name at save time
    QDateTime created;     // whole seconds, UTC
    QString deviceName;    // the simulator the data came from
    std::int64_t size = 0; // allocated bytes of the snapshot folder before the manifest was written
    std::optional<std::filesystem::path> folder; // set by save and list; never in the manifest

    bool operator==(const AppSnapshot&) const = default;
};

/// The manifest: a compact JSON object with exactly "id" (upper-case UUID), "name", "bundleID",
/// "appName", "created" (ISO 8601, UTC, whole seconds, "Z"), "deviceName" and "size" (integer),
/// in that order, with "/" escaped as "\/" the way the platform's encoder writes it.
QByteArray encodeManifest(const AppSnapshot& snapshot);

/// Reads a manifest: all seven members are required with their types, other members are ignored.
/// Absent for anything else. The result has no folder.
std::optional<AppSnapshot> decodeManifest(const QByteArray& bytes);

size_t qHash(const AppSnapshot& snapshot, size_t seed = 0) noexcept;

} // namespace quorvex
