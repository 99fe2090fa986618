// Drops on the side panel against a real X server and the demo world answered by the fake xcrun:
// the panel is a real window beside a stand-in host window, items reach it both as the widget's
// own drop events and as real drags through the X server from another window, and what a drop
// starts is read back from the fake tool's call log. This executable has its own main, so Qt runs on the
// test's Xvfb from the start.
#include "actions/SimulatorActions.h"
#include "devices/core/PhysicalDevices.h"
#include "network/model/NetworkService.h"
#include "network/plan/NetworkProfile.h"
#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/QuietNetwork.h"
#include "panel/sections/DeviceHub.h"
#include "panel/sections/DeviceHubPanelView.h"
#include "panel/sections/PanelDrop.h"
#include "panel/sections/X11Desktop.h"
#include "panel/sections/X11HubWorld.h"
#include "panel/sections/X11TestMain.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/HotKey.h"
#include "platform/gui/x11/X11GlobalHotKeys.h"
#include "platform/gui/x11/X11WindowSystem.h"
#include "simulator/SimulatorApps.h"
#include "support/DemoWorld.h"
#include "support/FakeXcrun.h"
#include "support/FixtureHome.h"
#include "support/XvfbServer.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <xcb/xtest.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using test::DemoWorld;

using test::x11;

const QString kHostTitle = QStringLiteral("iPhone 15 Pro \u2013 iOS 17.2");

// The program's own wiring of hub and drop handler (as the menu-bar frame builds it), on the
// test's X server, with the demo world's simulators behind the fake xcrun.
struct PanelDropOnX11 : ::testing::Test, test::X11HubWorld {
    void SetUp() override {
        if (!x11().ready())
            GTEST_SKIP() << x11().missing;
        ASSERT_TRUE(startHub(x11().display)) << "the hub is up and the inventory read the demo world";
    }
    void TearDown() override { stopHub(); }

    // Shows the panel beside a host window that shows the phone of the demo world.
    xcb_window_t showBesideHost() {
        const auto host = x11().desktop->createWindow("Simulator", kHostTitle, ::getppid(),
                                                      QRect(60, 80, 360, 620), 0xb8bcc4);
        hub->startPanel();
        bringToFront(*x11().desktop, host);
        // The title is read a moment after the window comes to the front; a device picked by hand
        // before that would be dropped again when the focus is first seen.
        (void)QTest::qWaitFor([&] { return hub->tracker().focusedUDID() == DemoWorld::kPhone; }, 5000);
        return host;
    }

    // What a drag hands the panel: the URLs as a file manager writes them.
    static std::unique_ptr<QMimeData> dragData(const QList<QUrl>& urls) {
        auto data = std::make_unique<QMimeData>();
        data->setUrls(urls);
        return data;
    }

    // Enters, moves over and drops on the panel's view at its centre, as the window system
    // delivers a drag to the widget under the pointer.
    void dropOnPanel(const QList<QUrl>& urls) {
        DeviceHubPanelView* target = view();
        ASSERT_TRUE(target);
        const auto data = dragData(urls);
        const QPoint centre = target->rect().center();
        QDragEnterEvent enter(centre, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDragMoveEvent move(centre, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent dropped(QPointF(centre), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        EXPECT_TRUE(dropped.isAccepted());
    }

    // Waits, with a bound, for the fake tool to have been called with these arguments; a last
    // argument "*" stands for any one argument.
    bool called(const std::vector<std::string>& args) {
        return QTest::qWaitFor(
            [&] {
                for (const auto& call : fake.argumentLists()) {
                    if (call.size() != args.size())
                        continue;
                    bool same = true;
                    for (size_t i = 0; i < args.size() && same; ++i)
                        same = call[i] == args[i] || (i + 1 == args.size() && args[i] == "*");
                    if (same)
                        return true;
                }
                return false;
            },
            10000);
    }

    std::string logText() const {
        std::string text;
        for (const auto& call : fake.argumentLists()) {
            for (const auto& arg : call)
                text += arg + " ";
            text += "\n";
        }
        return text;
    }
};

TEST_F(PanelDropOnX11, AnAppInstallsAPushFileIsSentAndALinkOpensOnTheHostsSimulator) {
    const auto host = showBesideHost();
    ASSERT_TRUE(hub->tracker().isFrontmost());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return view() && hub->panel().simulator() && hub->panel().simulator()->udid == DemoWorld::kPhone;
        },
        10000));

    const fs::path drops = fs::path(folder.path().toStdString()) / "drops";
    const fs::path bundle = drops / "Dropped.app";
    fs::create_directories(bundle);
    std::ofstream(bundle / "Info.plist") << R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>com.example.dropped</string></dict></plist>
)";
    const fs::path push = drops / "welcome.apns";
    std::ofstream(push) << R"({"aps":{"alert":"Hi"},"Simulator Target Bundle":"com.example.orders"})";
    const std::string phone = DemoWorld::kPhone;

    struct Case {
        const char* what;
        QUrl dropped;
        std::vector<std::string> expected; // the tool call the drop must make
    };
    const Case cases[] = {
        {"app bundle",
         QUrl::fromLocalFile(QString::fromStdString(bundle.string())),
         {"simctl", "install", phone, bundle.string()}},
        {"push payload",
         QUrl::fromLocalFile(QString::fromStdString(push.string())),
         // The payload goes through a copy of the file.
         {"simctl", "push", phone, "com.example.orders", "*"}},
        {"link",
         QUrl(QStringLiteral("https://example.com/orders?id=7")),
         {"simctl", "openurl", phone, "https://example.com/orders?id=7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.clearLog();
        dropOnPanel({c.dropped});
        EXPECT_TRUE(called(c.expected)) << logText();
    }
    // The installed app is launched once the inventory knows it.
    fake.clearLog();
    dropOnPanel({QUrl::fromLocalFile(QString::fromStdString(bundle.string()))});
    EXPECT_TRUE(called({"simctl", "launch", phone, "com.example.dropped"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return drop->pendingTasks() == 0; }, 10000));

    xcb_destroy_window(x11().desktop->connection(), host);
    x11().desktop->sync();
}

// The pointer of the test's X server, driven through XTest as a person's hand would move it.
void pointer(uint8_t type, int x, int y, uint8_t button = 0) {
    xcb_connection_t* connection = x11().desktop->connection();
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_test_fake_input(connection, type, button, XCB_CURRENT_TIME, root, int16_t(x), int16_t(y), 0);
    xcb_flush(connection);
}

// A real drag through the X server's drag-and-drop protocol: a small window of the test's own
// starts a drag with the pointer held down, the pointer travels onto the panel, lingers and is
// released there. What the panel receives is whatever the window system delivers. Returns the
// drag's outcome; `hovered` tells whether the drop highlight showed on the way.
Qt::DropAction dragOnto(QWidget& target, const QByteArray& uriList, bool& hovered) {
    QWidget source;
    source.setWindowTitle(QStringLiteral("Files"));
    const QRect screen = target.screen()->geometry();
    source.setGeometry(screen.right() - 170, screen.top() + 300, 160, 120);
    source.show();
    if (!QTest::qWaitForWindowExposed(&source))
        return Qt::IgnoreAction;
    // The pointer moves in the server's pixels, Qt places in its own (scaled) ones.
    const auto onServer = [&screen, ratio = target.screen()->devicePixelRatio()](QPoint point) {
        return screen.topLeft() + (point - screen.topLeft()) * ratio;
    };
    const QPoint from = onServer(source.mapToGlobal(source.rect().center()));
    const QPoint to = onServer(target.mapToGlobal(target.rect().center()));
    pointer(XCB_MOTION_NOTIFY, from.x(), from.y());
    pointer(XCB_BUTTON_PRESS, from.x(), from.y(), 1);
    x11().desktop->sync();
    QTest::qWait(50); // the press reaches the source before the drag grabs the pointer

    // The hand's path, one step per timer tick, run inside the drag's own event loop.
    std::vector<QPoint> path;
    for (int step = 1; step <= 20; ++step)
        path.push_back(from + (to - from) * step / 20);
    for (int wiggle = 0; wiggle < 5; ++wiggle)
        path.push_back(to + QPoint(wiggle % 2, 0));
    size_t next = 0;
    hovered = false;
    QTimer hand;
    hand.setInterval(30);
    QObject::connect(&hand, &QTimer::timeout, [&] {
        if (next < path.size()) {
            pointer(XCB_MOTION_NOTIFY, path[next].x(), path[next].y());
            if (next > 20) {
                hovered = hovered || qobject_cast<DeviceHubPanelView*>(&target)->isDropTargeted();
            }
            ++next;
        } else {
            pointer(XCB_BUTTON_RELEASE, to.x(), to.y(), 1);
            hand.stop();
        }
    });
    hand.start();

    auto* drag = new QDrag(&source);
    auto* data = new QMimeData;
    // Written as a file manager or browser writes it.
    data->setData(QStringLiteral("text/uri-list"), uriList);
    drag->setMimeData(data);
    // A drag the window system never ends would hold the test for good.
    QTimer::singleShot(15000, &source, [] { QDrag::cancel(); });
    const Qt::DropAction done = drag->exec(Qt::CopyAction);
    hand.stop();
    return done;
}

TEST_F(PanelDropOnX11, RealDragsFromAnotherWindowInstallPushAndOpen) {
    const auto host = showBesideHost();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return view() && hub->panel().simulator() && hub->panel().simulator()->udid == DemoWorld::kPhone;
        },
        10000));
    (void)QTest::qWaitFor([&] { return !hub->panel().isSliding(); }, 5000);

    const fs::path drops = fs::path(folder.path().toStdString()) / "dragged";
    const fs::path bundle = drops / "Dragged.app";
    fs::create_directories(bundle);
    std::ofstream(bundle / "Info.plist") << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>com.example.dragged</string></dict></plist>
)";
    const fs::path push = drops / "sale.apns";
    std::ofstream(push) << R"({"aps":{"alert":"Sale"},"Simulator Target Bundle":"com.example.weather"})";
    const std::string phone = DemoWorld::kPhone;
    struct Case {
        const char* what;
        QUrl dragged;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"link",
         QUrl(QStringLiteral("https://example.com/orders?id=9")),
         {"simctl", "openurl", phone, "https://example.com/orders?id=9"}},
        {"app bundle",
         QUrl::fromLocalFile(QString::fromStdString(bundle.string())),
         {"simctl", "install", phone, bundle.string()}},
        {"push payload",
         QUrl::fromLocalFile(QString::fromStdString(push.string())),
         {"simctl", "push", phone, "com.example.weather", "*"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.clearLog();
        DeviceHubPanelView* target = view();
        ASSERT_TRUE(target);
        bool hovered = false;
        EXPECT_EQ(dragOnto(*target, c.dragged.toEncoded() + "\r\n", hovered), Qt::CopyAction);
        EXPECT_TRUE(hovered) << "the drop highlight showed while the drag hovered";
        EXPECT_FALSE(target->isDropTargeted()) << "and went away with the drop";
        EXPECT_TRUE(called(c.expected)) << logText();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return drop->pendingTasks() == 0; }, 10000));

    xcb_destroy_window(x11().desktop->connection(), host);
    x11().desktop->sync();
}

TEST_F(PanelDropOnX11, ARealDragOnAConnectedDeviceOpensItsLinkAndLeavesFilesAlone) {
    const std::string id = "00008110-DRAG";
    nlohmann::json device = {{"identifier", id},
                             {"deviceProperties", {{"name", "Test iPhone"}}},
                             {"hardwareProperties", {{"reality", "physical"}, {"platform", "iOS"}}},
                             {"connectionProperties", {{"tunnelState", "connected"}}}};
    fake.on({"devicectl", "list", "devices", "--json-output", "-", "-q"},
            nlohmann::json{{"result", {{"devices", nlohmann::json::array({device})}}}}.dump())
        .on({"devicectl", "device", "process", "openURL", "**"});
    const auto host = showBesideHost();
    PhysicalDevices::shared().startPolling();
    ASSERT_TRUE(QTest::qWaitFor([] { return !PhysicalDevices::shared().devices().empty(); }, 10000));
    hub->setDeviceOverride(QString::fromStdString(id));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view() && hub->panel().physicalDevice().has_value(); }, 10000));
    (void)QTest::qWaitFor([&] { return !hub->panel().isSliding(); }, 5000);

    const fs::path bundle = fs::path(folder.path().toStdString()) / "Device.app";
    fs::create_directories(bundle);
    fake.clearLog();
    bool hovered = false;
    // Only the link is used, its path as dragged. (A Qt source re-encodes "text/uri-list" through
    // QUrl, which lower-cases the host, so the host's case cannot be shown from here.)
    const QByteArray items = QUrl::fromLocalFile(QString::fromStdString(bundle.string())).toEncoded() +
                             "\r\nmyapp://orders/Item7\r\n";
    EXPECT_EQ(dragOnto(*view(), items, hovered), Qt::CopyAction);
    EXPECT_TRUE(hovered);
    EXPECT_TRUE(
        called({"devicectl", "device", "process", "openURL", "--device", id, "myapp://orders/Item7", "-q"}))
        << logText();
    ASSERT_TRUE(QTest::qWaitFor([&] { return drop->pendingTasks() == 0; }, 10000));
    for (const auto& call : fake.argumentLists())
        EXPECT_FALSE(call.size() > 1 && call[0] == "simctl" && call[1] == "install") << logText();

    hub->setDeviceOverride(std::nullopt);
    xcb_destroy_window(x11().desktop->connection(), host);
    x11().desktop->sync();
}

} // namespace
} // namespace quorvex
