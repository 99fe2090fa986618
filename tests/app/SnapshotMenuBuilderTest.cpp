#include "app/SnapshotMenuBuilder.h"

#include "actions/SnapshotStore.h"
#include "app/MenuTestWorld.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <QLineEdit>

#include <fstream>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using test::findRow;
using test::installOn;
using test::notes;
using test::outline;

class SnapshotMenuBuilderTest : public ::testing::Test {
protected:
    void SetUp() override { xcrun.on({"**"}); }
    void TearDown() override { fs::remove_all(homeDirectoryURL() / "Library"); }

    AppSnapshot save(const SimulatorApp& app, const QString& name) {
        return SnapshotStore::save(app, app.installs.front(), name);
    }

    test::FakeXcrun xcrun;
    test::FakeDialogs dialogs;
    test::MenuTestWorld world;
};

TEST_F(SnapshotMenuBuilderTest, RestoreRowsNameTheSimulatorOnlyWhenThereIsAChoice) {
    struct Case {
        const char* name;
        std::vector<SimulatorInstall> installs;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"no simulator", {}, {"i Start the app’s simulator to restore", "---", "Delete Snapshot…"}},
        {"one", {installOn("A", "iPhone 16")}, {"Restore…", "---", "Delete Snapshot…"}},
        {"two",
         {installOn("A", "iPhone 16"), installOn("B", "iPad mini")},
         {"Restore to iPhone 16…", "Restore to iPad mini…", "---", "Delete Snapshot…"}},
    };
    const AppSnapshot snapshot = save(notes({installOn("A", "iPhone 16")}), "Saved");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MenuRows rows;
        world.snapshotBuilder().fillSnapshotSubmenu(rows, notes(c.installs), snapshot);
        EXPECT_EQ(outline(rows), c.expected);
    }
}

TEST_F(SnapshotMenuBuilderTest, SavedSnapshotsAreListedNewestFirstAndCounted) {
    const SimulatorApp app = notes({installOn("A", "iPhone 16")});
    MenuRows none = world.appMenu(app);
    EXPECT_EQ(outline(none).filter("App Data Snapshots"), QStringList{"App Data Snapshots >"});
    EXPECT_FALSE(outline(findRow(none, "App Data Snapshots")->children).contains("# Saved"));

    save(app, "Older");
    save(app, "Newer");
    const MenuRows rows = world.appMenu(app);
    EXPECT_EQ(outline(rows).filter("App Data Snapshots"), QStringList{"App Data Snapshots > (2 saved)"});
    const MenuRows& snapshots = findRow(rows, "App Data Snapshots")->children;
    const QStringList lines = outline(snapshots);
    ASSERT_EQ(lines.mid(0, 3), QStringList({"Save Snapshot…", "---", "# Saved"}));
    EXPECT_TRUE(lines[3].startsWith("Newer >") || lines[3].startsWith("Older >")) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].contains(" · iPhone 16 · ")) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].endsWith("KB)")) << lines[3].toStdString();
    EXPECT_EQ(snapshots[3].children.size(), 3u);
}

} // namespace
} // namespace quorvex
