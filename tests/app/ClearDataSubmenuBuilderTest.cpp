#include "app/ClearDataSubmenuBuilder.h"

#include "app/MenuTestWorld.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using test::outline;

const SimulatorDevice kPhone{"UDID-PHONE", "iPhone 15 Pro", QDateTime::fromSecsSinceEpoch(2000)};
const SimulatorDevice kPad{"UDID-PAD", "iPad Air", QDateTime::fromSecsSinceEpoch(1000)};

TEST(ClearDataSubmenuBuilderTest, QuickCleanOffersEveryTargetAndWaitsWhileALongTaskRuns) {
    test::MenuTestWorld world;
    MenuRows rows;
    ClearDataSubmenuBuilder(world.clearDataContext()).fill(rows, std::nullopt);
    EXPECT_EQ(
        outline(rows),
        QStringList({"# Quick Clean", "Clean DerivedData… (described)",
                     "Clean Swift Package Manager… (described)", "Clean Documentation Cache… (described)",
                     "Clean Old Logs… (described)", "---", "Close Xcode and Clean All… (described)"}));

    Cleanup::shared().setWorking(true);
    rows.clear();
    ClearDataSubmenuBuilder(world.clearDataContext()).fill(rows, std::nullopt);
    EXPECT_EQ(outline(rows).mid(1, 1), QStringList{"Clean DerivedData… (described) {off}"});
    EXPECT_EQ(outline(rows).last(), "i Cleaning…");
}

TEST(ClearDataSubmenuBuilderTest, AnAppsListTellsWhenItHasNoBuildDataAndWhereItsDataCanBeErased) {
    struct Case {
        const char* name;
        std::vector<QString> folders;
        std::vector<SimulatorDevice> on;
        QString derivedData;
        QString erase;
    };
    const std::vector<Case> cases = {
        {"no build data, not running",
         {},
         {},
         "Clean DerivedData… (No build data found) {off}",
         "Erase App Data in Simulator… (Simulator not running) {off}"},
        {"build data, one simulator",
         {"/p/Maps"},
         {kPhone},
         "Clean DerivedData… (described)",
         "Erase App Data in Simulator… (iPhone 15 Pro)"},
        {"build data, two simulators",
         {"/p/Maps"},
         {kPhone, kPad},
         "Clean DerivedData… (described)",
         "Erase App Data in Simulator… (2 simulators)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MenuTestWorld world;
        world.neighbours.cleanupFlows.folders = c.folders;
        MenuRows rows;
        ClearDataSubmenuBuilder(world.clearDataContext())
            .fill(rows, test::simulatorApp("com.demo.maps", "Maps", c.on));
        const QStringList lines = outline(rows);
        ASSERT_EQ(lines.size(), 11);
        EXPECT_EQ(lines[0], "# Xcode Build Data");
        EXPECT_EQ(lines[1], c.derivedData);
        EXPECT_EQ(lines.mid(5, 4), QStringList({"---", "# Archives",
                                                "Archives… (Review and remove this app’s archives)", "---"}));
        EXPECT_EQ(lines[10], c.erase);
        rows[7].handler();
        EXPECT_EQ(world.neighbours.cleanerWindow.shows, 1);
    }
}

} // namespace
} // namespace quorvex
