#pragma once

#include <QHashFunctions>
#include <QString>

#include <optional>
#include <set>

namespace quorvex {

/// One real iPhone or iPad connected to this machine, as devicectl lists it.
struct PhysicalDevice {
    QString id;                         // devicectl's identifier, passed after "--device" in every command
    QString name;                       // the name the user gave the device
    std::optional<QString> model;       // marketing name of the hardware
    std::optional<QString> productType; // hardware product code
    std::set<QString> capabilities;     // feature identifiers; empty as parsed, filled by the poller

    bool operator==(const PhysicalDevice&) const = default;
};

inline size_t qHash(const PhysicalDevice& device, size_t seed = 0) {
    return qHashMulti(seed, device.id, device.name, device.model.value_or(QString()),
                      device.productType.value_or(QString()),
                      qHashRange(device.capabilities.begin(), device.capabilities.end()));
}

} // namespace quorvex
