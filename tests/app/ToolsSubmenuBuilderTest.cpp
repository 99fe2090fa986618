#include "app/ToolsSubmenuBuilder.h"

#include "app/MenuTestWorld.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using test::outline;

const SimulatorDevice kPhone{"UDID-PHONE", "iPhone 15 Pro", QDateTime::fromSecsSinceEpoch(2000)};
const SimulatorDevice kPad{"UDID-PAD", "iPad Air", QDateTime::fromSecsSinceEpoch(1000)};

// A builder over the world whose lazy rows are kept here and whose simulator submenus record
// what they were asked to fill.
struct ToolsFixture {
    test::MenuTestWorld world;
    std::vector<std::shared_ptr<LazySubmenuFiller>> fillers;
    QStringList filled;

    ToolsSubmenuBuilder builder() {
        return ToolsSubmenuBuilder(
            {world.simulatorApps, world.neighbours.deviceHub, world.neighbours.network,
             [this](const QString& title, LazySubmenuFiller::Build build) {
                 fillers.push_back(std::make_shared<LazySubmenuFiller>(std::move(build)));
                 return MenuRow::lazy(title, fillers.back());
             },
             [this](MenuRows&, const SimulatorDevice& device, const std::vector<SimulatorDevice>& devices) {
                 filled << device.udid + " of " + QString::number(devices.size());
             }});
    }
};

TEST(ToolsSubmenuBuilderTest, EachSimulatorGetsALazyRowThatFillsItsOwnSubmenuOnce) {
    ToolsFixture tools;
    MenuRows rows;
    tools.builder().fillSimulators(rows);
    EXPECT_EQ(outline(rows), QStringList({"i Start a simulator in Simulator first."}));

    tools.world.devices = {kPad, kPhone};
    tools.world.publish();
    tools.world.neighbours.deviceHub.focused = kPhone.udid;
    rows.clear();
    tools.builder().fillSimulators(rows);
    EXPECT_EQ(outline(rows), QStringList({"iPad Air >>", "iPhone 15 Pro >> (In Simulator)"}));
    ASSERT_EQ(tools.fillers.size(), 2u);
    MenuRows submenu;
    EXPECT_TRUE(rows[1].filler->menuNeedsUpdate(submenu));
    EXPECT_FALSE(rows[1].filler->menuNeedsUpdate(submenu));
    EXPECT_EQ(tools.filled, QStringList{"UDID-PHONE of 2"});
}

TEST(ToolsSubmenuBuilderTest, TheExtensionStateShowsTheMostPressingOfApprovalBusyAndError) {
    struct Case {
        const char* name;
        bool approval;
        bool busy;
        std::optional<QString> error;
        QStringList expected;
        SetupObstacle obstacle = SetupObstacle::None;
        bool proxyAllowance = false;
    };
    const std::vector<Case> cases = {
        {"nothing to tell", false, false, std::nullopt, {}},
        {"an error",
         false,
         false,
         QString("Couldn’t start the proxy"),
         {"---", "i Couldn’t start the proxy"}},
        {"busy over the error", false, true, QString("Couldn’t start the proxy"), {"---", "i Applying…"}},
        {"approval over everything",
         true,
         true,
         QString("Couldn’t start the proxy"),
         {"---", "i Allow the extension with “sudo quorvexctl approve” to continue.",
          "How to Allow the Extension…"}},
        {"the proxy waited for",
         false,
         true,
         std::nullopt,
         {"---", "i Allow the proxy with “sudo quorvexctl allow-proxy” to continue.",
          "How to Allow the Proxy…"},
         SetupObstacle::None,
         true},
        {"no daemon, over approval and error",
         true,
         false,
         QString("The network extension is not running"),
         {"---", "i The network extension isn’t running.", "How to Start the Extension…"},
         SetupObstacle::DaemonNotRunning},
        {"not installed, over everything",
         true,
         true,
         QString("Install Quorvex first"),
         {"---", "i Install Quorvex to use the network extension.", "How to Install Quorvex…"},
         SetupObstacle::ProgramNotInstalled,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ToolsFixture tools;
        tools.world.neighbours.network.approval = c.approval;
        tools.world.neighbours.network.busy = c.busy;
        tools.world.neighbours.network.error = c.error;
        tools.world.neighbours.network.obstacle = c.obstacle;
        tools.world.neighbours.network.proxyAllowance = c.proxyAllowance;
        MenuRows rows;
        tools.builder().appendExtensionState(rows);
        EXPECT_EQ(outline(rows), c.expected);
    }
}

} // namespace
} // namespace quorvex
