#pragma once

#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/FakePanelWindow.h"
#include "simulator/SimulatorApps.h"
#include "support/FakeClock.h"
#include "support/FakeWindowSystem.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <mutex>

namespace quorvex::test {

/// A running side-panel controller for the app sections: Simulator frontmost showing "iPhone 15"
/// (U1), the apps the test lists installed on it, and `launchctl` answering `running`.
struct AppPanelWorld {
    static inline const QString kHostBundle = QStringLiteral("com.apple.iphonesimulator");
    static constexpr quint64 kHost = 7;
    static constexpr quint64 kPanel = 500;

    static SimulatorApp app(const QString& id, const QString& name,
                            const std::optional<QString>& version = {},
                            const std::optional<std::filesystem::path>& container = {}) {
        SimulatorApp a;
        a.id = id;
        a.name = name;
        a.version = version;
        a.devices = {QStringLiteral("U1")};
        a.installs.push_back({QStringLiteral("U1"), QStringLiteral("iPhone 15"), {}, container, {}});
        return a;
    }

    AppPanelWorld() {
        windows.setScreens({{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 900)}});
        windows.setWindows({FakeWindowSystem::window(kHost, 42, QRectF(100, 100, 800, 700)),
                            FakeWindowSystem::window(kPanel, QCoreApplication::applicationPid(), QRectF())});
        windows.setTitle(42, "iPhone 15");
        windows.setFrontmost(kHostBundle, 42, kHost);
        tracker = std::make_unique<DeviceHubTracker>(
            windows, clock,
            DeviceHubTracker::DeviceSources{[this] { return booted; },
                                            [] { return std::vector<PhysicalDevice>{}; }});
        panel = std::make_unique<DeviceHubPanel>(DeviceHubPanel::Dependencies{
            *tracker, windows, clock, defaults, [this] { return apps; },
            [this] { return std::make_unique<FakePanelWindow>(window, kPanel, &windows); },
            [this](const QString&) -> std::optional<QByteArray> {
                std::lock_guard lock(runningLock);
                QByteArray output;
                for (const QString& id : running)
                    output += "123\t0\tUIKitApplication:" + id.toUtf8() + "[0x1]\n";
                return output;
            }});
        panel->start();
    }

    /// Probes the running apps once and waits until the panel has taken the answer.
    [[nodiscard]] bool probe(const QStringList& ids) {
        {
            std::lock_guard lock(runningLock);
            running = ids;
        }
        bool done = false;
        panel->pollRunningApps([&done] { done = true; });
        return QTest::qWaitFor([&done] { return done; }, 5000);
    }

    QTemporaryDir folder;
    QSettings defaults{folder.filePath("defaults.ini"), QSettings::IniFormat};
    FakeWindowSystem windows;
    FakeClock clock;
    std::vector<SimulatorDevice> booted = {{"U1", "iPhone 15", QDateTime::fromSecsSinceEpoch(10)}};
    std::vector<SimulatorApp> apps;
    FakePanelWindow::State window;
    std::mutex runningLock;
    QStringList running;
    SimulatorApps simulators{clock, [] { return SimulatorApps::ScanResult{}; }};
    std::unique_ptr<DeviceHubTracker> tracker;
    std::unique_ptr<DeviceHubPanel> panel;
};

} // namespace quorvex::test
