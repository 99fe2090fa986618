#pragma once

#include "simulator/MachOReader.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>
#include <vector>

namespace quorvex {

struct SimulatorInstall;

/// What an installed simulator app is entitled to, read from the entitlements section
/// ("__TEXT,__entitlements") of its executable without running any tool. The code signature is
/// not parsed. Loading never fails: anything unreadable gives the fallback record (the install's
/// group containers as app groups, nothing else). Stateless; safe on any thread.
struct AppDetails {
    struct Entitlement {
        QString key;
        QString name;       // display name
        QStringList values; // display texts of the value
        bool operator==(const Entitlement&) const = default;
    };

    std::vector<Entitlement> entitlements; // sorted by display name
    QStringList appGroups;                 // sorted
    QStringList keychainGroups;            // sorted
    std::optional<QString> teamID;

    bool operator==(const AppDetails&) const = default;

    /// Reads the bundle's Info.plist, maps its executable and builds the record.
    static AppDetails load(const SimulatorInstall& install);
    /// The record from an executable's bytes: the first image whose entitlements section holds a
    /// property-list dictionary wins.
    static AppDetails fromExecutable(ByteSpan executable, const SimulatorInstall& install);
    /// The record from an entitlements dictionary.
    static AppDetails fromEntitlements(const QVariantMap& entitlements, const SimulatorInstall& install);
    /// Nothing when no image yields an entitlements dictionary.
    static std::optional<QVariantMap> entitlementsDictionary(ByteSpan executable);

    /// One entry per key, sorted by display name (locale-aware, case-insensitive; ties by key).
    static std::vector<Entitlement> entitlementsFrom(const QVariantMap& dictionary);
    static QString displayName(const QString& key);
    static QStringList displayValues(const QVariant& value);
    /// The team-identifier entitlement, else the ten-character prefix of the application
    /// identifier when it is upper-case letters and digits.
    static std::optional<QString> teamIDFrom(const QVariantMap& dictionary);
    /// The 39 entitlement keys with a name of their own.
    static const QHash<QString, QString>& knownEntitlementNames();
};

} // namespace quorvex
