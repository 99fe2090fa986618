#include "panel/sections/PanelRootState.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Kind = PanelRootState::Kind;

TEST(PanelRootStateTest, StateIsDecidedInOrder) {
    struct Case {
        const char* name;
        bool collapsed, device, app, simulator;
        Kind expected;
    };
    const std::vector<Case> cases = {
        {"collapsed wins over everything", true, true, true, true, Kind::Collapsed},
        {"a connected device wins over apps of an earlier simulator", false, true, true, true,
         Kind::ConnectedDevice},
        {"an app", false, false, true, true, Kind::App},
        {"a simulator without apps", false, false, false, true, Kind::NoApps},
        {"no target at all", false, false, false, false, Kind::NoSimulator},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PanelRootState::of(c.collapsed, c.device, c.app, c.simulator), c.expected);
    }
}

TEST(PanelRootStateTest, EmptyStatesNameTheHostOrTheSimulator) {
    using Empty = PanelRootState::EmptyState;
    EXPECT_EQ(PanelRootState::emptyState(Kind::NoSimulator, "Device Hub", std::nullopt),
              (Empty{"No Simulator Running", "iphone.slash", "Start a simulator in Device Hub."}));
    EXPECT_EQ(
        PanelRootState::emptyState(Kind::NoApps, "Simulator", QString("iPhone 16 %1")),
        (Empty{"No Apps Installed", "square.dashed", "Install an app on iPhone 16 %1 to control it here."}));
    EXPECT_EQ(PanelRootState::emptyState(Kind::NoApps, "Simulator", std::nullopt)->description,
              "Install an app on the simulator to control it here.");
    EXPECT_FALSE(PanelRootState::emptyState(Kind::App, "Simulator", QString("iPhone")));
}

} // namespace
} // namespace quorvex
