#pragma once

#include "storage/engine/CleanupItem.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace quorvex {

/// How careful the user must be before deleting a category's items, least careful first.
enum class CleanupSafety { safe, review, verify };

/// A one-click selection of a category: every item carrying `tag`.
struct QuickSelection {
    QString title;
    QString symbol;
    CleanupItem::Tag tag;
    friend bool operator==(const QuickSelection&, const QuickSelection&) = default;
};

/// One of the ten fixed kinds of developer storage, with its fixed presentation and its scanned
/// items (largest first). A plain value; the windows map `tint` to a colour of their own.
struct CleanupCategory {
    enum class Kind {
        derivedData,
        simulators,
        runtimes,
        archives,
        deviceSupport,
        xcodes,
        documentation,
        logs,
        packageCaches,
        caches
    };
    enum class Tint { blue, indigo, purple, brown, teal, cyan, pink, green, orange, gray };

    /// Every kind, in declaration order (also the order selected items are listed in).
    static const std::array<Kind, 10> allKinds;
    static QString rawValue(Kind kind);
    /// The kind whose raw value is exactly `raw` (case-sensitive).
    static std::optional<Kind> kindFromRawValue(const QString& raw);

    /// The fixed row of `kind` with no items.
    explicit CleanupCategory(Kind kind);

    Kind kind;
    QString title;
    QString symbol;
    Tint tint;
    CleanupSafety safety;
    QString explanation;
    QString consequence;
    std::vector<QuickSelection> quickSelections;
    std::vector<CleanupItem> items;

    friend bool operator==(const CleanupCategory&, const CleanupCategory&) = default;
};

/// "com.apple.CoreSimulator.SimRuntime.iOS-17-2" → "iOS 17.2"; "xrOS" reads "visionOS".
QString runtimeDisplayName(const QString& identifier);

} // namespace quorvex
