#include "app/StatusMenuController.h"

#include "actions/Permissions.h"
#include "actions/SimulatorActions.h"
#include "app/FakeServices.h"
#include "app/MenuRenderer.h"
#include "app/MenuTestWorld.h"
#include "app/Updates.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "storage/files/Cleanup.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const SimulatorDevice kPhone{"UDID-PHONE", "iPhone 15 Pro", QDateTime::fromSecsSinceEpoch(2000)};
const SimulatorDevice kPad{"UDID-PAD", "iPad Air", QDateTime::fromSecsSinceEpoch(1000)};

SimulatorApp app(const QString& id, const QString& name, const std::vector<SimulatorDevice>& on) {
    return test::simulatorApp(id, name, on, QStringLiteral("1.0 (1)"));
}

using test::outline;

QStringList until(const QStringList& lines, const QString& stop) {
    return lines.mid(0, lines.indexOf(stop));
}

const MenuRow* find(const MenuRows& rows, const QString& title) {
    for (const MenuRow& row : rows)
        if (row.title == title)
            return &row;
    return nullptr;
}

class MenuWorld {
public:
    MenuWorld()
        : simulatorApps(clock,
                        [this] {
                            return SimulatorApps::ScanResult{apps, devices};
                        })
        , permissions([](PermissionAction, std::optional<PermissionService>, const QString&, const QString&) {
            return true;
        })
        , updates({}, Updates::Ui{[] {}, [](const Updates::Alert&) { return 0; }, [](const QUrl&) {}}) {}

    void publish() {
        const QFuture<void> done = simulatorApps.refresh();
        ASSERT_TRUE(QTest::qWaitFor([&] { return done.isFinished(); }, 30'000));
    }

    StatusMenuController& controller(bool showStatusItem = false) {
        if (!m_controller) {
            m_controller = std::make_unique<StatusMenuController>(
                StatusMenuController::Models{simulatorApps, actions, permissions, Cleanup::shared(), updates,
                                             neighbours.services(), clock, [this] { ++abouts; },
                                             [this] { ++quits; }},
                showStatusItem);
        }
        return *m_controller;
    }

    test::FakeClock clock;
    test::FakeNeighbours neighbours;
    std::vector<SimulatorApp> apps;
    std::vector<SimulatorDevice> devices;
    SimulatorApps simulatorApps;
    SimulatorActions actions;
    Permissions permissions;
    Updates updates;
    int quits = 0;
    int abouts = 0;

private:
    std::unique_ptr<StatusMenuController> m_controller;
};

TEST(StatusMenuControllerTest, TheAppSectionsFollowTheTargetAndTheRememberedApps) {
    struct Case {
        const char* name;
        std::vector<SimulatorDevice> devices;
        std::vector<SimulatorApp> apps;
        std::optional<SimulatorDevice> target;
        std::vector<SimulatorApp> remembered;
        QStringList expected; // the rows before "# Tools", without the closing separator
    };
    const SimulatorApp maps = app("com.demo.maps", "Maps Demo", {kPhone, kPad});
    const SimulatorApp notes = app("com.demo.notes", "Notes Demo", {kPad});
    SimulatorApp zebra = app("com.demo.zebra", "Zebra", {kPhone});
    SimulatorApp alpha = app("com.demo.alpha", "Alpha", {kPhone});
    const std::vector<Case> cases = {
        {"no simulators and nothing remembered",
         {},
         {},
         std::nullopt,
         {},
         {"# Simulator Apps", "i Start a simulator to see its apps"}},
        {"no simulators because the developer tools are missing",
         {},
         {},
         std::nullopt,
         {},
         {"# Simulator Apps", "i Xcode’s command-line tools were not found"}},
        {"booted simulators but no target: all apps under Simulator Apps",
         {kPad, kPhone},
         {maps, notes},
         std::nullopt,
         {},
         {"# Simulator Apps", "Maps Demo >>", "Notes Demo >>"}},
        {"a target with none of the apps: Simulator Apps, not Other Apps",
         {kPad, kPhone},
         {notes},
         kPhone,
         {},
         {"# Simulator Apps", "Notes Demo >>"}},
        {"a target with apps, then the others",
         {kPad, kPhone},
         {maps, notes},
         kPhone,
         {},
         {"# iPhone 15 Pro", "Maps Demo >>", "---", "# Other Apps", "Notes Demo >>"}},
        {"remembered apps no simulator runs come last, by name, case-sensitively",
         {kPhone},
         {maps},
         kPhone,
         {zebra, alpha, app("com.demo.maps", "Maps Demo", {kPhone})},
         {"# iPhone 15 Pro", "Maps Demo >>", "---", "# Other Apps", "Alpha >> (Simulator not running)",
          "Zebra >> (Simulator not running)"}},
        {"only remembered apps",
         {},
         {},
         std::nullopt,
         {zebra},
         {"# Simulator Apps", "Zebra >> (Simulator not running)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Only the case about missing tools runs without them.
        std::optional<test::FakeXcrun> xcrun;
        if (!QString(c.name).contains("missing"))
            xcrun.emplace();
        MenuWorld world;
        world.devices = c.devices;
        world.apps = c.apps;
        world.publish();
        world.neighbours.deviceHub.target = c.target;
        for (const SimulatorApp& remembered : c.remembered)
            world.neighbours.network.choices[remembered.id] = {remembered, QStringLiteral("edge")};
        const QStringList lines = outline(world.controller().buildMenu());
        QStringList apps = until(lines, "# Tools");
        ASSERT_EQ(apps.takeLast(), "---");
        EXPECT_EQ(apps, c.expected);
    }
}

TEST(StatusMenuControllerTest, ARememberedAppKeepsNoInstallsVersionOrDevicesOfSimulatorsThatAreGone) {
    MenuWorld world;
    const SimulatorApp stale = app("com.demo.gone", "Gone", {kPhone, kPad});
    world.neighbours.network.choices[stale.id] = {stale, QStringLiteral("edge")};
    const std::vector<SimulatorApp> listed = world.controller().menuApps();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(listed[0].devices.isEmpty());
    EXPECT_TRUE(listed[0].installs.empty());
    EXPECT_FALSE(listed[0].version.has_value());

    // So its submenu offers nothing against the shut-down simulators.
    MenuRows rows = world.controller().buildMenu();
    const MenuRow* row = find(rows, "Gone");
    ASSERT_NE(row, nullptr);
    MenuRows submenu;
    ASSERT_TRUE(row->filler->menuNeedsUpdate(submenu));
    const QStringList lines = outline(submenu);
    EXPECT_TRUE(lines.contains("Open URL… {off}"));
    EXPECT_FALSE(lines.contains("Version"));
    EXPECT_EQ(outline(find(submenu, "Clear App Data")->children).filter("Erase"),
              QStringList{"Erase App Data in Simulator… (Simulator not running) {off}"});
    EXPECT_TRUE(lines.contains("App Data > {off}"));
    EXPECT_TRUE(find(submenu, "App Data")->children.empty());
}

TEST(StatusMenuControllerTest, QuickRepeatLeadsTheMenuOnlyWithAHistory) {
    MenuWorld world;
    EXPECT_EQ(outline(world.controller().buildMenu()).first(), "# Simulator Apps")
        << "no header, no separator";

    SimulatorActions::Recent recent{QUuid::createUuid(),
                                    SimulatorActions::Kind::deepLink("demo://inbox"),
                                    "com.demo.maps",
                                    "Maps Demo",
                                    kPhone.udid,
                                    kPhone.name,
                                    QDateTime::currentDateTimeUtc()};
    sharedDefaults().setValue("actionHistory", SimulatorActions::encodeHistory({recent}));
    MenuWorld withHistory;
    const MenuRows rows = withHistory.controller().buildMenu();
    EXPECT_EQ(
        outline(rows).mid(0, 3),
        QStringList({"# Quick Repeat", "Open demo://inbox (Repeat for Maps Demo on iPhone 15 Pro)", "---"}));
    EXPECT_EQ(rows[1].shortcut, QKeySequence(Qt::CTRL | Qt::ALT | Qt::META | Qt::Key_R));
    sharedDefaults().remove("actionHistory");
}

TEST(StatusMenuControllerTest, ToolRowsCarryBadgesOnlyForSomethingToCount) {
    MenuWorld world;
    QStringList tools = outline(world.controller().buildMenu());
    tools = tools.mid(tools.indexOf("# Tools"));
    EXPECT_EQ(tools.mid(0, 6), QStringList({"# Tools", "Simulators >", "Blocked Hosts >", "Storage Cleaner…",
                                            "Clear Data >", "---"}))
        << "no Connected Devices row without devices, no badges at 0";
    EXPECT_EQ(tools.mid(6), QStringList({"Show Side Panel (Next to Simulator’s window · Ctrl+Alt+P there) ✓",
                                         "Simulator App >", "Network Setup Guide…", "---", "About Quorvex",
                                         "Check for Updates…", "Quit Quorvex"}));

    world.devices = {kPad, kPhone};
    world.publish();
    world.neighbours.network.rules = {{"api.example.com", true}, {"cdn.example.com", false}};
    world.neighbours.deviceFlows.connected = {PhysicalDevice{"D1", "Kim’s iPhone", {}, {}, {}}};
    world.neighbours.network.busy = true;
    tools = outline(world.controller().buildMenu());
    tools = tools.mid(tools.indexOf("# Tools"));
    EXPECT_EQ(tools.mid(0, 8),
              QStringList({"# Tools", "Simulators > [2]", "Connected Devices > [1]", "Blocked Hosts > [1]",
                           "Storage Cleaner…", "Clear Data >", "---", "i Applying…"}));
}

TEST(StatusMenuControllerTest, BlockedHostsAndSimulatorsSubmenusFollowTheModels) {
    MenuWorld world;
    MenuRows rows = world.controller().buildMenu();
    EXPECT_EQ(
        outline(find(rows, "Blocked Hosts")->children),
        QStringList({"i Block a host to test how apps handle\na backend that’s down.", "---", "Add Host…",
                     "i Simulator apps get “connection refused” for\nthese hosts and their subdomains."}));
    EXPECT_EQ(outline(find(rows, "Simulators")->children),
              QStringList({"i Start a simulator in Simulator first."}));

    world.devices = {kPad, kPhone};
    world.publish();
    world.neighbours.deviceHub.focused = kPhone.udid;
    world.neighbours.network.rules = {{"api.example.com", true}, {"cdn.example.com", false}};
    world.neighbours.network.busy = true;
    rows = world.controller().buildMenu();
    EXPECT_EQ(outline(find(rows, "Blocked Hosts")->children).mid(0, 4),
              QStringList({"api.example.com > (Blocked) {off}", "cdn.example.com > (Off) {off}", "---",
                           "Add Host… {off}"}));
    EXPECT_EQ(outline(find(rows, "Simulators")->children),
              QStringList({"iPad Air >>", "iPhone 15 Pro >> (In Simulator)"}));
}

TEST(StatusMenuControllerTest, ALazySubmenuIsFilledOncePerOpeningOfTheMenu) {
    MenuWorld world;
    world.devices = {kPhone};
    world.apps = {app("com.demo.maps", "Maps Demo", {kPhone})};
    world.publish();
    world.neighbours.deviceHub.target = kPhone;
    StatusMenuController& controller = world.controller();

    controller.rebuildMenu();
    QMenu* submenu = nullptr;
    for (QMenu* menu : controller.menu().findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        if (menu->title() == "Maps Demo")
            submenu = menu;
    ASSERT_NE(submenu, nullptr);
    EXPECT_TRUE(submenu->actions().isEmpty()) << "nothing is built before it opens";
    emit submenu->aboutToShow();
    const qsizetype filled = submenu->actions().size();
    EXPECT_GT(filled, 10);
    emit submenu->aboutToShow();
    EXPECT_EQ(submenu->actions().size(), filled) << "a second opening shows what was built";

    // The next opening of the status menu builds new fillers, which fill again.
    const auto previous = std::weak_ptr<LazySubmenuFiller>(controller.lazyFillers().front());
    controller.rebuildMenu();
    EXPECT_TRUE(previous.expired()) << "the old fillers die with the old menu";
    for (QMenu* menu : controller.menu().findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        if (menu->title() == "Maps Demo")
            submenu = menu;
    EXPECT_TRUE(submenu->actions().isEmpty());
    emit submenu->aboutToShow();
    EXPECT_EQ(submenu->actions().size(), filled);
    EXPECT_EQ(controller.menu().findChildren<QMenu*>(Qt::FindDirectChildrenOnly).size(), 5)
        << "Maps Demo, Simulators, Blocked Hosts, Clear Data, Simulator App: nothing left over";
}

TEST(StatusMenuControllerTest, CommandsReachTheirServices) {
    MenuWorld world;
    world.devices = {kPhone};
    world.apps = {app("com.demo.maps", "Maps Demo", {kPhone})};
    world.publish();
    StatusMenuController& controller = world.controller();
    MenuRows rows = controller.buildMenu();
    find(rows, "Quit Quorvex")->handler();
    find(rows, "About Quorvex")->handler();
    find(rows, "Show Side Panel")->handler();
    find(rows, "Storage Cleaner…")->handler();
    find(rows, "Network Setup Guide…")->handler();
    EXPECT_EQ(world.quits, 1);
    EXPECT_EQ(world.abouts, 1);
    EXPECT_EQ(world.neighbours.deviceHub.panelChanges, std::vector<bool>{false});
    EXPECT_EQ(world.neighbours.cleanerWindow.shows, 1);
    EXPECT_EQ(world.neighbours.network.tours, QStringList{"edge"});

    MenuRows submenu;
    find(find(rows, "Simulators")->children, "iPhone 15 Pro")->filler->menuNeedsUpdate(submenu);
    find(submenu, "Take Screenshot")->handler();
    find(submenu, "Customize Status Bar…")->handler();
    MenuRows appMenu;
    find(rows, "Maps Demo")->filler->menuNeedsUpdate(appMenu);
    find(appMenu, "Send Push Notification…")->handler();
    EXPECT_EQ(world.neighbours.actionWindows.calls,
              QStringList({"screenshot UDID-PHONE", "status bar UDID-PHONE", "push com.demo.maps"}));
}

TEST(StatusMenuControllerTest, AddHostKeepsTheAlertOpenUntilTheHostCanBeBlocked) {
    MenuWorld world;
    test::FakeDialogs dialogs;
    auto type = [](const QString& text) {
        return [text](const Alert& alert) {
            alert.accessory->findChild<QLineEdit*>("host")->setText(text);
            return Dialogs::kFirstButton;
        };
    };
    dialogs.queueAnswer(type(" 127.0.0.1 "));
    dialogs.queueAnswer(type(" Example.ORG "));
    MenuRows rows = world.controller().buildMenu();
    find(find(rows, "Blocked Hosts")->children, "Add Host…")->handler();
    EXPECT_EQ(dialogs.refusedFirstButtons(), 1);
    EXPECT_EQ(world.neighbours.network.addedHosts, QStringList{"Example.ORG"});
}

TEST(StatusMenuControllerTest, TheStatusIconAndToolTipFollowTheNetworkModel) {
    MenuWorld world;
    StatusMenuController& controller = world.controller();
    EXPECT_EQ(controller.toolTip(), "Quorvex");
    EXPECT_FALSE(controller.showsActiveIcon());
    world.neighbours.network.change([](test::FakeNetwork& network) {
        network.active = true;
        network.summaryText = "Edge · 1 blocked host";
    });
    EXPECT_EQ(controller.toolTip(), "Quorvex · Edge · 1 blocked host");
    EXPECT_TRUE(controller.showsActiveIcon());
    world.neighbours.network.change([](test::FakeNetwork& network) { network.active = false; });
    EXPECT_EQ(controller.toolTip(), "Quorvex");
    EXPECT_FALSE(controller.showsActiveIcon());
    EXPECT_EQ(StatusMenuController::shared(), &controller);
}

TEST(StatusMenuControllerTest, ClickingTheStatusItemBuildsTheMenuThenPopsItUp) {
    MenuWorld world;
    StatusMenuController& controller = world.controller(true);
    QSystemTrayIcon* item = controller.statusItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->contextMenu(), nullptr) << "the tray never holds a menu of its own";
    EXPECT_EQ(item->toolTip(), "Quorvex");
    EXPECT_EQ(controller.menu().accessibleName(), "Quorvex");
    EXPECT_TRUE(controller.menu().actions().isEmpty()) << "nothing is built while the menu is closed";
    emit item->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(controller.menu().isVisible());
    EXPECT_EQ(controller.menu().actions().last()->text(), "Quit Quorvex");
    controller.menu().hide();
}

TEST(StatusMenuControllerTest, ACommandOnSeveralSimulatorsIsReportedInOneToast) {
    struct Case {
        const char* name;
        std::vector<SimulatorDevice> devices;
        QStringList failing;
        ToastMessage expected;
    };
    const std::vector<Case> cases = {
        {"one simulator", {kPhone}, {}, {"Shake sent", QString("iPhone 15 Pro"), "checkmark", false}},
        {"several", {kPad, kPhone}, {}, {"Shake sent", QString("2 simulators"), "checkmark", false}},
        {"failures name the simulators",
         {kPad, kPhone},
         {kPad.udid, kPhone.udid},
         {"Didn’t work on iPad Air, iPhone 15 Pro", std::nullopt, "exclamationmark.triangle", true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MenuWorld world;
        QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
        const QFuture<void> done = world.controller().runOnSimulators(
            c.devices, [&](const SimulatorDevice& device) { return !c.failing.contains(device.udid); },
            "Shake sent");
        ASSERT_TRUE(QTest::qWaitFor([&] { return done.isFinished(); }, 30'000));
        ASSERT_EQ(toasts.size(), 1);
        EXPECT_EQ(toasts.at(0).at(0).value<ToastMessage>(), c.expected);
    }
}

} // namespace
} // namespace quorvex
