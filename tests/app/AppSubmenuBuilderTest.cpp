#include "app/AppSubmenuBuilder.h"

#include "app/CopyRowView.h"
#include "app/MenuRenderer.h"
#include "app/MenuTestWorld.h"
#include "app/PermissionRowView.h"
#include "simulator/DeviceTools.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"
#include "tools/ToolRunner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QWidgetAction>

#include <gtest/gtest.h>

#include <future>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using test::findRow;
using test::outline;

const SimulatorDevice kPhone{"UDID-PHONE", "iPhone 15 Pro", QDateTime::fromSecsSinceEpoch(3000)};
const SimulatorDevice kPad{"UDID-PAD", "iPad Air", QDateTime::fromSecsSinceEpoch(2000)};
const SimulatorDevice kSE{"UDID-SE", "iPhone SE", QDateTime::fromSecsSinceEpoch(1000)};

fs::path containerOf(const SimulatorDevice& device) {
    return homeDirectoryURL() / "Library/Developer/CoreSimulator/Devices" / device.udid.toStdString() /
           "data/Containers/Data/Application/MAPS";
}

SimulatorApp app(const std::vector<SimulatorDevice>& on) {
    SimulatorApp result;
    result.id = QStringLiteral("com.demo.maps");
    result.name = QStringLiteral("Maps Demo");
    result.bundleFolder = QStringLiteral("Maps Demo.app");
    for (const SimulatorDevice& device : on) {
        result.devices << device.udid;
        result.installs.push_back(
            SimulatorInstall{device.udid, device.name, "/nowhere/Maps Demo.app", containerOf(device), {}});
    }
    result.version = QStringLiteral("2.1 (40)");
    return result;
}

// A simulator keychain holding `items` items of the app's own access group.
void writeKeychain(const SimulatorDevice& device, int items) {
    const fs::path database = DeviceTools::keychainDatabaseURL(device.udid);
    fs::create_directories(database.parent_path());
    std::string sql;
    for (const char* table : {"genp", "inet", "cert", "keys"})
        sql += std::string("CREATE TABLE ") + table + " (rowid INTEGER PRIMARY KEY, agrp TEXT);";
    for (int i = 0; i < items; ++i)
        sql += "INSERT INTO genp (agrp) VALUES ('ABCDE12345.com.demo.maps');";
    ASSERT_TRUE(
        runTool("/usr/bin/sqlite3", std::vector<std::string>{"-init", "/dev/null", database.string(), sql}));
}

TEST(AppSubmenuBuilderTest, AnAppOnThreeSimulatorsOffersItsCommandsOnEachOfThem) {
    test::MenuTestWorld world;
    writeKeychain(kPhone, 1);
    writeKeychain(kPad, 3);
    // A keychain the simulator holds locked gives no count.
    writeKeychain(kSE, 2);
    QProcess locker;
    locker.start(
        "/usr/bin/sqlite3",
        {"-init", "/dev/null", QString::fromStdString(DeviceTools::keychainDatabaseURL(kSE.udid).string())});
    ASSERT_TRUE(locker.waitForStarted());
    locker.write("BEGIN EXCLUSIVE; SELECT 'locked';\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return locker.readAllStandardOutput().contains("locked"); }, 10'000));
    world.neighbours.deviceHub.host = "Device Hub";
    const MenuRows rows = world.appMenu(app({kPhone, kPad, kSE}));

    EXPECT_EQ(outline(rows).mid(0, 16), QStringList({
                                            "Network > (No Limit)",
                                            "Permissions >",
                                            "Show in Side Panel (Next to Device Hub’s window)",
                                            "---",
                                            "Open URL…",
                                            "Send Push Notification…",
                                            "---",
                                            "App Data >",
                                            "App Data Snapshots >",
                                            "Keychain >",
                                            "Clear App Data >",
                                            "---",
                                            "Launch (On 3 simulators)",
                                            "Terminate (On 3 simulators)",
                                            "Uninstall…",
                                            "---",
                                        }));
    locker.closeWriteChannel();
    locker.waitForFinished();
    EXPECT_EQ(findRow(rows, "Network")->symbol, "network") << "the unlimited profile's own symbol";
    EXPECT_EQ(
        outline(findRow(rows, "Keychain")->children),
        QStringList(
            {"Delete Keychain Items on iPhone 15 Pro… (1 item)",
             "Delete Keychain Items on iPad Air… (3 items)",
             "Delete Keychain Items on iPhone SE… (Keychain busy, reopen the menu to retry) {off}", "---",
             "i Only items in this app’s own access group are\ndeleted. Shared keychain groups are kept."}));
    const MenuRows& snapshots = findRow(rows, "App Data Snapshots")->children;
    EXPECT_EQ(outline(snapshots),
              QStringList(
                  {"Save Snapshot >", "---",
                   "i A snapshot holds the app’s documents, settings,\ncaches, and app group data. Keychain "
                   "isn’t included."}));
    EXPECT_EQ(outline(findRow(snapshots, "Save Snapshot")->children),
              QStringList({"From iPhone 15 Pro…", "From iPad Air…", "From iPhone SE…"}));
    EXPECT_EQ(outline(findRow(rows, "App Data")->children).filter(QRegularExpression("^(#|---)")),
              QStringList({"# iPhone 15 Pro", "---", "# iPad Air", "---", "# iPhone SE"}));
}

TEST(AppSubmenuBuilderTest, AnAppThatRunsNowhereKeepsOnlyItsNetworkSnapshotsAndCleaning) {
    test::MenuTestWorld world;
    SimulatorApp remembered = app({});
    remembered.version.reset();
    world.neighbours.network.choices[remembered.id] = {remembered, "edge"};
    const MenuRows rows = world.appMenu(remembered);
    EXPECT_EQ(outline(rows), QStringList({
                                 "Network > (Edge)",
                                 "Permissions > {off}",
                                 "Show in Side Panel (Next to Simulator’s window) {off}",
                                 "---",
                                 "Open URL… {off}",
                                 "Send Push Notification… {off}",
                                 "---",
                                 "App Data > {off}",
                                 "App Data Snapshots >",
                                 "Keychain > {off}",
                                 "Clear App Data >",
                                 "---",
                                 "Launch {off}",
                                 "Terminate {off}",
                                 "Uninstall… {off}",
                                 "---",
                                 "# App Info",
                                 "Bundle ID",
                             }))
        << "no version, and no details without an install";
    EXPECT_TRUE(findRow(rows, "App Data")->children.empty());
    EXPECT_EQ(outline(findRow(rows, "App Data Snapshots")->children).first(), "Save Snapshot… {off}");
    // Its project has no build data: the cleanup rows say so and cannot run.
    const QStringList clear = outline(findRow(rows, "Clear App Data")->children);
    EXPECT_EQ(clear.filter("No build data found").size(), 3) << clear.join("\n").toStdString();
}

TEST(AppSubmenuBuilderTest, AppDataRowsAreEnabledOnlyForFoldersThatExist) {
    test::MenuTestWorld world;
    fs::create_directories(containerOf(kPhone) / "Documents");
    const SimulatorApp one = app({kPhone});
    MenuRows rows;
    world.appBuilder().fillAppDataSubmenu(rows, one);
    const QStringList lines = outline(rows);
    EXPECT_FALSE(lines.first().startsWith("#")) << "one simulator: no header";
    EXPECT_TRUE(lines.contains("User Data Sandbox")) << lines.join("\n").toStdString();
    EXPECT_TRUE(lines.contains("    Documents"));
    EXPECT_TRUE(lines.contains("    Caches (Not created yet) {off}"));
}

TEST(AppSubmenuBuilderTest, AppInfoShowsTheIdentityAndCopiesEverySimulatorOnItsOwnLine) {
    test::MenuTestWorld world;
    const MenuRows rows = world.appMenu(app({kPhone, kPad, kSE}));
    const QStringList lines = outline(rows);
    const QStringList info = lines.mid(lines.indexOf("# App Info"));
    // The bundle cannot be read: the fallback details have no team and no entitlements.
    EXPECT_EQ(info, QStringList({"# App Info", "Bundle ID", "Version", "Team ID", "Installed On"}));

    QMenu menu;
    MenuRenderer::render(rows, menu);
    std::map<QString, CopyRowView*> views;
    for (QAction* action : menu.actions())
        if (auto* widgetAction = qobject_cast<QWidgetAction*>(action))
            if (auto* view = qobject_cast<CopyRowView*>(widgetAction->defaultWidget()))
                views[view->findChild<QLabel*>("title")->text()] = view;
    ASSERT_EQ(views.size(), 4u);
    EXPECT_FALSE(views["Team ID"]->isCopyable());
    EXPECT_EQ(views["Team ID"]->values(), QStringList{"None"});
    EXPECT_EQ(views["Version"]->values(), QStringList{"2.1 (40)"});

    CopyRowView* installed = views["Installed On"];
    EXPECT_EQ(installed->height(), 22 + 17 * 2);
    QApplication::clipboard()->clear();
    QTest::mouseClick(installed, Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_EQ(QApplication::clipboard()->text(), "iPhone 15 Pro\niPad Air\niPhone SE");
    EXPECT_EQ(installed->valueText(0), "Copied");
    world.clock.advance(0.6);
    QTest::mouseClick(installed, Qt::LeftButton, {}, QPoint(100, 10));
    world.clock.advance(0.8);
    EXPECT_EQ(installed->valueText(0), "Copied") << "only the later click's restore counts";
    world.clock.advance(0.4);
    EXPECT_EQ(installed->valueText(0), "iPhone 15 Pro");
    EXPECT_FALSE(installed->isShowingCopied());
}

TEST(AppSubmenuBuilderTest, NetworkRowsShowTheCurrentProfileAndWaitWhileTheModelIsBusy) {
    test::MenuTestWorld world;
    const SimulatorApp maps = app({kPhone});
    world.neighbours.network.choices[maps.id] = {maps, "edge"};
    for (const bool busy : {false, true}) {
        SCOPED_TRACE(busy);
        world.neighbours.network.busy = busy;
        MenuRows rows;
        world.appBuilder().fillNetworkSubmenu(rows, maps);
        const QStringList lines = outline(rows);
        EXPECT_EQ(lines.filter(" ✓").size(), 1);
        EXPECT_EQ(lines.filter(QRegularExpression("^Edge .* ✓")).size(), 1) << lines.join("\n").toStdString();
        EXPECT_EQ(lines.filter("{off}").size(), busy ? 12 : 0);
        EXPECT_TRUE(lines.contains("# Flaky Network"));
        if (!busy) {
            findRow(rows, "No Limit")->handler();
            EXPECT_EQ(world.neighbours.network.profileChanges, QStringList{"com.demo.maps unlimited"});
        }
    }
}

TEST(AppSubmenuBuilderTest, ShowInSidePanelPicksTheTargetsInstallElseTheFirst) {
    struct Case {
        const char* name;
        std::optional<SimulatorDevice> target;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"the target has it",
         kPad,
         {"override UDID-PAD", "app UDID-PAD com.demo.maps", "expanded", "enabled", "open host"}},
        {"the target lacks it",
         kSE,
         {"override UDID-PHONE", "app UDID-PHONE com.demo.maps", "expanded", "enabled", "open host"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MenuTestWorld world;
        world.neighbours.deviceHub.target = c.target;
        const MenuRows rows = world.appMenu(app({kPhone, kPad}));
        findRow(rows, "Show in Side Panel")->handler();
        EXPECT_EQ(world.neighbours.deviceHub.panelCalls, c.expected);
    }
}

TEST(AppSubmenuBuilderTest, APermissionChangeShowsOnEveryRowAndAllPermissionsNeverHoldsAChoice) {
    test::MenuTestWorld world;
    MenuRows rows;
    world.appBuilder().fillPermissionsSubmenu(rows, app({kPhone}));
    QMenu menu;
    MenuRenderer::render(rows, menu);
    std::map<QString, PermissionRowView*> views;
    for (QAction* action : menu.actions())
        if (auto* widgetAction = qobject_cast<QWidgetAction*>(action))
            if (auto* view = qobject_cast<PermissionRowView*>(widgetAction->defaultWidget()))
                views[view->findChild<QLabel*>("title")->text()] = view;
    ASSERT_EQ(views.size(), 14u);
    auto states = [&] {
        std::map<QString, std::optional<PermissionAction>> result;
        for (const auto& [title, view] : views) {
            std::optional<PermissionAction> shown;
            for (const PermissionAction action :
                 {PermissionAction::grant, PermissionAction::revoke, PermissionAction::reset})
                if (view->shownSymbol(action).endsWith(".fill"))
                    shown = action;
            result[title] = shown;
        }
        return result;
    };

    views["Camera"]->buttons()[0]->click();
    auto shown = states();
    EXPECT_EQ(shown["Camera"], PermissionAction::grant);
    EXPECT_EQ(
        std::count_if(shown.begin(), shown.end(), [](const auto& entry) { return entry.second.has_value(); }),
        1);

    views["All Permissions"]->buttons()[1]->click();
    shown = states();
    EXPECT_EQ(shown["All Permissions"], std::nullopt)
        << "it stands for all services, not for a choice of its own";
    EXPECT_EQ(shown["Camera"], PermissionAction::revoke);
    EXPECT_EQ(shown["Photos"], PermissionAction::revoke);
}

} // namespace
} // namespace quorvex

namespace quorvex {
namespace {

TEST(AppSubmenuBuilderTest, KeychainCountsThatMissTheirDeadlineShowTheBusyRowWithoutHoldingTheMenu) {
    test::MenuTestWorld world;
    // The iPhone's count answers at once, the iPad's hangs until the test ends.
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    struct Release {
        std::promise<void>& promise;
        ~Release() { promise.set_value(); }
    } releaseAtEnd{release};
    AppSubmenuBuilder::Context context = world.appBuilderContext();
    context.keychainCount = [gate](const QString&, const QString& udid) -> std::optional<std::int64_t> {
        if (udid == kPad.udid)
            gate.wait();
        return 2;
    };
    context.keychainCountTimeout = std::chrono::milliseconds(20);
    MenuRows rows;
    AppSubmenuBuilder(context).fillKeychainSubmenu(rows, app({kPhone, kPad}));
    EXPECT_EQ(
        outline(rows).mid(0, 2),
        QStringList({"Delete Keychain Items on iPhone 15 Pro… (2 items)",
                     "Delete Keychain Items on iPad Air… (Keychain busy, reopen the menu to retry) {off}"}));
}

} // namespace
} // namespace quorvex
