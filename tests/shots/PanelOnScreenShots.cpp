#include "shots/Shots.h"

#include "actions/SimulatorActions.h"
#include "devices/core/PhysicalDevices.h"
#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/QuietNetwork.h"
#include "panel/sections/DeviceHub.h"
#include "panel/sections/DeviceHubPanelView.h"
#include "panel/sections/PanelDrop.h"
#include "panel/sections/X11Desktop.h"
#include "panel/sections/X11HubWorld.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/HotKey.h"
#include "platform/gui/x11/X11GlobalHotKeys.h"
#include "platform/gui/x11/X11WindowSystem.h"
#include "simulator/SimulatorApps.h"
#include "support/DemoWorld.h"
#include "support/FakeXcrun.h"
#include "support/FixtureHome.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <unistd.h>

namespace quorvex::shots {
namespace {

using test::DemoWorld;

/// The program's own wiring of hub and drop handler, on the X server of $DISPLAY with openbox
/// (when installed), the demo world's simulators behind the fake xcrun, and stand-in host windows
/// made by another connection. It moves forward through the states only.
class PanelOnScreen final : test::X11HubWorld {
public:
    PanelOnScreen()
        : m_desktop(qEnvironmentVariable("DISPLAY").toStdString()) {
        m_desktop.startWindowManager();
        (void)startHub(qEnvironmentVariable("DISPLAY").toStdString());
    }

    int step() const { return m_step; }

    QImage advance() {
        ++m_step;
        switch (m_step) {
        case 1:
            // With no host in front the panel hides: the first picture has a host already.
            hub->startPanel();
            m_other =
                m_desktop.createWindow("Simulator", QStringLiteral("Apple Vision Pro \u2013 visionOS 1.0"),
                                       ::getppid(), QRect(60, 80, 360, 620), 0x9aa0a8);
            bringToFront(m_desktop, m_other);
            (void)QTest::qWaitFor([&] { return view() && !hub->panel().isSliding(); }, 5000);
            break;
        case 2:
            xcb_destroy_window(m_desktop.connection(), m_other);
            m_desktop.sync();
            m_host = m_desktop.createWindow("Simulator", QStringLiteral("iPhone 15 Pro \u2013 iOS 17.2"),
                                            ::getppid(), QRect(60, 80, 360, 620), 0xb8bcc4);
            bringToFront(m_desktop, m_host);
            (void)QTest::qWaitFor(
                [&] { return view() && hub->panel().simulator() && !hub->panel().apps().empty(); }, 10000);
            break;
        case 3:
            if (DeviceHubPanelView* target = view()) {
                m_dragged = std::make_unique<QMimeData>();
                m_dragged->setUrls({QUrl::fromLocalFile(folder.filePath("Dropped.app"))});
                QDragEnterEvent enter(target->rect().center(), Qt::CopyAction, m_dragged.get(),
                                      Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(target, &enter);
            }
            break;
        case 4: {
            if (DeviceHubPanelView* target = view()) {
                QDragLeaveEvent leave;
                QApplication::sendEvent(target, &leave);
            }
            nlohmann::json device = {
                {"identifier", "00008110-DEMO"},
                {"deviceProperties", {{"name", "Ana’s iPhone"}}},
                {"hardwareProperties",
                 {{"reality", "physical"}, {"platform", "iOS"}, {"marketingName", "iPhone 15"}}},
                {"connectionProperties", {{"tunnelState", "connected"}}}};
            fake.on({"devicectl", "list", "devices", "--json-output", "-", "-q"},
                    nlohmann::json{{"result", {{"devices", nlohmann::json::array({device})}}}}.dump());
            PhysicalDevices::shared().startPolling();
            (void)QTest::qWaitFor([] { return !PhysicalDevices::shared().devices().empty(); }, 10000);
            hub->setDeviceOverride(QStringLiteral("00008110-DEMO"));
            (void)QTest::qWaitFor([&] { return hub->panel().physicalDevice().has_value(); }, 10000);
            break;
        }
        case 5:
            // Every simulator shut down while the host stays in front: nothing is left to show.
            hub->setDeviceOverride(std::nullopt);
            fake.clearRules()
                .on({"simctl", "list", "devices", "booted", "-j"}, R"({"devices":{}})")
                .on({"devicectl", "list", "devices", "--json-output", "-", "-q"},
                    R"({"result":{"devices":[]}})");
            (void)SimulatorApps::shared().refresh();
            (void)QTest::qWaitFor(
                [&] { return SimulatorApps::shared().devices().empty() && !hub->panel().simulator(); },
                10000);
            break;
        default:
            return {};
        }
        QTest::qWait(400); // let every client repaint what moved
        m_desktop.sync();
        return m_desktop.grab();
    }

private:
    test::X11Desktop m_desktop;
    std::unique_ptr<QMimeData> m_dragged;
    xcb_window_t m_other = 0;
    xcb_window_t m_host = 0;
    int m_step = 0;
};

std::unique_ptr<PanelOnScreen>& scene() {
    static std::unique_ptr<PanelOnScreen> made;
    return made;
}

} // namespace

QImage panelOnScreen(int step) {
    if (!scene() || scene()->step() >= step)
        scene() = std::make_unique<PanelOnScreen>();
    QImage picture;
    while (scene()->step() < step)
        picture = scene()->advance();
    return picture;
}

void endPanelOnScreen() {
    scene().reset();
}

} // namespace quorvex::shots
