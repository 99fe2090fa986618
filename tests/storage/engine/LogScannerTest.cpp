#include "storage/engine/LogScanner.h"

#include "storage/engine/CategoryScan.h"

#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>

using namespace quorvex;
namespace fs = std::filesystem;
using Tag = CleanupItem::Tag;

namespace {

const QDateTime kNow(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC);

void touch(const fs::path& path, const QDateTime& when) {
    const struct timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

void writeAt(const fs::path& path, const QDateTime& when) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "log";
    touch(path, when);
}

} // namespace

// A log folder is as recent as the newest file in it: its own date says nothing about that.
TEST(LogScannerTest, LogsAreAgedByTheirNewestContentWithAStrictCutOff) {
    const fs::path logs = homeDirectoryURL() / "Library/Logs";
    fs::remove_all(homeDirectoryURL() / "Library");
    const qint64 cutOff = 30 * 24 * 3600;
    writeAt(logs / "Xcode/at-cut-off.log", kNow.addSecs(-cutOff));
    writeAt(logs / "Xcode/older.log", kNow.addSecs(-cutOff - 1));
    writeAt(logs / "Xcode/Active/old.log", kNow.addDays(-400));
    writeAt(logs / "Xcode/Active/today.log", kNow.addSecs(-60));
    touch(logs / "Xcode/Active", kNow.addDays(-400));
    writeAt(logs / "Xcode/Stale/old.log", kNow.addDays(-400));
    touch(logs / "Xcode/Stale", kNow.addDays(-400));

    test::FakeXcrun fake;
    const auto items = LogScanner::scanLogs([] { return kNow; });
    std::map<QString, std::set<Tag>> tags;
    for (const CleanupItem& item : items)
        tags[item.title] = item.tags;
    ASSERT_EQ(tags.size(), 4u);
    EXPECT_TRUE(tags["at-cut-off.log"].empty());
    EXPECT_EQ(tags["older.log"], (std::set<Tag>{Tag::old, Tag::recommended}));
    EXPECT_TRUE(tags["Active"].empty());
    EXPECT_EQ(tags["Stale"], (std::set<Tag>{Tag::old, Tag::recommended}));
}

// A log entry that is a link or a FIFO holds no content to date it by; its own modification time
// does, so an old one is old like any other.
TEST(LogScannerTest, LinksAndFifosAreDatedByTheirOwnTime) {
    const fs::path logs = homeDirectoryURL() / "Library/Logs/Xcode";
    fs::remove_all(homeDirectoryURL() / "Library");
    fs::create_directories(logs);
    fs::create_symlink(homeDirectoryURL() / "nowhere", logs / "old-link.log");
    ASSERT_EQ(::mkfifo((logs / "old-pipe").c_str(), 0600), 0);
    fs::create_symlink(homeDirectoryURL() / "nowhere", logs / "new-link.log");
    touch(logs / "old-link.log", kNow.addDays(-100));
    touch(logs / "old-pipe", kNow.addDays(-100));
    touch(logs / "new-link.log", kNow.addDays(-1));

    test::FakeXcrun fake;
    std::map<QString, CleanupItem> byTitle;
    for (const CleanupItem& item : LogScanner::scanLogs([] { return kNow; }))
        byTitle[item.title] = item;
    ASSERT_EQ(byTitle.size(), 3u);
    EXPECT_EQ(byTitle["old-link.log"].date, kNow.addDays(-100));
    EXPECT_EQ(byTitle["old-link.log"].tags, (std::set<Tag>{Tag::old, Tag::recommended}));
    EXPECT_EQ(byTitle["old-pipe"].tags, (std::set<Tag>{Tag::old, Tag::recommended}));
    EXPECT_EQ(byTitle["new-link.log"].date, kNow.addDays(-1));
    EXPECT_TRUE(byTitle["new-link.log"].tags.empty());
}

// Logs of simulators simctl does not list are orphaned; the comparison is by UUID value, and a
// failed listing calls nothing orphaned.
TEST(LogScannerTest, LogsOfDeletedSimulators) {
    const fs::path logs = homeDirectoryURL() / "Library/Logs/CoreSimulator";
    fs::remove_all(homeDirectoryURL() / "Library");
    writeAt(logs / "5c1a7e2b-0000-4000-8000-000000000001/system.log", kNow);
    writeAt(logs / "0C0FFEE0-0000-4000-8000-000000000009/system.log", kNow);
    writeAt(logs / "CoreSimulator.log", kNow);

    test::FakeXcrun fake;
    fake.on({"simctl", "list", "devices", "-j"},
            R"({"devices": {"r": [{"udid": "5C1A7E2B-0000-4000-8000-000000000001", "name": "iPhone 15"}]}})");
    std::map<QString, CleanupItem> byName;
    for (const CleanupItem& item : LogScanner::scanLogs([] { return kNow; }))
        byName[item.subtitle] = item;
    EXPECT_EQ(byName["5c1a7e2b-0000-4000-8000-000000000001"].title, "iPhone 15 logs");
    EXPECT_TRUE(byName["5c1a7e2b-0000-4000-8000-000000000001"].tags.empty());
    EXPECT_EQ(byName["0C0FFEE0-0000-4000-8000-000000000009"].title, "Logs of a deleted simulator");
    EXPECT_EQ(byName["0C0FFEE0-0000-4000-8000-000000000009"].tags,
              (std::set<Tag>{Tag::orphaned, Tag::recommended}));
    EXPECT_EQ(byName["CoreSimulator.log"].title, "Simulator logs");

    fake.clearRules();
    for (const CleanupItem& item : LogScanner::scanLogs([] { return kNow; }))
        EXPECT_FALSE(item.tags.count(Tag::orphaned)) << item.subtitle.toStdString();
}

// Crash reports count only when a developer tool wrote them; the device logs are one item, and
// only when they hold at least a byte.
TEST(LogScannerTest, CrashReportsOfDeveloperToolsAndTheDeviceLogsFolder) {
    const fs::path library = homeDirectoryURL() / "Library";
    const fs::path deviceLogs = library / "Developer/Xcode/iOS Device Logs";
    struct Case {
        const char* what;
        std::function<void()> make;
        std::map<QString, QString> expected; // title to subtitle
    };
    const Case cases[] = {
        {"reports of tools and of other apps",
         [&] {
             writeAt(library / "Logs/DiagnosticReports/Xcode-2026-05-01.ips", kNow);
             writeAt(library / "Logs/DiagnosticReports/com.apple.dt.instruments.ips", kNow);
             writeAt(library / "Logs/DiagnosticReports/Safari-2026-05-01.ips", kNow);
         },
         {{"Xcode-2026-05-01.ips", "Crash report"}, {"com.apple.dt.instruments.ips", "Crash report"}}},
        {"device logs with content",
         [&] { writeAt(deviceLogs / "iPhone/console.log", kNow); },
         {{"Device logs", "Crash and console logs copied from devices"}}},
        {"device logs that hold nothing", [&] { fs::create_directories(deviceLogs / "iPhone/empty"); }, {}},
    };
    test::FakeXcrun fake;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(library);
        c.make();
        std::map<QString, QString> found;
        for (const CleanupItem& item : LogScanner::scanLogs([] { return kNow; }))
            found[item.title] = item.subtitle;
        EXPECT_EQ(found, c.expected);
    }
    writeAt(deviceLogs / "iPhone/console.log", kNow);
    const auto items = LogScanner::scanLogs([] { return kNow; });
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].removal, CleanupRemoval::ofFile(deviceLogs)); // the folder as one item
}

TEST(LogScannerTest, DeveloperToolReports) {
    const std::pair<const char*, bool> cases[] = {
        {"Xcode-2024-05-01.ips", true}, {"Xcode_2024.crash", true},     {"XcodeHelper.ips", false},
        {"com.apple.dt.foo.ips", true}, {"swift-frontend-1.ips", true}, {"xcode-1.ips", false},
        {"Safari-1.ips", false},        {"Instruments", false},         {"lldb-rpc-server_1.ips", true},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(LogScanner::isDeveloperToolReport(name), expected) << name;
}

// The one-kind scan: fixed cache locations that exist and hold something, largest first; a kind
// whose scanner finds nothing is its bare row.
TEST(CategoryScanTest, FixedLocationsAndTheOneKindScan) {
    fs::remove_all(homeDirectoryURL() / "Library");
    fs::remove_all(homeDirectoryURL() / ".cocoapods");
    const fs::path library = homeDirectoryURL() / "Library";
    fs::create_directories(library / "Caches/org.swift.swiftpm"); // empty: no item
    fs::create_directories(homeDirectoryURL() / ".cocoapods/repos/trunk");
    std::ofstream(homeDirectoryURL() / ".cocoapods/repos/trunk/spec") << std::string(10000, 's');
    fs::create_directories(library / "Caches/CocoaPods");
    std::ofstream(library / "Caches/CocoaPods/pod") << "p";

    test::FakeXcrun fake;
    const auto now = [] { return kNow; };
    const CleanupCategory packages = CategoryScan::scan(CleanupCategory::Kind::packageCaches, now);
    ASSERT_EQ(packages.items.size(), 2u);
    EXPECT_EQ(packages.items[0].title, "CocoaPods spec repos");
    EXPECT_EQ(packages.items[0].subtitle, "Pod specs · ~/.cocoapods/repos");
    EXPECT_EQ(packages.items[1].title, "CocoaPods cache");
    EXPECT_EQ(packages.items[1].tags, std::set<Tag>{Tag::recommended});
    EXPECT_EQ(packages.title, "Package Caches");

    EXPECT_EQ(CategoryScan::scan(CleanupCategory::Kind::caches, now),
              CleanupCategory(CleanupCategory::Kind::caches));
    EXPECT_EQ(CategoryScan::scan(CleanupCategory::Kind::simulators, now),
              CleanupCategory(CleanupCategory::Kind::simulators)); // simctl fails
}
