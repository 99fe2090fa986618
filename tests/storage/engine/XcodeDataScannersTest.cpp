#include "storage/engine/XcodeDataScanners.h"

#include "storage/engine/ProjectFolders.h"

#include "platform/data/PlistSettingsFormat.h"
#include "support/FakeRunningApplications.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QVariantMap>

#include <filesystem>
#include <fstream>

using namespace quorvex;
namespace fs = std::filesystem;
using Tag = CleanupItem::Tag;

namespace {

const QDateTime kNow(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC);

void writePlist(const fs::path& path, const QVariantMap& map) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << variantToPlistXml(map).toStdString();
}

std::map<QString, CleanupItem> byTitle(const std::vector<CleanupItem>& items) {
    std::map<QString, CleanupItem> map;
    for (const CleanupItem& item : items)
        map[item.title] = item;
    return map;
}

class XcodeDataScannersTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry : fs::directory_iterator(homeDirectoryURL()))
            fs::remove_all(entry.path());
        developer = homeDirectoryURL() / "Library/Developer/Xcode";
    }
    fs::path developer;
};

} // namespace

// Exactly 30 days old is not old; one second more is. The property list's date wins over the
// folder's own.
TEST_F(XcodeDataScannersTest, DerivedDataCutOffAndTitles) {
    const qint64 cutOff = 30 * 24 * 3600;
    writePlist(developer / "DerivedData/AtCutOff-abc/info.plist",
               {{"LastAccessedDate", kNow.addSecs(-cutOff)},
                {"WorkspacePath", QString::fromStdString((homeDirectoryURL() / "src/A").string())}});
    writePlist(developer / "DerivedData/Older-def/info.plist",
               {{"LastAccessedDate", kNow.addSecs(-cutOff - 1)}});
    fs::create_directories(developer / "DerivedData/ModuleCache.noindex");
    const auto items = byTitle(XcodeDataScanners::scanDerivedData([] { return kNow; }));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items.at("AtCutOff").tags.empty());
    EXPECT_EQ(items.at("AtCutOff").subtitle, "~/src/A");
    EXPECT_EQ(items.at("AtCutOff").id, "dd:AtCutOff-abc");
    EXPECT_EQ(items.at("Older").tags, std::set<Tag>{Tag::old});
    EXPECT_EQ(items.at("ModuleCache").subtitle, "Shared by all projects");
}

TEST_F(XcodeDataScannersTest, DeviceSupportKeepsTheTwoNewestMajorsPerPlatform) {
    for (const char* name : {"17.0 (21A329)", "iPhone15,2 16.4.1 (20E252)", "15.7 (19H12)", "junk"})
        fs::create_directories(developer / "iOS DeviceSupport" / name);
    // The xrOS folder holds visionOS too: two majors apart from the visionOS folder's newest, its
    // entry is old as it would be beside that one.
    fs::create_directories(developer / "xrOS DeviceSupport/1.0 (21N305)");
    fs::create_directories(developer / "visionOS DeviceSupport/3.0 (23N1)");
    fs::create_directories(developer / "watchOS DeviceSupport/10.0 (21R356)");
    const auto items = byTitle(XcodeDataScanners::scanDeviceSupport());
    ASSERT_EQ(items.size(), 7u);
    EXPECT_TRUE(items.at("iOS 17.0 (21A329)").tags.empty());
    EXPECT_EQ(items.at("iOS 17.0 (21A329)").subtitle, "Debug symbols");
    EXPECT_TRUE(items.at("iOS 16.4.1 (20E252)").tags.empty());
    EXPECT_EQ(items.at("iOS 16.4.1 (20E252)").subtitle, "From iPhone15,2");
    EXPECT_EQ(items.at("iOS 15.7 (19H12)").tags, (std::set<Tag>{Tag::old, Tag::recommended}));
    EXPECT_EQ(items.at("iOS  ").tags, (std::set<Tag>{Tag::old, Tag::recommended})); // no version: major 0
    EXPECT_EQ(items.at("visionOS 1.0 (21N305)").tags, (std::set<Tag>{Tag::old, Tag::recommended}));
    EXPECT_TRUE(items.at("visionOS 3.0 (23N1)").tags.empty());
    EXPECT_TRUE(items.at("watchOS 10.0 (21R356)").tags.empty());
}

// The active Xcode, a running one and a link to another are protected; the rest are old, but only
// while the active one is among those found.
TEST_F(XcodeDataScannersTest, XcodeProtections) {
    const fs::path apps = homeDirectoryURL() / "SystemApplications";
    const auto makeXcode = [&](const char* name, const char* identifier) {
        writePlist(apps / name / "Contents/Info.plist", {{"CFBundleIdentifier", identifier}});
        writePlist(apps / name / "Contents/version.plist",
                   {{"CFBundleShortVersionString", "16.0"}, {"ProductBuildVersion", "16A242"}});
        fs::create_directories(apps / name / "Contents/Developer");
    };
    for (const char* name : {"Xcode-16.app", "Xcode-beta.app", "Xcode-15.app", "Other.app"})
        makeXcode(name, "com.apple.dt.Xcode");
    makeXcode("XcodeFake.app", "com.example.fake");
    fs::create_symlink(apps / "Xcode-16.app", apps / "Xcode.app");

    test::FakeXcrun fake;
    fake.rule({{"tool", "xcode-select"},
               {"args", {"-p"}},
               {"stdout", (apps / "Xcode-16.app/Contents/Developer").string() + "\n"}});
    test::FakeRunningApplications running;
    running.running["com.apple.dt.Xcode"] = {(apps / "Xcode-beta.app").string()};
    XcodeDataScanners::XcodeSources sources;
    sources.systemApplications = apps;
    sources.userApplications = homeDirectoryURL() / "NoApplications";
    sources.running = &running;

    auto items = byTitle(XcodeDataScanners::scanXcodes(sources));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items.at("Xcode-16").protectedReason, QStringLiteral("Active Xcode (xcode-select)"));
    EXPECT_EQ(items.at("Xcode-beta").protectedReason, QStringLiteral("Running — quit it first"));
    EXPECT_EQ(items.at("Xcode").protectedReason, QStringLiteral("Shortcut to Xcode-16.app"));
    EXPECT_EQ(items.at("Xcode").size, 0);
    EXPECT_EQ(items.at("Xcode-15").protectedReason, std::nullopt);
    EXPECT_EQ(items.at("Xcode-15").tags, std::set<Tag>{Tag::old});
    EXPECT_EQ(items.at("Xcode-15").subtitle, "Version 16.0 (16A242) · ~/SystemApplications/Xcode-15.app");

    // xcode-select names command-line tools outside every Xcode found: nothing is old.
    fake.clearRules().rule(
        {{"tool", "xcode-select"}, {"args", {"-p"}}, {"stdout", "/Library/Developer/CommandLineTools\n"}});
    items = byTitle(XcodeDataScanners::scanXcodes(sources));
    EXPECT_TRUE(items.at("Xcode-15").tags.empty());
    EXPECT_EQ(items.at("Xcode-15").protectedReason, std::nullopt);
}

TEST_F(XcodeDataScannersTest, ArchivesUploadsAndAge) {
    const fs::path archives = developer / "Archives";
    const qint64 cutOff = 182 * 24 * 3600;
    const QVariantMap uploaded = {{"destination", "upload"},
                                  {"uploadEvent", QVariantMap{{"state", "success"}}}};
    const QVariantMap failed = {{"destination", "upload"}, {"uploadEvent", QVariantMap{{"state", "failed"}}}};
    writePlist(archives / "2026-01-01/MyApp 1.xcarchive/Info.plist",
               {{"Name", "MyApp"},
                {"CreationDate", kNow.addSecs(-cutOff)},
                {"ApplicationProperties", QVariantMap{{"CFBundleShortVersionString", "1.2"},
                                                      {"CFBundleVersion", "34"},
                                                      {"CFBundleIdentifier", "com.example.myapp"},
                                                      {"IconPaths", QVariantList{"a.png", "b.png"}}}},
                {"Distributions", QVariantList{failed, uploaded}}});
    writePlist(archives / "2026-01-01/Old.xcarchive/Info.plist",
               {{"CreationDate", kNow.addSecs(-cutOff - 1)}, {"Distributions", QVariantList{failed}}});
    // A list that is not all records is no list of distributions, whatever it holds.
    writePlist(archives / "2026-01-01/Mixed.xcarchive/Info.plist",
               {{"CreationDate", kNow}, {"Distributions", QVariantList{uploaded, "not a record"}}});
    fs::create_directories(archives / "Loose.xcarchive");
    fs::create_directories(archives / "2026-01-01/x.xcarchive.bak");
    const auto items = byTitle(XcodeDataScanners::scanArchives([] { return kNow; }));
    ASSERT_EQ(items.size(), 4u);
    const CleanupItem& mine = items.at("MyApp 1.2 (34)");
    EXPECT_EQ(mine.tags, std::set<Tag>{Tag::uploaded});
    EXPECT_EQ(mine.bundleID, QStringLiteral("com.example.myapp"));
    EXPECT_EQ(mine.iconPath,
              QString::fromStdString((archives / "2026-01-01/MyApp 1.xcarchive/Products/b.png").string()));
    EXPECT_EQ(items.at("Old").tags, std::set<Tag>{Tag::old});
    EXPECT_EQ(items.at("Old").subtitle, "Archive");
    EXPECT_EQ(items.at("Loose").bundleID, std::nullopt);
    EXPECT_TRUE(items.at("Mixed").tags.empty());
}

// Without icon paths in its Info.plist, an archive shows the largest AppIcon*.png at the top of
// its first app; of two equally large ones, the one listed first.
TEST_F(XcodeDataScannersTest, AnArchiveWithoutIconPathsShowsItsAppsLargestIcon) {
    const fs::path archive = developer / "Archives/2026-01-01/App.xcarchive";
    const fs::path app = archive / "Products/Applications/App.app";
    const auto write = [&](const char* name, std::size_t bytes) {
        std::ofstream(app / name) << std::string(bytes, 'i');
    };
    writePlist(archive / "Info.plist",
               {{"ApplicationProperties", QVariantMap{{"IconPaths", QVariantList{}}}}});
    fs::create_directories(app);
    write("AppIcon60x60@2x.png", 5000);
    write("AppIcon76x76@2x.png", 20000);
    write("AppIcon83.5x83.5@2x.png", 20000);
    write("AppIconHuge.jpg", 90000); // not a PNG
    write("LaunchImage.png", 90000); // not an app icon
    std::string firstOfTheLargest;
    for (const auto& entry : fs::directory_iterator(app)) {
        const std::string name = entry.path().filename().string();
        if (firstOfTheLargest.empty() && (name == "AppIcon76x76@2x.png" || name == "AppIcon83.5x83.5@2x.png"))
            firstOfTheLargest = name;
    }
    auto items = XcodeDataScanners::scanArchives([] { return kNow; });
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].iconPath, QString::fromStdString((app / firstOfTheLargest).string()));

    fs::remove_all(app);
    fs::create_directories(app);
    write("Info.plist", 10);
    items = XcodeDataScanners::scanArchives([] { return kNow; });
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].iconPath, std::nullopt);
}

TEST_F(XcodeDataScannersTest, DocumentationKeepsTheNewestDownload) {
    for (const char* name : {"v158", "v202", "v99"})
        fs::create_directories(developer / "DocumentationCache" / name);
    fs::create_directories(homeDirectoryURL() /
                           "Library/Developer/Shared/Documentation/DocSets/com.apple.adc.docset");
    const auto items = byTitle(XcodeDataScanners::scanDocumentation());
    ASSERT_EQ(items.size(), 4u);
    EXPECT_TRUE(items.at("Documentation v202").tags.empty());
    EXPECT_EQ(items.at("Documentation v202").subtitle, "Current documentation download");
    EXPECT_EQ(items.at("Documentation v158").tags, (std::set<Tag>{Tag::old, Tag::recommended}));
    EXPECT_EQ(items.at("com.apple.adc").subtitle, "Legacy docset");

    // An empty download folder has no current download, and the docsets are still there.
    fs::remove_all(developer / "DocumentationCache");
    fs::create_directories(developer / "DocumentationCache");
    const auto docsetsOnly = XcodeDataScanners::scanDocumentation();
    ASSERT_EQ(docsetsOnly.size(), 1u);
    EXPECT_EQ(docsetsOnly[0].title, "com.apple.adc");
}

// Names remembered for an app lead only to real folders directly inside DerivedData; anything
// else in the store is dropped at the next write.
TEST_F(XcodeDataScannersTest, ProjectFoldersNeverLeaveDerivedData) {
    const fs::path derivedData = developer / "DerivedData";
    writePlist(derivedData / "Notes-abc/Build/Products/Debug-iphonesimulator/Notes.app/Info.plist",
               {{"CFBundleIdentifier", "com.example.notes"}});
    writePlist(derivedData / "Other-def/Build/Products/Debug-iphonesimulator/Notes.app/Info.plist",
               {{"CFBundleIdentifier", "com.example.other"}});
    fs::create_directories(derivedData / "Remembered-xyz");
    fs::create_directories(homeDirectoryURL() / "Outside");
    fs::create_symlink(homeDirectoryURL() / "Outside", derivedData / "Link-000");
    sharedDefaults().setValue(
        ProjectFolders::kKey,
        QVariantMap{{"com.example.notes", QStringList{"Remembered-xyz", "..", "../../..", "Link-000", "",
                                                      "Gone-111", "Notes-abc/Build"}}});

    const auto folders = ProjectFolders::find("com.example.notes", "Notes.app", sharedDefaults());
    EXPECT_EQ(folders, (std::vector<fs::path>{derivedData / "Notes-abc", derivedData / "Remembered-xyz"}));
    EXPECT_EQ(sharedDefaults().value(ProjectFolders::kKey).toMap().value("com.example.notes").toStringList(),
              (QStringList{"Notes-abc", "Remembered-xyz"}));
    sharedDefaults().remove(ProjectFolders::kKey);
}
