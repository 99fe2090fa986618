#include "storage/engine/CategoryScan.h"

#include "storage/engine/LogScanner.h"
#include "storage/engine/SimulatorScanners.h"
#include "storage/engine/StorageFormats.h"
#include "storage/engine/XcodeDataScanners.h"
#include "storage/files/AllocatedSize.h"
#include "tools/Environment.h"

#include <QFile>

#include <sys/stat.h>

namespace quorvex {
namespace fs = std::filesystem;

CleanupCategory CategoryScan::scan(CleanupCategory::Kind kind, const std::function<QDateTime()>& now) {
    using Kind = CleanupCategory::Kind;
    CleanupCategory category(kind);
    switch (kind) {
    case Kind::simulators:
        category.items = SimulatorScanners::scanSimulators(now);
        break;
    case Kind::runtimes:
        category.items = SimulatorScanners::scanRuntimes();
        break;
    case Kind::logs:
        category.items = LogScanner::scanLogs(now);
        break;
    case Kind::packageCaches:
        category.items = scanFixedLocations(packageCaches());
        break;
    case Kind::caches:
        category.items = scanFixedLocations(otherCaches());
        break;
    case Kind::derivedData:
        category.items = XcodeDataScanners::scanDerivedData(now);
        break;
    case Kind::deviceSupport:
        category.items = XcodeDataScanners::scanDeviceSupport();
        break;
    case Kind::xcodes:
        category.items = XcodeDataScanners::scanXcodes();
        break;
    case Kind::archives:
        category.items = XcodeDataScanners::scanArchives(now);
        break;
    case Kind::documentation:
        category.items = XcodeDataScanners::scanDocumentation();
        break;
    }
    sortCleanupItemsBySize(category.items);
    return category;
}

std::vector<CleanupItem> CategoryScan::scanFixedLocations(const std::vector<FixedLocation>& locations) {
    std::vector<CleanupItem> items;
    for (const FixedLocation& location : locations) {
        struct stat info {};
        if (::stat(location.path.c_str(), &info) != 0)
            continue;
        const TreeSummary summary = summarizeTree(location.path);
        if (summary.bytes < 1)
            continue;
        CleanupItem item;
        item.id = QStringLiteral("f:") + StorageFormats::pathKey(location.path);
        item.title = location.title;
        item.subtitle = location.subtitle;
        item.size = summary.bytes;
        item.date = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec, Qt::UTC);
        item.removal = CleanupRemoval::ofFile(location.path);
        item.tags = {CleanupItem::Tag::recommended};
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<CategoryScan::FixedLocation> CategoryScan::packageCaches() {
    const fs::path home = homeDirectoryURL();
    const fs::path library = home / "Library";
    return {
        {QStringLiteral("CocoaPods cache"), QStringLiteral("Downloaded pods · ~/Library/Caches/CocoaPods"),
         library / "Caches/CocoaPods"},
        {QStringLiteral("CocoaPods spec repos"), QStringLiteral("Pod specs · ~/.cocoapods/repos"),
         home / ".cocoapods/repos"},
        {QStringLiteral("Swift Package Manager cache"),
         QStringLiteral("Downloaded packages · ~/Library/Caches/org.swift.swiftpm"),
         library / "Caches/org.swift.swiftpm"},
        {QStringLiteral("Xcode SourcePackages"), QStringLiteral("~/Library/Developer/Xcode/SourcePackages"),
         library / "Developer/Xcode/SourcePackages"},
    };
}

std::vector<CategoryScan::FixedLocation> CategoryScan::otherCaches() {
    const fs::path library = homeDirectoryURL() / "Library";
    return {
        {QStringLiteral("Xcode cache"), QStringLiteral("~/Library/Caches/com.apple.dt.Xcode"),
         library / "Caches/com.apple.dt.Xcode"},
        {QStringLiteral("Simulator caches"), QStringLiteral("~/Library/Developer/CoreSimulator/Caches"),
         library / "Developer/CoreSimulator/Caches"},
        {QStringLiteral("SwiftUI Previews"),
         QStringLiteral("Preview simulators and builds · Xcode/UserData/Previews"),
         library / "Developer/Xcode/UserData/Previews"},
        {QStringLiteral("Test device clones"),
         QStringLiteral("Simulators cloned for parallel testing · ~/Library/Developer/XCTestDevices"),
         library / "Developer/XCTestDevices"},
        {QStringLiteral("Products"),
         QStringLiteral("Built products for Xcode Cloud and previews · ~/Library/Developer/Xcode/Products"),
         library / "Developer/Xcode/Products"},
    };
}

} // namespace quorvex
