#include "panel/controller/DeviceHubTracker.h"

#include "support/FakeClock.h"
#include "support/FakeWindowSystem.h"
#include "support/FakeXcrun.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Host = DeviceHubTracker::Host;
using test::FakeWindowSystem;

const QString kSimulator = QStringLiteral("com.apple.iphonesimulator");
const QString kDeviceHub = QStringLiteral("com.apple.dt.Devices");

SimulatorDevice device(const QString& udid, const QString& name,
                       std::optional<qint64> bootedAt = std::nullopt) {
    return {udid, name, bootedAt ? std::optional(QDateTime::fromSecsSinceEpoch(*bootedAt)) : std::nullopt};
}

TEST(DeviceHubTrackerRulesTest, PickWindowTakesTheHostsMainWindow) {
    using W = DeviceHubTracker::CandidateWindow;
    struct Case {
        const char* name;
        std::vector<W> windows;
        bool simulator;
        std::optional<quint64> expected;
    };
    const std::vector<Case> cases = {
        {"a Simulator window 150 wide is too small", {{QRectF(0, 0, 150, 400), 1}}, true, std::nullopt},
        {"151 by 151 is taken", {{QRectF(0, 0, 151, 151), 1}}, true, 1},
        {"Simulator: the frontmost candidate",
         {{QRectF(0, 0, 100, 900), 1}, {QRectF(0, 0, 300, 300), 2}, {QRectF(0, 0, 900, 900), 3}},
         true,
         2},
        {"Device Hub needs more than 200",
         {{QRectF(0, 0, 200, 800), 1}, {QRectF(0, 0, 190, 190), 2}},
         false,
         std::nullopt},
        {"Device Hub: the largest area",
         {{QRectF(0, 0, 300, 300), 1}, {QRectF(0, 0, 500, 400), 2}},
         false,
         2},
        {"Device Hub: equal areas keep the frontmost",
         {{QRectF(0, 0, 400, 300), 1}, {QRectF(0, 0, 300, 400), 2}},
         false,
         1},
        {"no windows", {}, false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto picked = DeviceHubTracker::pickWindow(c.windows, c.simulator);
        EXPECT_EQ(picked ? std::optional(picked->number) : std::nullopt, c.expected);
    }
}

TEST(DeviceHubTrackerRulesTest, MatchDeviceFindsTheDeviceNamedInTheTitle) {
    const auto a = device("A", "iPhone 15");
    const auto b = device("B", "iPhone 15 Pro Max");
    const auto c = device("C", "iPad Air");
    const auto twinOld = device("T1", "iPhone 15 Pro Max");
    const auto empty = device("E", "");
    struct Case {
        const char* name;
        QString title;
        std::vector<SimulatorDevice> devices;
        std::optional<QString> current;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases = {
        {"the longest name wins over its prefix", "iPhone 15 Pro Max – iOS 17.2", {a, b, c}, {}, "B"},
        {"upper case in the title still matches", "IPHONE 15 – IOS 17", {c, a}, {}, "A"},
        {"no device named", "Settings", {a, b}, {}, std::nullopt},
        {"an empty name never matches", "anything", {empty}, {}, std::nullopt},
        {"different names of equal length: the earlier",
         "iPad Air and iPad Pro",
         {c, device("D", "iPad Pro")},
         {},
         "C"},
        {"same-name twins keep the focused one", "iPhone 15 Pro Max – iOS 17.2", {twinOld, b}, "B", "B"},
        {"same-name twins without focus among them: no match",
         "iPhone 15 Pro Max – iOS 17.2",
         {twinOld, b},
         "C",
         std::nullopt},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        const auto match = DeviceHubTracker::matchDevice(tc.title, tc.devices, tc.current);
        EXPECT_EQ(match ? std::optional(match->udid) : std::nullopt, tc.expected);
    }
}

TEST(DeviceHubTrackerRulesTest, TargetIsTheFocusedKnownDeviceElseTheLatestBootedSimulator) {
    struct Case {
        const char* name;
        std::optional<QString> focused;
        std::vector<SimulatorDevice> booted;
        std::vector<SimulatorDevice> connected;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases = {
        {"focused and booted", "A", {device("A", "a", 1), device("B", "b", 9)}, {}, "A"},
        {"focused device shut down: the latest boot",
         "X",
         {device("A", "a", 1), device("B", "b", 9)},
         {},
         "B"},
        {"focused connected device", "P", {device("A", "a", 1)}, {device("P", "phone")}, "P"},
        {"same boot time: the name that sorts last",
         {},
         {device("A", "alpha", 5), device("B", "beta", 5)},
         {},
         "B"},
        {"no boot date loses to any boot date", {}, {device("A", "zulu"), device("B", "alpha", 1)}, {}, "B"},
        {"nothing booted, nothing focused", {}, {}, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<SimulatorDevice> known = c.booted;
        known.insert(known.end(), c.connected.begin(), c.connected.end());
        EXPECT_EQ(DeviceHubTracker::targetUDID(c.focused, known, c.booted), c.expected);
    }
}

// A tracker on a scripted window system: Simulator (pid 42) with one window on a 1440 x 900 screen.
struct TrackerFixture : ::testing::Test {
    FakeWindowSystem windows;
    test::FakeClock clock;
    std::vector<SimulatorDevice> booted = {device("U1", "iPhone 15", 10), device("U2", "iPad Air", 20)};
    std::vector<PhysicalDevice> connected;
    std::vector<std::filesystem::path> openedPaths;
    std::unique_ptr<DeviceHubTracker> tracker;

    void SetUp() override {
        windows.setScreens({{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875)}});
        windows.setWindows({FakeWindowSystem::window(7, 42, QRectF(100, 50, 400, 800))});
        windows.setTitle(42, "iPhone 15 – iOS 17.2");
        tracker = std::make_unique<DeviceHubTracker>(
            windows, clock,
            DeviceHubTracker::DeviceSources{[this] { return booted; }, [this] { return connected; }},
            [this](const std::filesystem::path& p) { openedPaths.push_back(p); });
    }
};

TEST_F(TrackerFixture, FollowsTheFrontmostHostAndItsWindowInDesktopCoordinates) {
    windows.setFrontmost(kSimulator, 42, 7);
    QSignalSpy changes(tracker.get(), &DeviceHubTracker::stateChanged);
    tracker->start();
    EXPECT_TRUE(tracker->isFrontmost());
    EXPECT_EQ(tracker->host(), Host::simulator);
    // Top-left y 50, height 800 on a 900-high screen: the bottom edge is at y 50 from the bottom.
    EXPECT_EQ(tracker->windowFrame(), QRectF(100, 50, 400, 800));
    EXPECT_EQ(tracker->windowNumber(), 7u);
    EXPECT_EQ(tracker->focusedUDID(), "U1");
    EXPECT_EQ(tracker->targetUDID(), "U1");
    EXPECT_EQ(tracker->targetDevice()->name, "iPhone 15");
    EXPECT_EQ(tracker->pollInterval(), DeviceHubTracker::kFrontmostPoll);
    EXPECT_EQ(changes.size(), 1);

    // A poll that finds nothing new tells nobody.
    clock.advance(DeviceHubTracker::kFrontmostPoll);
    EXPECT_EQ(changes.size(), 1);

    // Another app in front: not frontmost, slower poll, the host stays.
    windows.setFrontmost("org.example.editor", 77, 99);
    windows.announceChange();
    EXPECT_FALSE(tracker->isFrontmost());
    EXPECT_EQ(tracker->host(), Host::simulator);
    EXPECT_EQ(tracker->pollInterval(), DeviceHubTracker::kBackgroundPoll);
    EXPECT_EQ(changes.size(), 2);
}

TEST_F(TrackerFixture, TheSafetyPollNoticesAFrontmostChangeNobodyAnnounced) {
    windows.setFrontmost(kSimulator, 42, 7);
    tracker->start();
    ASSERT_TRUE(tracker->isFrontmost());
    windows.setFrontmost("org.example.editor", 77, 99); // no event
    clock.advance(DeviceHubTracker::kFrontmostPoll);
    EXPECT_FALSE(tracker->isFrontmost());
    EXPECT_EQ(tracker->pollInterval(), DeviceHubTracker::kBackgroundPoll);

    windows.setFrontmost(kSimulator, 42, 7);
    clock.advance(DeviceHubTracker::kBackgroundPoll);
    EXPECT_TRUE(tracker->isFrontmost()) << "and coming back unannounced too";
}

TEST_F(TrackerFixture, OurOwnPanelTakingTheFocusIsNotLeavingTheHost) {
    windows.setFrontmost(kSimulator, 42, 7);
    tracker->start();
    tracker->addPassiveWindow(500);
    windows.setFrontmost("quorvex", QCoreApplication::applicationPid(), 500);
    windows.announceChange();
    EXPECT_TRUE(tracker->isFrontmost());
    windows.setFrontmost("quorvex", QCoreApplication::applicationPid(), 501);
    windows.announceChange();
    EXPECT_FALSE(tracker->isFrontmost()) << "another window of ours is a real switch";
}

TEST_F(TrackerFixture, AQuitHostGivesWayToTheOtherOrToNone) {
    windows.setFrontmost(kSimulator, 42, 7);
    windows.addRunning({kDeviceHub, 43, "DeviceHub"});
    windows.windows().push_back(FakeWindowSystem::window(8, 43, QRectF(0, 0, 600, 600)));
    tracker->start();
    windows.quit(kSimulator);
    windows.setFrontmost("org.example.editor", 77, 99);
    windows.announceChange();
    EXPECT_EQ(tracker->host(), Host::deviceHub);
    EXPECT_EQ(tracker->windowNumber(), 8u);
    windows.quit(kDeviceHub);
    clock.advance(DeviceHubTracker::kBackgroundPoll);
    EXPECT_EQ(tracker->host(), std::nullopt);
    EXPECT_EQ(tracker->windowFrame(), std::nullopt);
    EXPECT_EQ(tracker->windowNumber(), std::nullopt);
    EXPECT_EQ(tracker->focusedUDID(), "U1") << "focus is never cleared";
}

TEST_F(TrackerFixture, TitlesAreReadAtMostEveryHalfSecondAndALateChangeIsStillSeen) {
    windows.setFrontmost(kSimulator, 42, 7);
    tracker->start();
    const int reads = windows.titleReads();
    windows.setTitle(42, "iPad Air – iPadOS 17");
    clock.advance(0.1);
    windows.announceChange();
    EXPECT_EQ(windows.titleReads(), reads) << "within the limit";
    EXPECT_EQ(tracker->focusedUDID(), "U1");
    clock.advance(0.45);
    EXPECT_EQ(windows.titleReads(), reads + 1) << "read again once the limit allows";
    EXPECT_EQ(tracker->focusedUDID(), "U2");

    windows.setTitle(42, "Settings");
    clock.advance(1.0);
    EXPECT_EQ(tracker->focusedUDID(), "U2") << "a title without a device keeps the focus";
}

TEST_F(TrackerFixture, WithoutTitleAccessTheTargetIsTheLatestBootAndAccessIsAskedAgain) {
    windows.setCanReadTitles(false);
    tracker = std::make_unique<DeviceHubTracker>(
        windows, clock,
        DeviceHubTracker::DeviceSources{[this] { return booted; }, [this] { return connected; }});
    windows.setFrontmost(kSimulator, 42, 7);
    tracker->start();
    EXPECT_FALSE(tracker->canReadTitles());
    EXPECT_EQ(tracker->focusedUDID(), std::nullopt);
    EXPECT_EQ(tracker->targetUDID(), "U2");
    windows.setCanReadTitles(true); // granted in the settings meanwhile
    clock.advance(DeviceHubTracker::kFrontmostPoll);
    EXPECT_TRUE(tracker->canReadTitles());
    EXPECT_EQ(tracker->focusedUDID(), "U1");
}

TEST_F(TrackerFixture, TheOwnerIsFoundThroughTheWindowListWhenTheAppHasNoPid) {
    windows.setFrontmost(kSimulator, 0, 7);
    windows.setWindows({FakeWindowSystem::window(3, 55, QRectF(0, 0, 900, 900), 0, "Editor"),
                        FakeWindowSystem::window(7, 42, QRectF(100, 50, 400, 800), 0, kSimulator)});
    windows.setProcessRunning(42, true);
    tracker->start();
    EXPECT_EQ(tracker->windowNumber(), 7u);
    // The cached owner died: searched again, and nothing is found.
    windows.setProcessRunning(42, false);
    windows.setWindows({});
    clock.advance(DeviceHubTracker::kFrontmostPoll);
    EXPECT_EQ(tracker->windowNumber(), std::nullopt);
}

TEST_F(TrackerFixture, WithNoScreenTheConvertedYIsMinusTheMaximumY) {
    windows.setScreens({});
    windows.setFrontmost(kSimulator, 42, 7);
    tracker->start();
    EXPECT_EQ(tracker->windowFrame(), QRectF(100, -850, 400, 800));
}

TEST_F(TrackerFixture, OpenHostFallsBackToTheDeveloperFolderAndHostNameFollowsTheDesktop) {
    EXPECT_EQ(tracker->hostName(), "Simulator");
    windows.setKnownApplication(kDeviceHub);
    DeviceHubTracker hub(windows, clock, {});
    EXPECT_EQ(hub.hostName(), "Device Hub");
    hub.openHost();
    EXPECT_EQ(windows.opened(), std::vector<QString>{kDeviceHub});

    // Simulator is unknown to this desktop: it is opened from the developer folder xcode-select
    // names, whitespace and all.
    test::FakeXcrun fake;
    fake.rule({{"tool", "xcode-select"},
               {"args", {"-p"}},
               {"stdout", "  /Applications/Xcode.app/Contents/Developer\n"}});
    tracker->openHost();
    EXPECT_EQ(openedPaths, std::vector<std::filesystem::path>{
                               "/Applications/Xcode.app/Contents/Developer/Applications/Simulator.app"});
    // Without xcode-select's answer nothing opens.
    fake.clearRules();
    tracker->openHost();
    EXPECT_EQ(openedPaths.size(), 1u);
}

} // namespace
} // namespace quorvex
