#pragma once

#include "actions/SimulatorActions.h"
#include "devices/core/PhysicalDevices.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/QuietNetwork.h"
#include "panel/sections/DeviceHub.h"
#include "panel/sections/DeviceHubPanelView.h"
#include "panel/sections/PanelDrop.h"
#include "panel/sections/X11Desktop.h"
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
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

namespace quorvex::test {

/// The program's own wiring of the side panel's hub and the drop handler (as the menu-bar frame
/// builds it) on an X server, with the demo world's simulators behind the fake xcrun: what the X11
/// drop tests and the on-screen pictures share.
struct X11HubWorld {
    FixtureHome world;
    FakeXcrun fake;
    QTemporaryDir folder;
    QuietNetwork network;
    std::unique_ptr<X11WindowSystem> windows;
    std::unique_ptr<X11GlobalHotKeys> hotKeyService;
    std::unique_ptr<HotKeyRegistry> registry;
    std::unique_ptr<QSettings> defaults;
    std::unique_ptr<DeviceHub> hub;
    std::unique_ptr<PanelDrop> drop;

    ~X11HubWorld() { stopHub(); }

    /// Connects to `display` and builds the hub once the inventory read the demo world; false
    /// when either did not happen.
    bool startHub(const std::string& display) {
        DemoWorld::build(world);
        world.answer(fake);
        fake.on({"simctl", "**"}); // every other simulator command succeeds silently
        windows = X11WindowSystem::connect(display.c_str());
        hotKeyService = X11GlobalHotKeys::connect(display.c_str());
        if (!windows || !hotKeyService)
            return false;
        registry = std::make_unique<HotKeyRegistry>(*hotKeyService);
        defaults = std::make_unique<QSettings>(folder.filePath("defaults.ini"), QSettings::IniFormat);
        if (!QTest::qWaitFor([] { return SimulatorApps::shared().devices().size() == 2; }, 10000))
            return false;
        hub = std::make_unique<DeviceHub>(DeviceHub::Dependencies{
            *windows, systemClock(), *defaults, SimulatorApps::shared(), PhysicalDevices::shared(), network,
            *registry, Clipboard::system(), [] {}});
        drop = std::make_unique<PanelDrop>(hub->panel(), systemClock(), SimulatorApps::shared(),
                                           SimulatorActions::shared());
        hub->setDropHandler([this](const QByteArray& uriList) { drop->handleUriList(uriList); });
        return true;
    }
    void stopHub() {
        drop.reset();
        hub.reset();
        registry.reset();
    }

    /// The panel's view while the panel shows.
    DeviceHubPanelView* view() const {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* found = top->findChild<DeviceHubPanelView*>(); found && top->isVisible())
                return found;
        return nullptr;
    }

    /// Activates `window` until the tracker sees a host in front (a few tries: a window manager
    /// may take a moment to map it).
    void bringToFront(X11Desktop& desktop, xcb_window_t window) {
        for (int attempt = 0; attempt < 10 && !hub->tracker().isFrontmost(); ++attempt) {
            desktop.activate(window);
            (void)QTest::qWaitFor([&] { return hub->tracker().isFrontmost(); }, 1000);
        }
    }
};

} // namespace quorvex::test
