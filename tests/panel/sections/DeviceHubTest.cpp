#include "panel/sections/DeviceHub.h"

#include "devices/core/PhysicalDevices.h"
#include "network/model/NetworkService.h"
#include "network/plan/NetworkProfile.h"
#include "panel/controller/DeviceHubShortcuts.h"
#include "panel/controller/QuietNetwork.h"
#include "platform/gui/HotKey.h"
#include "platform/gui/headless/HeadlessWindowSystem.h"
#include "simulator/SimulatorApps.h"
#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "support/FakeHotKeys.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// Without a display nothing is frontmost and nothing is booted: the hub still answers sensibly.
TEST(DeviceHubTest, WithoutADisplayOrADeviceTheHubSaysSoAndListsItsShortcuts) {
    test::FakeClock clock;
    HeadlessWindowSystem windows;
    SimulatorApps simulatorApps(clock, [] { return SimulatorApps::ScanResult{}; });
    PhysicalDevices physicalDevices(clock);
    test::QuietNetwork network;
    test::FakeHotKeys hotKeyService;
    HotKeyRegistry registry(hotKeyService);
    test::FakeClipboard clipboard;
    test::ToastLog toasts;
    DeviceHub hub(
        {windows, clock, sharedDefaults(), simulatorApps, physicalDevices, network, registry, clipboard, {}});

    hub.installShortcuts();
    hub.startPanel();
    EXPECT_EQ(hub.hostName(), "Simulator");
    EXPECT_FALSE(hub.canReadTitles());
    EXPECT_EQ(hub.targetUDID(), std::nullopt);
    EXPECT_EQ(hub.targetDevice(), std::nullopt);
    EXPECT_TRUE(hub.isPanelEnabled());
    EXPECT_EQ(hotKeyService.count(test::FakeHotKeys::Call::Register), 0) << "no host in front";

    const auto rows = hub.windowShortcuts();
    ASSERT_EQ(rows.size(), DeviceHubShortcuts::table().size());
    EXPECT_EQ(rows[1].keys, "Ctrl+Alt+S");
    EXPECT_EQ(rows[1].title, "Take Screenshot");

    hub.takeScreenshot(false);
    EXPECT_EQ(toasts.messages().back(),
              (ToastMessage{"No device in Simulator", std::nullopt, "camera", true}));
}

} // namespace
} // namespace quorvex
