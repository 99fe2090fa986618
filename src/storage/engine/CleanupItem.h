#pragma once

#include "storage/engine/CleanupRemoval.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace quorvex {

/// One removable thing on disk found by a scanner, as the cleaner lists it. A plain value.
struct CleanupItem {
    /// What quick selections and "Select Recommended" match against.
    enum class Tag { old, unavailable, orphaned, recommended, uploaded };

    QString id; // unique across all kinds: each scanner prefixes its own tag
    QString title;
    QString subtitle;
    std::int64_t size = 0; // allocated bytes
    std::optional<QDateTime> date;
    CleanupRemoval removal;
    std::optional<QString> protectedReason; // shown, never selected or cleaned
    std::set<Tag> tags;
    std::optional<QString> bundleID;
    std::optional<QString> iconPath;

    bool isProtected() const { return protectedReason.has_value(); }
    friend bool operator==(const CleanupItem&, const CleanupItem&) = default;
};

/// Largest first; items of equal size keep their order.
void sortCleanupItemsBySize(std::vector<CleanupItem>& items);

/// Sum of sizes that saturates at the largest 64-bit value instead of wrapping; negative sizes
/// count as 0.
std::int64_t saturatingSum(std::int64_t a, std::int64_t b);

} // namespace quorvex
