#pragma once

#include "actions/Permissions.h"
#include "network/model/NetworkService.h"
#include "network/plan/NetworkProfile.h"
#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubShortcuts.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/FakePanelWindow.h"
#include "panel/controller/QuietNetwork.h"
#include "panel/sections/LanguageTools.h"
#include "panel/sections/PanelServices.h"
#include "platform/gui/HotKey.h"
#include "simulator/SimulatorApps.h"
#include "support/FakeClock.h"
#include "support/FakeHotKeys.h"
#include "support/FakeWindowSystem.h"
#include "support/RecordingWorkspace.h"
#include "windows/ActionWindowsService.h"

#include <QCoreApplication>
#include <QFuture>
#include <QSemaphore>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>
#include <mutex>

namespace quorvex::test {

// Simulators that answer nothing: the language card reads no values and every write fails. The
// devices read are noted (on the pool's threads).
class SilentLanguageTools final : public LanguageTools {
public:
    DeviceTools::LanguageAndRegion languageAndRegion(const QString& udid) override {
        std::lock_guard guard(m_lock);
        m_read << udid;
        return {};
    }
    bool setLanguageAndRegion(const QString&, const QString&, const QString&) override { return false; }
    bool terminateApp(const QString&, const QString&) override { return false; }
    bool launchApp(const QString&, const QString&) override { return false; }

    QStringList read() {
        std::lock_guard guard(m_lock);
        return m_read;
    }

private:
    std::mutex m_lock;
    QStringList m_read;
};

// Action windows that open nothing, for a panel whose rows must be there but are not pressed.
class QuietActionWindows final : public ActionWindowsService {
public:
    void openDeepLinkWindow(const SimulatorApp&) override {}
    void openPushWindow(const SimulatorApp&) override {}
    void showStatusBarWindow(const std::vector<SimulatorDevice>&, const SimulatorDevice&) override {}
    void screenshot(const QString&, bool) override {}
};

/// The side panel's controller, tracker and shortcuts on fakes, with scripted simulator and
/// device commands, for the panel's views. Nothing is frontmost, so the target is the simulator
/// booted last, or the device picked with `pick`.
struct PanelViewWorld {
    QTemporaryDir folder;
    std::unique_ptr<QSettings> defaults;
    FakeWindowSystem windows;
    FakeClock clock;
    test::QuietNetwork network;
    FakeHotKeys hotKeyService;
    HotKeyRegistry registry{hotKeyService};
    RecordingWorkspace workspace;
    FakePanelWindow::State window;
    SimulatorApps simulatorApps{clock, [] { return SimulatorApps::ScanResult{}; }};
    Permissions permissions{[](PermissionAction, std::optional<PermissionService>, const QString&,
                               const QString&) { return true; }};
    SilentLanguageTools languageTools;

    std::vector<SimulatorDevice> booted;
    std::vector<PhysicalDevice> connected;
    std::vector<SimulatorApp> apps;

    // The commands' world, read and written on the views' pools.
    std::mutex lock;
    std::map<QString, bool> slowAnimations; // per UDID
    bool writesSucceed = true;
    bool holdNextRead = false; // the next slow-animation read waits for `readGate`
    QSemaphore readGate;
    bool statusBarSucceeds = true;
    QStringList commandLog;
    std::vector<bool> screenshots;

    std::unique_ptr<DeviceHubTracker> tracker;
    std::unique_ptr<DeviceHubPanel> panel;
    std::unique_ptr<DeviceHubShortcuts> shortcuts;
    std::unique_ptr<PanelServices> services;

    /// `canReadTitles`: whether the desktop lets the tracker read window titles from the start.
    explicit PanelViewWorld(bool canReadTitles = true) {
        windows.setCanReadTitles(canReadTitles);
        defaults = std::make_unique<QSettings>(folder.filePath("defaults.ini"), QSettings::IniFormat);
        tracker = std::make_unique<DeviceHubTracker>(
            windows, clock,
            DeviceHubTracker::DeviceSources{[this] { return booted; }, [this] { return connected; }});
        panel = std::make_unique<DeviceHubPanel>(DeviceHubPanel::Dependencies{
            *tracker, windows, clock, *defaults, [this] { return apps; },
            [this] { return std::make_unique<FakePanelWindow>(window, 500, &windows); },
            [](const QString&) -> std::optional<QByteArray> { return QByteArray(); }});
        auto logged = [this](const QString& name) {
            return [this, name](const QString& udid) -> std::optional<QString> {
                std::lock_guard guard(lock);
                commandLog << name + " " + udid;
                return QStringLiteral("done");
            };
        };
        shortcuts = std::make_unique<DeviceHubShortcuts>(
            DeviceHubShortcuts::Dependencies{*tracker,
                                             *panel,
                                             network,
                                             registry,
                                             {},
                                             [this](bool copy) { screenshots.push_back(copy); },
                                             logged("shake"),
                                             logged("appearance"),
                                             logged("memory")});
        PanelCommands commands{
            [this](const QString& udid) {
                std::unique_lock guard(lock);
                commandLog << "read " + udid;
                const bool on = slowAnimations[udid];
                if (holdNextRead) { // answers what it found, once released
                    holdNextRead = false;
                    guard.unlock();
                    readGate.acquire();
                }
                return on;
            },
            [this](bool on, const QString& udid) {
                std::lock_guard guard(lock);
                commandLog << QStringLiteral("write %1 %2").arg(on ? "on" : "off", udid);
                if (writesSucceed)
                    slowAnimations[udid] = on;
                return writesSucceed;
            },
            [this](PhysicalDeviceTools::StatusBarPreset preset, const QString& id) {
                std::lock_guard guard(lock);
                commandLog << "preset " + PhysicalDeviceTools::rawValue(preset) + " " + id;
                return statusBarSucceeds;
            },
            [this](const QString& id) {
                std::lock_guard guard(lock);
                commandLog << "clear " + id;
                return statusBarSucceeds;
            },
        };
        services =
            std::make_unique<PanelServices>(PanelServices{*panel,
                                                          *tracker,
                                                          *shortcuts,
                                                          simulatorApps,
                                                          network,
                                                          permissions,
                                                          languageTools,
                                                          *defaults,
                                                          clock,
                                                          workspace,
                                                          std::move(commands),
                                                          [this](bool copy) { screenshots.push_back(copy); },
                                                          {}});
    }

    ~PanelViewWorld() {
        shortcuts.reset();
        panel.reset();
    }

    /// Lets every held read go, so no pool is left waiting when a test ends early.
    void releaseReads() { readGate.release(100); }

    QStringList log() {
        std::lock_guard guard(lock);
        return commandLog;
    }

    /// Picks a device by hand, as the device menu does.
    void pick(const QString& id) { panel->setDeviceOverride(id); }

    /// Waits for a future whose continuation runs on the GUI thread.
    template <typename T> static void finish(QFuture<T> future) {
        while (!future.isFinished())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();
    }

    static SimulatorApp app(const QString& id, const QString& name, const QStringList& devices) {
        SimulatorApp a;
        a.id = id;
        a.name = name;
        a.devices = devices;
        for (const QString& udid : devices)
            a.installs.push_back({udid, udid, {}, {}, {}});
        return a;
    }
};

} // namespace quorvex::test
