#include "panel/DeviceHub.h"

#include "devices/PhysicalDevices.h"
#include "network/NetworkProfile.h"
#include "network/NetworkService.h"
#include "panel/DeviceHubShortcuts.h"
#include "platform/HotKey.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "simulator/SimulatorApps.h"
#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "support/FakeHotKeys.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

class IdleNetwork final : public NetworkService {
public:
    bool isActive() const override { return false; }
    QString summary() const override { return {}; }
    std::map<QString, AppNetwork> choice() const override { return {}; }
    std::vector<HostRule> hostRules() const override { return {}; }
    bool isBusy() const override { return false; }
    std::optional<QString> lastError() const override { return std::nullopt; }
    bool awaitingApproval() const override { return false; }
    void stopProxyForQuit(std::function<void()> done) override { done(); }
    void resetSetup(std::function<void(std::optional<QString>)> done) override { done(std::nullopt); }
    void toggleHostRule(const QString&) override {}
    void removeHostRule(const QString&) override {}
    bool addHostRule(const QString&) override { return false; }
    void showSetupGuideTour(const NetworkProfile&) override {}
    NetworkProfile profile(const SimulatorApp&) const override { return NetworkProfile::basic().front(); }
    void setProfile(const NetworkProfile&, const SimulatorApp&) override {}
};

// Without a display nothing is frontmost and nothing is booted: the hub still answers sensibly.
TEST(DeviceHubTest, WithoutADisplayOrADeviceTheHubSaysSoAndListsItsShortcuts) {
    test::FakeClock clock;
    HeadlessWindowSystem windows;
    SimulatorApps simulatorApps(clock, [] { return SimulatorApps::ScanResult{}; });
    PhysicalDevices physicalDevices(clock);
    IdleNetwork network;
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
