#include "panel/controller/DeviceHubPanel.h"

#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/FakePanelWindow.h"
#include "support/FakeClock.h"
#include "support/FakeWindowSystem.h"
#include "support/HangingTool.h"

#include <QLoggingCategory>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace quorvex {
namespace {

using Order = WindowSystem::Order;
using test::FakePanelWindow;
using test::FakeWindowSystem;

const QString kSimulator = QStringLiteral("com.apple.iphonesimulator");
constexpr quint64 kHost = 7;
constexpr quint64 kPanel = 500;

SimulatorApp app(const QString& id, const QStringList& devices) {
    SimulatorApp a;
    a.id = id;
    a.name = id;
    a.devices = devices;
    for (const QString& udid : a.devices)
        a.installs.push_back({udid, udid, {}, {}, {}});
    return a;
}

// Simulator (pid 42) frontmost with its window at top-left (100, 100), 800 x 700, on a 1440 x 900
// screen: in desktop terms the host is (100, 100, 800, 700) and the panel belongs at x 906.
struct PanelFixture : ::testing::Test {
    QTemporaryDir folder;
    std::unique_ptr<QSettings> defaults;
    FakeWindowSystem windows;
    test::FakeClock clock;
    std::vector<SimulatorDevice> booted = {{"U1", "iPhone 15", QDateTime::fromSecsSinceEpoch(10)},
                                           {"U2", "iPad Air", QDateTime::fromSecsSinceEpoch(20)}};
    std::vector<PhysicalDevice> connected;
    std::vector<SimulatorApp> apps = {app("org.demo.notes", {"U1"}), app("org.demo.maps", {"U1", "U2"})};
    FakePanelWindow::State window;
    std::mutex probeLock;
    std::vector<QString> probed;
    QByteArray probeOutput = "123\t0\tUIKitApplication:org.demo.maps[0x1]\n";
    std::unique_ptr<DeviceHubTracker> tracker;
    std::unique_ptr<DeviceHubPanel> panel;

    void SetUp() override {
        defaults = std::make_unique<QSettings>(folder.filePath("defaults.ini"), QSettings::IniFormat);
        windows.setScreens({{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 900)}});
        windows.setWindows({FakeWindowSystem::window(kHost, 42, QRectF(100, 100, 800, 700)),
                            FakeWindowSystem::window(kPanel, QCoreApplication::applicationPid(), QRectF())});
        windows.setTitle(42, "iPhone 15");
        windows.setFrontmost(kSimulator, 42, kHost);
    }

    void make() {
        tracker = std::make_unique<DeviceHubTracker>(
            windows, clock,
            DeviceHubTracker::DeviceSources{[this] { return booted; }, [this] { return connected; }});
        panel = std::make_unique<DeviceHubPanel>(DeviceHubPanel::Dependencies{
            *tracker, windows, clock, *defaults, [this] { return apps; },
            [this] { return std::make_unique<FakePanelWindow>(window, kPanel, &windows); },
            [this](const QString& udid) -> std::optional<QByteArray> {
                std::lock_guard lock(probeLock);
                probed.push_back(udid);
                return probeOutput;
            }});
    }
    void start() {
        make();
        panel->start();
    }
    size_t probes() {
        std::lock_guard lock(probeLock);
        return probed.size();
    }
};

TEST_F(PanelFixture, SettingsDefaultToOnAndEveryWriteIsStoredAndApplied) {
    struct Case {
        const char* name;
        std::optional<QVariant> stored;
        bool enabled;
    };
    for (const Case& c : std::vector<Case>{{"absent", std::nullopt, true},
                                           {"not a Bool", QVariant(QStringLiteral("no")), true},
                                           {"false", QVariant(false), false}}) {
        SCOPED_TRACE(c.name);
        defaults->clear();
        if (c.stored)
            defaults->setValue(DeviceHubPanel::kEnabledKey, *c.stored);
        make();
        EXPECT_EQ(panel->isEnabled(), c.enabled);
        EXPECT_FALSE(panel->isCollapsed());
    }
    defaults->clear();
    make();
    panel->setEnabled(true); // unchanged, still written and applied
    EXPECT_EQ(defaults->value(DeviceHubPanel::kEnabledKey), QVariant(true));
    panel->setCollapsed(true);
    EXPECT_EQ(defaults->value(DeviceHubPanel::kCollapsedKey), QVariant(true));
}

TEST_F(PanelFixture, TheOverrideLastsUntilTheHostsFocusMoves) {
    start();
    EXPECT_EQ(panel->targetUDID(), "U1");
    panel->setDeviceOverride("U2");
    EXPECT_EQ(panel->targetUDID(), "U2");
    panel->update();
    EXPECT_EQ(panel->deviceOverride(), "U2") << "same focus: the pick stays";

    // The picked simulator shuts down: the tracker's target, the pick kept; it boots again.
    const auto all = booted;
    booted = {all[0]};
    EXPECT_EQ(panel->targetUDID(), "U1");
    EXPECT_EQ(panel->deviceOverride(), "U2");
    booted = all;
    EXPECT_EQ(panel->targetUDID(), "U2");

    // The host now shows device B: the pick ends even though it named B.
    windows.setTitle(42, "iPad Air");
    clock.advance(DeviceHubTracker::kFrontmostPoll);
    EXPECT_EQ(tracker->focusedUDID(), "U2");
    EXPECT_EQ(panel->deviceOverride(), std::nullopt);
}

TEST_F(PanelFixture, TheAppIsTheChoiceElseTheRunningOneElseTheFirst) {
    make();
    EXPECT_EQ(panel->targetUDID(), "U2") << "nothing focused before start: the latest boot";
    EXPECT_EQ(panel->app()->id, "org.demo.maps");
    panel->setDeviceOverride("U1");
    EXPECT_EQ(panel->apps().size(), 2u);
    EXPECT_EQ(panel->app()->id, "org.demo.notes") << "the first app";
    panel->setApp(apps[1]);
    EXPECT_EQ(panel->app()->id, "org.demo.maps");
    EXPECT_EQ(panel->install()->udid, "U1");
    panel->setDeviceOverride("U2");
    panel->setDeviceOverride("U1");
    EXPECT_EQ(panel->app()->id, "org.demo.maps") << "choices belong to their device";
    apps.erase(apps.begin() + 1);
    EXPECT_EQ(panel->app()->id, "org.demo.notes") << "a chosen app that is gone falls back";
    panel->setApp(std::nullopt);
    EXPECT_EQ(panel->app()->id, "org.demo.notes");

    booted.clear();
    panel->setApp(apps[0]);
    EXPECT_EQ(panel->app(), std::nullopt) << "no target: nothing stored, nothing read";
}

TEST_F(PanelFixture, AConnectedDeviceHasNoAppsAndIsNeverProbedWithSimctl) {
    connected = {{"P1", "Work iPhone", std::nullopt, std::nullopt, {}}};
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return probes() == 1; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->runningAppIDs().size() == 1; }));
    panel->setDeviceOverride("P1");
    EXPECT_EQ(panel->physicalDevice()->name, "Work iPhone");
    EXPECT_EQ(panel->simulator(), std::nullopt);
    EXPECT_TRUE(panel->apps().empty());
    EXPECT_EQ(panel->app(), std::nullopt);
    EXPECT_EQ(panel->install(), std::nullopt);
    clock.advance(DeviceHubPanel::kProbeInterval);
    EXPECT_TRUE(panel->runningAppIDs().empty()) << "the empty set is still published";
    EXPECT_EQ(probes(), 1u);
}

TEST_F(PanelFixture, AProbeAnswersOnlyForTheDeviceItAsked) {
    start();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return panel->runningAppIDs() == std::set<QString>{"org.demo.maps"}; }));
    probeOutput = "9\t0\tUIKitApplication:org.demo.notes[0x2]\n";
    clock.advance(DeviceHubPanel::kProbeInterval);
    panel->setDeviceOverride("U2"); // the target moves while the probe of U1 runs
    ASSERT_TRUE(QTest::qWaitFor([&] { return probes() == 2; }));
    QTest::qWait(50);
    EXPECT_EQ(panel->runningAppIDs(), std::set<QString>{"org.demo.maps"});

    // Another app in front: no probe at all.
    windows.setFrontmost("org.example.editor", 77, 99);
    windows.announceChange();
    clock.advance(DeviceHubPanel::kProbeInterval * 2);
    QTest::qWait(20);
    EXPECT_EQ(probes(), 2u);
}

TEST_F(PanelFixture, AtQuitAProbeStillRunningHasItsToolEnded) {
    const QString started = folder.filePath("started");
    tracker = std::make_unique<DeviceHubTracker>(
        windows, clock,
        DeviceHubTracker::DeviceSources{[this] { return booted; }, [this] { return connected; }});
    panel = std::make_unique<DeviceHubPanel>(DeviceHubPanel::Dependencies{
        *tracker, windows, clock, *defaults, [this] { return apps; },
        [this] { return std::make_unique<FakePanelWindow>(window, kPanel, &windows); },
        [started](const QString&) -> std::optional<QByteArray> {
            test::runHangingTool(started);
            return std::nullopt;
        }});
    panel->start();
    ASSERT_TRUE(test::waitUntilStarted(started));
    const auto closing = std::chrono::steady_clock::now();
    panel.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(15));
}

TEST(DeviceHubPanelRulesTest, ParseLaunchctlAppIDsKeepsOnlyAppsWithAProcess) {
    struct Case {
        const char* name;
        QString text;
        std::set<QString> expected;
    };
    const std::vector<Case> cases = {
        {"an app with a process", "123\t0\tUIKitApplication:org.demo.notes[0x1a2b]", {"org.demo.notes"}},
        {"no process", "-\t0\tUIKitApplication:org.demo.notes[0x1a2b]", {}},
        {"spaces around the pid, no bracket",
         " 123 \t0\tUIKitApplication:org.demo.notes",
         {"org.demo.notes"}},
        {"a signed pid", "+12\t0\tUIKitApplication:org.demo.a", {"org.demo.a"}},
        {"a daemon", "123\t0\torg.demo.daemon", {}},
        {"empty bundle ID", "123\t0\tUIKitApplication:[0x1]", {}},
        {"the header line", "PID\tStatus\tLabel", {}},
        {"two fields only", "123\tUIKitApplication:org.demo.notes", {}},
        {"duplicates collapse, blank lines skipped",
         "1\t0\tUIKitApplication:a.b[1]\n\n2\t0\tUIKitApplication:a.b[2]\t\textra",
         {"a.b"}},
        {"empty output", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DeviceHubPanel::parseLaunchctlAppIDs(c.text), c.expected);
    }
}

TEST_F(PanelFixture, ThePanelSlidesOutFromUnderTheHostAndFollowsIt) {
    start();
    ASSERT_EQ(window.animations.size(), 1u);
    EXPECT_EQ(window.orders.front(), std::make_pair(Order::Below, kHost));
    EXPECT_EQ(window.frame, QRectF(584, 100, 316, 700)) << "starts under the host, right edges together";
    EXPECT_EQ(window.animations[0].frame, QRectF(906, 100, 316, 700));
    EXPECT_EQ(window.animations[0].easing, PanelWindow::Easing::easeOut);
    EXPECT_TRUE(panel->isSliding());

    // Updates while sliding neither move nor re-order.
    panel->update();
    EXPECT_EQ(window.orders.size(), 1u);
    FakePanelWindow::finish(window);
    EXPECT_FALSE(panel->isSliding());
    EXPECT_EQ(window.orders.back(), std::make_pair(Order::Below, kHost));

    // The host moves: the panel jumps along, without animation.
    windows.windows()[0].bounds = QRectF(50, 100, 800, 700);
    windows.announceChange();
    EXPECT_EQ(window.frame, QRectF(856, 100, 316, 700));
    EXPECT_EQ(window.animations.size(), 1u);

    // Collapsing jumps to the strip.
    panel->setCollapsed(true);
    EXPECT_EQ(window.frame, QRectF(856, 728, 26, 72));
}

TEST_F(PanelFixture, APanelThatMustOverlapTheHostFadesInAboveIt) {
    windows.windows()[0].bounds = QRectF(300, 100, 900, 700);
    start();
    EXPECT_EQ(window.frame, QRectF(878, 100, 316, 700));
    EXPECT_EQ(window.alpha, 0.0);
    EXPECT_EQ(window.orders.front(), std::make_pair(Order::Above, kHost));
    EXPECT_EQ(window.animations[0].alpha, 1.0);
    FakePanelWindow::finish(window);
    EXPECT_EQ(window.orders.back(), std::make_pair(Order::Above, kHost));
}

TEST_F(PanelFixture, TurningThePanelOffSlidesItUnderTheHostAndAShowWaitsForTheHide) {
    start();
    FakePanelWindow::finish(window);
    panel->setEnabled(false);
    ASSERT_EQ(window.animations.size(), 2u);
    EXPECT_EQ(window.animations[1].frame, QRectF(584, 100, 316, 700));
    EXPECT_EQ(window.animations[1].easing, PanelWindow::Easing::easeIn);
    panel->setEnabled(true);
    EXPECT_EQ(window.animations.size(), 2u) << "the show waits for the hide";
    FakePanelWindow::finish(window);
    EXPECT_EQ(window.orderOuts, 1);
    EXPECT_EQ(window.alpha, 1.0);
    ASSERT_EQ(window.animations.size(), 3u) << "the hide's completion shows it again";
    EXPECT_EQ(window.animations[2].frame, QRectF(906, 100, 316, 700));
}

TEST_F(PanelFixture, AHostWindowThatGoesAwayHidesThePanelAtOnce) {
    start();
    FakePanelWindow::finish(window);
    windows.windows().erase(windows.windows().begin()); // minimised
    windows.announceChange();
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.animations.size(), 1u);
}

TEST_F(PanelFixture, HealPutsThePanelBackUnderTheHostWithinHalfASecond) {
    windows.setApplyOrders(true);
    start();
    FakePanelWindow::finish(window);
    window.orders.clear();
    clock.advance(DeviceHubPanel::kHealInterval);
    EXPECT_TRUE(window.orders.empty()) << "directly under the host: left alone";

    auto& list = windows.windows();
    list.insert(list.begin() + 1, FakeWindowSystem::window(9, 77, QRectF(0, 0, 50, 50), 24)); // a menu
    clock.advance(DeviceHubPanel::kHealInterval);
    EXPECT_TRUE(window.orders.empty()) << "a menu between them is tolerated";

    list.insert(list.begin() + 1, FakeWindowSystem::window(10, 77, QRectF(0, 0, 500, 500)));
    clock.advance(DeviceHubPanel::kHealInterval);
    ASSERT_EQ(window.orders.size(), 1u);
    EXPECT_EQ(window.orders.back(), std::make_pair(Order::Below, kHost));
}

} // namespace
} // namespace quorvex

namespace quorvex {
namespace {

// A desktop that ignores the restack: the repair stops after a few tries instead of asking twice a
// second for ever, and tries again once the host window changes.
TEST_F(PanelFixture, ARepairThatHasNoEffectStopsAfterAFewTries) {
    start();
    FakePanelWindow::finish(window);
    auto& list = windows.windows();
    list.insert(list.begin() + 1, FakeWindowSystem::window(10, 77, QRectF(0, 0, 500, 500)));
    window.orders.clear();
    for (int tick = 0; tick < 20; ++tick)
        clock.advance(DeviceHubPanel::kHealInterval);
    EXPECT_EQ(window.orders.size(), size_t(DeviceHubPanel::kMaxRepairs));

    list.front().bounds = QRectF(140, 100, 800, 700); // the host moves
    windows.announceChange();
    window.orders.clear();
    for (int tick = 0; tick < 20; ++tick)
        clock.advance(DeviceHubPanel::kHealInterval);
    EXPECT_EQ(window.orders.size(), size_t(DeviceHubPanel::kMaxRepairs)) << "tried again after the move";
}

} // namespace
} // namespace quorvex

namespace quorvex {
namespace {

QStringList* panelMessages = nullptr;
void capturePanelMessage(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (panelMessages && QByteArray(context.category) == "quorvex.panel")
        panelMessages->append(message);
}

// Where other apps' windows cannot be seen (Wayland), the panel could never be placed: it says so
// once, and nothing polls.
TEST_F(PanelFixture, OnADesktopThatHidesOtherWindowsNothingRunsAndTheLogSaysWhyOnce) {
    windows.setHiddenWindowsReason(QStringLiteral("Wayland keeps other apps’ windows hidden"));
    QStringList log;
    panelMessages = &log;
    QLoggingCategory::setFilterRules(QStringLiteral("quorvex.panel.info=true"));
    const QtMessageHandler previous = qInstallMessageHandler(capturePanelMessage);
    start();
    panel->start();
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    panelMessages = nullptr;
    EXPECT_EQ(clock.pendingCount(), 0u) << "no timer at all";
    EXPECT_EQ(log, QStringList{"Not following Simulator or Device Hub windows: Wayland keeps other apps’ "
                               "windows hidden"});
    clock.advance(60);
    EXPECT_EQ(probes(), 0u);
    EXPECT_FALSE(window.visible);
}

} // namespace
} // namespace quorvex
