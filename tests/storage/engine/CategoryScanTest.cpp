#include "storage/engine/CategoryScan.h"

#include "platform/data/PlistSettingsFormat.h"
#include "storage/engine/XcodeDataScanners.h"
#include "support/DemoWorld.h"
#include "support/FakeRunningApplications.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

const QDateTime kNow(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC);

void writeFile(const fs::path& path, const std::string& text = "data") {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

} // namespace

// Two names that differ only in bytes that are not UTF-8 look the same once decoded for people,
// but they are two files: each gets an id of its own, made of its exact bytes, so selecting one
// never selects the other.
TEST(CategoryScanTest, NamesThatDifferOnlyInBytesThatAreNotUtf8GetIdsOfTheirOwn) {
    const fs::path home = homeDirectoryURL();
    const fs::path xcode = home / "Library/Developer/Xcode";
    const fs::path apps = home / "SystemApplications";
    test::FakeXcrun fake;
    test::FakeRunningApplications running;
    const auto scanOf = [](CleanupCategory::Kind kind) {
        return [kind] { return CategoryScan::scan(kind, [] { return kNow; }).items; };
    };
    using Kind = CleanupCategory::Kind;
    struct Case {
        const char* what;
        std::function<void(const std::string& name)> make; // makes one entry with that odd name
        std::string prefix;
        std::function<std::vector<CleanupItem>()> scan;
        bool keyIsName = false; // the id holds the entry's name rather than its path
    };
    const Case cases[] = {
        {"DerivedData",
         [&](const std::string& n) { writeFile(xcode / "DerivedData" / ("App" + n + "-abc") / "f"); },
         "dd:", scanOf(Kind::derivedData), true},
        {"archives",
         [&](const std::string& n) {
             writeFile(xcode / "Archives/2026-01-01" / ("App" + n + ".xcarchive") / "f");
         },
         "ar:", scanOf(Kind::archives)},
        {"device support",
         [&](const std::string& n) {
             writeFile(xcode / "iOS DeviceSupport" / ("17.0 (21A" + n + ")") / "f");
         },
         "ds:", scanOf(Kind::deviceSupport)},
        {"documentation downloads",
         [&](const std::string& n) { writeFile(xcode / "DocumentationCache" / ("v1" + n) / "f"); },
         "doc:", scanOf(Kind::documentation)},
        {"legacy docsets",
         [&](const std::string& n) {
             writeFile(home / "Library/Developer/Shared/Documentation/DocSets" / ("a" + n + ".docset") / "f");
         },
         "docset:", scanOf(Kind::documentation)},
        {"Xcode logs",
         [&](const std::string& n) { writeFile(home / "Library/Logs/Xcode" / ("bad" + n + "name.log")); },
         "log:", scanOf(Kind::logs)},
        {"simulator logs",
         [&](const std::string& n) {
             writeFile(home / "Library/Logs/CoreSimulator" / ("bad" + n + "name") / "f");
         },
         "log:", scanOf(Kind::logs)},
        {"crash reports",
         [&](const std::string& n) {
             writeFile(home / "Library/Logs/DiagnosticReports" / ("Xcode-" + n + ".ips"));
         },
         "log:", scanOf(Kind::logs)},
        {"Xcode versions",
         [&](const std::string& n) {
             const fs::path app = apps / ("Xcode" + n + ".app");
             fs::create_directories(app / "Contents");
             std::ofstream(app / "Contents/Info.plist")
                 << variantToPlistXml(QVariantMap{{"CFBundleIdentifier", "com.apple.dt.Xcode"}})
                        .toStdString();
         },
         "xc:",
         [&] {
             XcodeDataScanners::XcodeSources sources;
             sources.systemApplications = apps;
             sources.userApplications = home / "NoApplications";
             sources.running = &running;
             return XcodeDataScanners::scanXcodes(sources);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : fs::directory_iterator(home))
            fs::remove_all(entry.path());
        for (const std::string odd : {"\xff", "\xfe", "%ff", "\xc3\xa9"})
            c.make(odd);
        const std::vector<CleanupItem> items = c.scan();
        ASSERT_EQ(items.size(), 4u);
        std::set<QString> ids;
        for (const CleanupItem& item : items) {
            ASSERT_TRUE(item.id.startsWith(QString::fromStdString(c.prefix))) << item.id.toStdString();
            ids.insert(item.id);
            const QByteArray key = item.id.mid(static_cast<qsizetype>(c.prefix.size())).toUtf8();
            const fs::path& path = item.removal.file;
            EXPECT_EQ(QByteArray::fromPercentEncoding(key).toStdString(),
                      c.keyIsName ? path.filename().string() : path.string());
        }
        EXPECT_EQ(ids.size(), 4u);
    }
}

// The demo's developer folder is there so that every page of the cleaner has something to show.
TEST(CategoryScanTest, TheDemoWorldHasSomethingInEveryCategory) {
    const fs::path home = homeDirectoryURL();
    for (const auto& entry : fs::directory_iterator(home))
        fs::remove_all(entry.path());
    test::FakeXcrun fake;
    for (const nlohmann::json& rule : test::DemoWorld::addDeveloperData(home))
        fake.rule(rule);
    const auto now = [] { return QDateTime::currentDateTimeUtc(); };
    for (CleanupCategory::Kind kind : CleanupCategory::allKinds) {
        SCOPED_TRACE(CleanupCategory::rawValue(kind).toStdString());
        const CleanupCategory category = CategoryScan::scan(kind, now);
        EXPECT_GE(category.items.size(), 2u);
        // Every chip of the page has something to select.
        int chipsWithItems = 0;
        for (const QuickSelection& chip : category.quickSelections)
            chipsWithItems +=
                std::any_of(category.items.begin(), category.items.end(), [&](const CleanupItem& item) {
                    return item.tags.count(chip.tag) && !item.isProtected();
                });
        EXPECT_EQ(chipsWithItems, static_cast<int>(category.quickSelections.size()));
    }
}
