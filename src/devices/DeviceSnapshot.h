#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <cstdint>

namespace quorvex {

/// A saved copy of one device app's data, as its folder's "info.json" describes it.
struct DeviceSnapshot {
    QUuid id;
    QString name;
    QString bundleID;
    QString deviceName;
    QDateTime date;
    std::int64_t size = 0; // bytes on disk

    bool operator==(const DeviceSnapshot&) const = default;
};

} // namespace quorvex
