#include "app/HostAppSubmenuBuilder.h"

#include "panel/controller/DeviceHubShortcuts.h"

#include "app/MenuTestWorld.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using test::outline;

TEST(HostAppSubmenuBuilderTest, HostAppSubmenuTellsWhetherTheFocusedDeviceCanBeFollowed) {
    struct Case {
        const char* name;
        bool readsTitles;
        std::optional<SimulatorDevice> target;
        QString follow;
    };
    const SimulatorDevice phone{"UDID-PHONE", "iPhone 15 Pro", std::nullopt};
    const std::vector<Case> cases = {
        {"no accessibility, a simulator booted", false, phone,
         "Follow Focused Device (Needs window titles from the X server) ○"},
        {"access, no target", true, std::nullopt, "Follow Focused Device (No simulator in focus) ✓"},
        {"access and a target", true, phone, "Follow Focused Device (Now: iPhone 15 Pro) ✓"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MenuTestWorld world;
        world.neighbours.deviceHub.readsTitles = c.readsTitles;
        world.neighbours.deviceHub.target = c.target;
        world.neighbours.deviceHub.panelEnabled = false;
        // The hub's own table, as the program installs it.
        for (const DeviceHubShortcuts::Shortcut& row : DeviceHubShortcuts::table())
            world.neighbours.deviceHub.shortcuts.push_back({row.keys, row.title});
        MenuRows rows;
        HostAppSubmenuBuilder(world.neighbours.deviceHub).fill(rows);
        const QStringList lines = outline(rows);
        ASSERT_EQ(lines.size(), 14);
        EXPECT_EQ(lines.mid(0, 6),
                  (QStringList{"Open Simulator", "---", "Show Side Panel (Next to Simulator’s window) ○",
                               c.follow, "---", "# While Simulator Is in Front"}));
        EXPECT_EQ(lines[6], "i Ctrl+Alt+N   Cycle Network Speed");
        EXPECT_EQ(lines[13], "i Ctrl+Super+M   Simulate Memory Warning");
        test::findRow(rows, "Show Side Panel")->handler();
        EXPECT_EQ(world.neighbours.deviceHub.panelChanges, std::vector<bool>{true});
    }
}

TEST(HostAppSubmenuBuilderTest, OnADesktopThatHidesOtherWindowsThePanelRowSaysSo) {
    test::MenuTestWorld world;
    world.neighbours.deviceHub.panelUnavailable = QStringLiteral("Wayland keeps other apps’ windows hidden");
    MenuRows rows;
    HostAppSubmenuBuilder(world.neighbours.deviceHub).fill(rows);
    EXPECT_EQ(test::findRow(rows, "Show Side Panel")->subtitle, "Wayland keeps other apps’ windows hidden");
}

} // namespace
} // namespace quorvex
