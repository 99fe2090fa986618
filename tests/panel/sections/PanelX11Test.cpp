// The tracker, the side panel and the window shortcuts against real X servers. This executable
// has its own main: Qt must talk to the test's Xvfb (with openbox when it is installed) from the
// start, so the panel is a real window there. Stand-in host windows are plain X windows of
// another client that carry the host's WM_CLASS.
#include "actions/Permissions.h"
#include "network/model/NetworkService.h"
#include "network/plan/NetworkProfile.h"
#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubShortcuts.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/PanelPlacement.h"
#include "panel/controller/QuietNetwork.h"
#include "panel/controller/SidePanelWindow.h"
#include "panel/sections/DeviceHubPanelView.h"
#include "panel/sections/LanguageTools.h"
#include "panel/sections/PanelServices.h"
#include "panel/sections/X11Desktop.h"
#include "panel/sections/X11TestMain.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/HotKey.h"
#include "platform/gui/x11/X11GlobalHotKeys.h"
#include "platform/gui/x11/X11WindowSystem.h"
#include "simulator/SimulatorApps.h"
#include "support/RecordingWorkspace.h"
#include "support/XvfbServer.h"

#include <QApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace quorvex {
namespace {

using test::x11;

const QString kHostTitle = QStringLiteral("iPhone 15 Pro Max – iOS 17.2");

TEST(X11WindowSystemTest, WithoutAWindowManagerFocusAndTheRootsChildrenTellTheStory) {
    test::XvfbServer xvfb;
    if (!xvfb.isRunning())
        GTEST_SKIP() << "Xvfb is not available";
    test::X11Desktop desktop(xvfb.display());
    auto windows = X11WindowSystem::connect(xvfb.display().c_str(), X11WindowSystem::Units::pixels);
    ASSERT_TRUE(windows);
    EXPECT_FALSE(windows->hasWindowManager());

    const qint64 hostPID = ::getppid();
    const auto host =
        desktop.createWindow("Simulator", kHostTitle, hostPID, QRect(40, 60, 300, 400), 0xc0c0c0);
    const auto editor =
        desktop.createWindow("Editor", "notes.txt", hostPID, QRect(200, 100, 300, 200), 0x4060a0);
    desktop.activate(host);

    const auto front = windows->frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->application.bundleID, "com.apple.iphonesimulator");
    EXPECT_EQ(front->application.pid, hostPID);
    EXPECT_EQ(front->window, host);
    EXPECT_EQ(windows->runningApplications("com.apple.iphonesimulator").size(), 1u);
    EXPECT_EQ(windows->focusedWindowTitle(hostPID), kHostTitle);
    EXPECT_EQ(windows->screens().front().frame, QRectF(0, 0, 640, 480));

    auto list = windows->windowList();
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[0].number, host) << "activated: raised to the front";
    EXPECT_EQ(list[0].bounds, QRectF(40, 60, 300, 400));
    EXPECT_EQ(list[0].layer, 0);
    EXPECT_EQ(list[0].ownerName, "Simulator");

    // Moving a window is announced once, and the list follows.
    QSignalSpy changed(windows.get(), &WindowSystem::changed);
    desktop.move(host, 80, 60);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(windows->windowList()[0].bounds, QRectF(80, 60, 300, 400));

    windows->orderWindow(editor, WindowSystem::Order::Below, host);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return windows->windowList().size() >= 2 && windows->windowList()[1].number == editor; },
        5000));
}

// Screens in desktop coordinates (y up from the first screen's bottom): one per monitor, the
// visible part from the work area of the desktop shown now, not of the first desktop.
TEST(X11WindowSystemTest, ScreensAreTheMonitorsLessTheCurrentDesktopsWorkArea) {
    test::XvfbServer xvfb("2560x800x24");
    if (!xvfb.isRunning())
        GTEST_SKIP() << "Xvfb is not available";
    test::X11Desktop desktop(xvfb.display());
    ASSERT_TRUE(desktop.setMonitors({QRect(0, 0, 1280, 800), QRect(1280, 0, 1280, 800)}));
    // Two desktops; the second, shown now, has a 30-pixel bar along the top.
    xcb_ewmh_connection_t ewmh;
    ASSERT_TRUE(
        xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(desktop.connection(), &ewmh), nullptr));
    xcb_ewmh_geometry_t areas[] = {{0, 0, 2560, 800}, {0, 30, 2560, 770}};
    xcb_ewmh_set_workarea(&ewmh, 0, 2, areas);
    xcb_ewmh_set_current_desktop(&ewmh, 0, 1);
    desktop.sync();
    xcb_ewmh_connection_wipe(&ewmh);

    auto windows = X11WindowSystem::connect(xvfb.display().c_str(), X11WindowSystem::Units::pixels);
    ASSERT_TRUE(windows);
    EXPECT_EQ(windows->screens(),
              (std::vector<WindowSystem::Screen>{{QRectF(0, 0, 1280, 800), QRectF(0, 0, 1280, 770)},
                                                 {QRectF(1280, 0, 1280, 800), QRectF(1280, 0, 1280, 770)}}));
}

double ownCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A server that dies leaves the connection's socket readable for ever; reading on would spin.
TEST(X11WindowSystemTest, AServerThatDiesIsLeftAloneInsteadOfReadForEver) {
    auto xvfb = std::make_unique<test::XvfbServer>();
    if (!xvfb->isRunning())
        GTEST_SKIP() << "Xvfb is not available";
    auto windows = X11WindowSystem::connect(xvfb->display().c_str(), X11WindowSystem::Units::pixels);
    ASSERT_TRUE(windows);
    ASSERT_TRUE(windows->isConnected());
    xvfb.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !windows->isConnected(); }, 5000));
    const double before = ownCpuSeconds();
    QTest::qWait(1000);
    EXPECT_LT(ownCpuSeconds() - before, 0.3) << "seconds of CPU in one second";
    EXPECT_TRUE(windows->windowList().empty());
    EXPECT_FALSE(windows->frontmostApplication());
}

// The whole chain on the Xvfb that Qt runs on.
struct PanelOnX11 : ::testing::Test {
    void SetUp() override {
        if (!x11().ready())
            GTEST_SKIP() << x11().missing;
        windows = X11WindowSystem::connect(x11().display.c_str());
        hotKeyService = X11GlobalHotKeys::connect(x11().display.c_str());
        ASSERT_TRUE(windows && hotKeyService);
        registry = std::make_unique<HotKeyRegistry>(*hotKeyService);
        defaults = std::make_unique<QSettings>(folder.filePath("defaults.ini"), QSettings::IniFormat);
        tracker = std::make_unique<DeviceHubTracker>(
            *windows, systemClock(),
            DeviceHubTracker::DeviceSources{[] {
                                                return std::vector<SimulatorDevice>{
                                                    {"U1", "iPhone 15 Pro Max",
                                                     QDateTime::fromSecsSinceEpoch(5)},
                                                    {"U2", "iPhone 15", QDateTime::fromSecsSinceEpoch(9)}};
                                            },
                                            {}});
        panel = std::make_unique<DeviceHubPanel>(DeviceHubPanel::Dependencies{
            *tracker,
            *windows,
            systemClock(),
            *defaults,
            {},
            [this]() -> std::unique_ptr<PanelWindow> {
                auto window = std::make_unique<SidePanelWindow>(*windows, new DeviceHubPanelView(*services));
                sideWindow = window.get();
                return window;
            },
            {}});
        shortcuts = std::make_unique<DeviceHubShortcuts>(
            DeviceHubShortcuts::Dependencies{*tracker,
                                             *panel,
                                             network,
                                             *registry,
                                             {},
                                             [this](bool copy) { shots.push_back(copy); },
                                             {},
                                             {},
                                             {}});
        services = std::make_unique<PanelServices>(PanelServices{*panel,
                                                                 *tracker,
                                                                 *shortcuts,
                                                                 SimulatorApps::shared(),
                                                                 network,
                                                                 Permissions::shared(),
                                                                 LanguageTools::simulator(),
                                                                 *defaults,
                                                                 systemClock(),
                                                                 workspace,
                                                                 {},
                                                                 {},
                                                                 {}});
    }
    void TearDown() override {
        shortcuts.reset();
        panel.reset(); // its window's view uses the services
        services.reset();
        tracker.reset();
        registry.reset();
    }

    // Another program's stand-in windows: the host showing the first simulator, and an editor.
    static xcb_window_t makeHost(const QRect& geometry = QRect(60, 80, 360, 560)) {
        return x11().desktop->createWindow("Simulator", kHostTitle, ::getppid(), geometry, 0xb8bcc4);
    }
    static xcb_window_t makeEditor(const QRect& geometry = QRect(700, 120, 480, 420)) {
        return x11().desktop->createWindow("Editor", "notes.txt – Editor", 1, geometry, 0x35507a);
    }

    // Asks for the activation again now and then: a busy window manager may drop a request.
    template <typename Predicate> bool activateUntil(xcb_window_t window, Predicate done) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            x11().desktop->activate(window);
            if (QTest::qWaitFor(done, 1000))
                return true;
        }
        return false;
    }

    // Right of the host with the gap between, counted in points: the server's pixels divided by
    // the scale, rounded as Qt rounds.
    static bool isBeside(const QRect& panel, const QRect& host) {
        const double gap = PanelPlacement::kGap * x11().scale;
        return std::abs(panel.left() - (host.right() + 1 + gap)) <= x11().scale - 1;
    }

    QRect panelGeometry() {
        return sideWindow ? x11().desktop->geometry(xcb_window_t(sideWindow->number())) : QRect();
    }

    QTemporaryDir folder;
    std::unique_ptr<X11WindowSystem> windows;
    std::unique_ptr<X11GlobalHotKeys> hotKeyService;
    std::unique_ptr<HotKeyRegistry> registry;
    std::unique_ptr<QSettings> defaults;
    test::QuietNetwork network;
    std::unique_ptr<DeviceHubTracker> tracker;
    std::unique_ptr<DeviceHubPanel> panel;
    std::unique_ptr<DeviceHubShortcuts> shortcuts;
    test::RecordingWorkspace workspace;
    std::unique_ptr<PanelServices> services;
    SidePanelWindow* sideWindow = nullptr;
    std::vector<bool> shots;
};

TEST_F(PanelOnX11, ThePanelFollowsTheHostAndTheShortcutsWorkOnlyWhileItIsInFront) {
    test::X11Desktop& desktop = *x11().desktop;
    const auto host = makeHost();
    const auto editor = makeEditor();
    shortcuts->install();
    panel->start();

    ASSERT_TRUE(activateUntil(host, [&] { return tracker->isFrontmost() && tracker->focusedUDID() == "U1"; }))
        << "the longer of two names in the title is the focused device";
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return sideWindow && sideWindow->isVisible() && !panel->isSliding(); }, 5000));
    const QRect hostOuter = desktop.geometry(host);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isBeside(panelGeometry(), hostOuter); }, 5000))
        << panelGeometry().left() << " host " << hostOuter.right();
    EXPECT_NEAR(panelGeometry().top(), hostOuter.top(), x11().scale - 1);
    EXPECT_NEAR(panelGeometry().height(), hostOuter.height(), x11().scale - 1);
    EXPECT_NEAR(panelGeometry().width(), PanelPlacement::kWidth * x11().scale, x11().scale - 1)
        << "as wide in points as on an unscaled desktop";
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return panel->simulator() && panel->simulator()->udid == "U1"; }, 5000));

    // The host moves: the panel follows, on events, well before the safety poll.
    desktop.move(host, 260, 60);
    const QRect moved = desktop.geometry(host);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isBeside(panelGeometry(), moved); }, 1900));

    desktop.type({XK_Control_L, XK_Alt_L, XK_s});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shots.size() == 1; }, 5000));
    desktop.type({XK_Control_L, XK_Alt_L, XK_c});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shots.size() == 2; }, 5000));
    EXPECT_EQ(shots, (std::vector<bool>{false, true}));

    // Another app in front: the keys are released and reach nobody of ours.
    ASSERT_TRUE(activateUntil(editor, [&] { return !tracker->isFrontmost(); }));
    desktop.type({XK_Control_L, XK_Alt_L, XK_s});
    QTest::qWait(300);
    EXPECT_EQ(shots.size(), 2u);

    // Back to the host, then the panel turned off: it slides under the host and is gone.
    ASSERT_TRUE(activateUntil(host, [&] { return tracker->isFrontmost(); }));
    panel->setEnabled(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sideWindow->isVisible() && !panel->isSliding(); }, 5000));
    xcb_destroy_window(desktop.connection(), host);
    xcb_destroy_window(desktop.connection(), editor);
    desktop.sync();
}

// Another app's window put between the host and the panel, over the panel: the panel goes back
// directly under the host, as a window manager's own list tells the order.
TEST_F(PanelOnX11, AWindowBetweenHostAndPanelIsNoticedAndThePanelGoesBackUnderTheHost) {
    test::X11Desktop& desktop = *x11().desktop;
    const auto host = makeHost();
    panel->start();
    // Beside the host's frame as it is once the window manager framed it.
    const auto besideHost = [&] { return isBeside(panelGeometry(), desktop.geometry(host)); };
    ASSERT_TRUE(activateUntil(host, [&] {
        return sideWindow && sideWindow->isVisible() && !panel->isSliding() && tracker->isFrontmost() &&
               besideHost();
    }));
    const QRect beside = panelGeometry();
    const auto panelNumber = xcb_window_t(sideWindow->number());
    const auto directlyUnderHost = [&] {
        const std::vector<xcb_window_t> order = desktop.stacking(); // bottom to top
        const auto panelAt = std::find(order.begin(), order.end(), panelNumber);
        return panelAt != order.end() && panelAt + 1 != order.end() && *(panelAt + 1) == host;
    };
    ASSERT_TRUE(QTest::qWaitFor(directlyUnderHost, 2000));

    const auto editor = makeEditor(QRect(beside.left() - 40, beside.top() + 40, 300, 300));
    desktop.activate(editor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tracker->isFrontmost(); }, 5000));
    ASSERT_TRUE(activateUntil(host, [&] { return tracker->isFrontmost(); }));
    EXPECT_TRUE(QTest::qWaitFor(directlyUnderHost, int(DeviceHubPanel::kHealInterval * 1000) + 300));
    EXPECT_TRUE(QTest::qWaitFor(besideHost, 2000)) << "panel at " << panelGeometry().x();

    // The other app in front again: it stays in front, the panel under the host.
    ASSERT_TRUE(activateUntil(editor, [&] { return !tracker->isFrontmost(); }));
    QTest::qWait(int(DeviceHubPanel::kHealInterval * 1000) * 2);
    EXPECT_TRUE(directlyUnderHost());
    EXPECT_EQ(desktop.stacking().back(), editor);
    xcb_destroy_window(desktop.connection(), host);
    xcb_destroy_window(desktop.connection(), editor);
    desktop.sync();
}

// The panel goes on the screen that holds the host's centre and stays within it: at that
// screen's right edge it goes left of the host even when the next screen has room.
TEST_F(PanelOnX11, ThePanelStaysOnTheScreenOfItsHostAndFlipsLeftAtThatScreensEdge) {
    test::X11Desktop& desktop = *x11().desktop;
    std::vector<QRect> screens = x11().monitors;
    if (screens.empty())
        screens = {QRect(0, 0, 1280, 800)};
    struct Case {
        const char* name;
        QRect host;
        bool left;
    };
    std::vector<Case> cases = {
        {"near the right edge of the first screen", QRect(screens[0].right() - 400, 80, 360, 560), true}};
    if (screens.size() > 1) {
        cases.push_back({"just right of the seam", QRect(screens[1].left() + 20, 80, 360, 560), false});
        cases.push_back({"near the right edge of the second screen",
                         QRect(screens[1].right() - 400, 80, 360, 560), true});
    }
    panel->start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto host = makeHost(c.host);
        const QRect& screen = *std::find_if(screens.begin(), screens.end(), [&](const QRect& each) {
            return each.contains(c.host.center());
        });
        QRect hostOuter;
        const auto placed = [&] {
            hostOuter = desktop.geometry(host); // the window manager may still be framing it
            const QRect at = panelGeometry();
            const double gap = PanelPlacement::kGap * x11().scale;
            const bool beside = c.left ? std::abs(at.right() + 1 + gap - hostOuter.left()) <= x11().scale - 1
                                       : isBeside(at, hostOuter);
            return sideWindow && sideWindow->isVisible() && !panel->isSliding() && beside;
        };
        EXPECT_TRUE(activateUntil(host, placed)) << "panel at " << panelGeometry().x() << " host at "
                                                 << hostOuter.x() << " to " << hostOuter.right();
        EXPECT_TRUE(screen.contains(panelGeometry())) << "on the host's own screen";
        xcb_destroy_window(desktop.connection(), host);
        desktop.sync();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !sideWindow->isVisible(); }, 5000));
    }
}

TEST_F(PanelOnX11, FocusMovedToAnotherWindowWithoutARaiseReleasesTheKeys) {
    test::X11Desktop& desktop = *x11().desktop;
    const auto host = makeHost();
    const auto editor = makeEditor();
    shortcuts->install();
    ASSERT_TRUE(activateUntil(host, [&] { return tracker->isFrontmost(); }));

    desktop.focus(editor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tracker->isFrontmost(); },
                                int(DeviceHubTracker::kFrontmostPoll * 1000) + 500));
    desktop.type({XK_Control_L, XK_Alt_L, XK_s});
    QTest::qWait(300);
    EXPECT_TRUE(shots.empty()) << "typed in the editor, not ours";
    xcb_destroy_window(desktop.connection(), host);
    xcb_destroy_window(desktop.connection(), editor);
    desktop.sync();
}

} // namespace
} // namespace quorvex
