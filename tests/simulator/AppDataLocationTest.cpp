#include "simulator/AppDataLocation.h"

#include "support/FixtureHome.h"
#include "support/QtPrinters.h"
#include "support/RecordingWorkspace.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace quorvex;
using test::RecordingWorkspace;
using Action = RecordingWorkspace::Action;
namespace fs = std::filesystem;

namespace {

QStringList titles(const std::vector<AppDataLocation>& rows) {
    QStringList result;
    for (const AppDataLocation& row : rows)
        result.append(row.title);
    return result;
}

} // namespace

TEST(AppDataLocationTest, ListsTheSevenFixedRowsThenTheGroupsInCodePointOrder) {
    const fs::path container = "/Sim/Data/Application/ABC";
    const std::map<QString, fs::path> groups{{"group.b", "/Sim/B"},
                                             {"group.a", "/Sim/A"},
                                             {"Group.Z", "/Sim/Z"},
                                             {QStringLiteral("group.😀"), "/Sim/E"},
                                             {QStringLiteral("group.\uFF5E"), "/Sim/F"}};

    const std::vector<AppDataLocation> rows =
        AppDataLocation::locations(container, "com.example.my.app", groups);

    const std::vector<AppDataLocation> expected{
        {"User Data Sandbox", "person.crop.square", container, false},
        {"Application Support", "folder", container / "Library/Application Support", true},
        {"Caches", "folder", container / "Library/Caches", true},
        {"Documents", "folder", container / "Documents", true},
        {"Library", "folder", container / "Library", true},
        {"Temp", "folder", container / "tmp", true},
        {"User Defaults", "doc.text", container / "Library/Preferences/com.example.my.app.plist", true},
        {"Group.Z", "square.stack.3d.up", "/Sim/Z", false},
        {"group.a", "square.stack.3d.up", "/Sim/A", false},
        {"group.b", "square.stack.3d.up", "/Sim/B", false},
        {QStringLiteral("group.\uFF5E"), "square.stack.3d.up", "/Sim/F", false},
        {QStringLiteral("group.😀"), "square.stack.3d.up", "/Sim/E", false},
    };
    ASSERT_EQ(titles(rows), titles(expected));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].title.toStdString());
        EXPECT_EQ(rows[i], expected[i]);
    }
    EXPECT_EQ(rows[6].url->filename(), "com.example.my.app.plist");
}

TEST(AppDataLocationTest, WithoutAContainerTheFixedRowsHaveNoLocationAndOpenNothing) {
    SimulatorInstall install{"U1", "iPhone", "/Sim/A.app", std::nullopt, {{"group.a", "/Sim/A"}}};
    const std::vector<AppDataLocation> rows = AppDataLocation::locations(install, "com.example.a");
    ASSERT_EQ(rows.size(), 8u);
    RecordingWorkspace workspace;
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_FALSE(rows[i].url) << rows[i].title.toStdString();
        rows[i].open(workspace);
    }
    EXPECT_TRUE(workspace.requests().empty());
    EXPECT_EQ(rows[7].url, fs::path("/Sim/A"));
}

TEST(AppDataLocationTest, BundleIdWithASlashGetsNoPreferencesFile) {
    const auto rows = AppDataLocation::locations(fs::path("/Sim/C"), "../../evil", {});
    EXPECT_EQ(rows[6].title, "User Defaults");
    EXPECT_FALSE(rows[6].url);
}

TEST(AppDataLocationTest, OpensExistingItemsAndRevealsAppBundles) {
    test::FixtureHome world;
    const fs::path root = test::FixtureHome::home() / "open";
    for (const char* folder : {"Data", "Orders.app", "Upper.APP"})
        fs::create_directories(root / folder);
    std::ofstream(root / "Data/prefs.plist") << "x";
    fs::create_symlink(root / "Data", root / "LinkToData");
    fs::create_symlink(root / "Gone", root / "Dangling");
    fs::create_directories(root / "Deleted");
    fs::remove(root / "Deleted");

    struct Case {
        const char* item;
        std::vector<RecordingWorkspace::Request> expected;
    };
    const Case cases[] = {
        {"Data", {{Action::Open, root / "Data"}}},
        {"Data/prefs.plist", {{Action::Open, root / "Data/prefs.plist"}}},
        {"Orders.app", {{Action::Reveal, root / "Orders.app"}}}, // shown, never launched
        {"Upper.APP", {{Action::Open, root / "Upper.APP"}}},     // the extension is case-sensitive
        {"LinkToData", {{Action::Open, root / "LinkToData"}}},
        {"Dangling", {}},
        {"Deleted", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        RecordingWorkspace workspace;
        AppDataLocation{"Row", "folder", root / c.item, false}.open(workspace);
        EXPECT_EQ(workspace.requests(), c.expected);
    }
}
