#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QDateTime>
#include <QString>

#include <filesystem>
#include <functional>
#include <vector>

namespace quorvex {

/// The one-kind scan the cleaner model runs on a worker thread: the kind's fixed row filled by its
/// scanner, largest first. Never fails; a scanner that finds nothing gives an empty category.
class CategoryScan final {
public:
    struct FixedLocation {
        QString title;
        QString subtitle;
        std::filesystem::path path;
    };

    /// `now` dates the age tags (the system clock in the program, a fixed time in tests).
    static CleanupCategory scan(CleanupCategory::Kind kind, const std::function<QDateTime()>& now);

    /// Items of the places that only hold caches: each one that exists and holds at least a byte.
    static std::vector<CleanupItem> scanFixedLocations(const std::vector<FixedLocation>& locations);
    static std::vector<FixedLocation> packageCaches();
    static std::vector<FixedLocation> otherCaches();
};

} // namespace quorvex
