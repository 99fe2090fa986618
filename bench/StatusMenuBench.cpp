// How long one opening of the status menu takes: building the whole tree of rows from the models
// and rendering its top level (the submenus filled at once included, the lazy ones not), with 20
// booted simulators. The reference builds the same number of plain QActions into a QMenu, the
// least any menu of that size costs.
#include "actions/Permissions.h"
#include "actions/SimulatorActions.h"
#include "app/StatusMenuController.h"
#include "app/Updates.h"
#include "devices/core/PhysicalDevices.h"
#include "devices/flows/DeviceFlows.h"
#include "network/guide/NetworkSystem.h"
#include "network/guide/SetupIllustrations.h"
#include "panel/sections/DeviceHub.h"
#include "platform/core/Clock.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/HotKey.h"
#include "platform/gui/Workspace.h"
#include "platform/gui/headless/HeadlessGlobalHotKeys.h"
#include "platform/gui/headless/HeadlessWindowSystem.h"
#include "simulator/SimulatorApps.h"
#include "storage/cleaner/CleanerWindowService.h"
#include "storage/cleaner/CleanupFlows.h"
#include "storage/files/Cleanup.h"
#include "tools/Environment.h"
#include "windows/DeviceScreenshot.h"
#include "windows/ScreenshotThumbnail.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMenu>

#include <memory>

namespace quorvex {
namespace {

constexpr int kSimulators = 20;
constexpr int kAppsPerSimulator = 60;

// `shared`: the same 60 apps on every simulator (60 rows); otherwise 60 apps of each simulator's
// own (1,200 rows, the worst case).
SimulatorApps::ScanResult world(bool shared) {
    SimulatorApps::ScanResult result;
    for (int d = 0; d < kSimulators; ++d) {
        const QString udid = QStringLiteral("00000000-0000-4000-8000-%1").arg(d, 12, 10, QLatin1Char('0'));
        result.devices.push_back(
            {udid, QStringLiteral("iPhone %1").arg(d), QDateTime::fromSecsSinceEpoch(1'700'000'000 + d)});
    }
    const int appCount = shared ? kAppsPerSimulator : kAppsPerSimulator * kSimulators;
    for (int a = 0; a < appCount; ++a) {
        SimulatorApp app;
        app.id = QStringLiteral("com.bench.app%1").arg(a);
        app.name = QStringLiteral("App %1").arg(a, 4, 10, QLatin1Char('0'));
        app.bundleFolder = app.name + QStringLiteral(".app");
        app.version = QStringLiteral("1.0 (1)");
        for (int d = 0; d < kSimulators; ++d) {
            if (!shared && a / kAppsPerSimulator != d)
                continue;
            const SimulatorDevice& device = result.devices[size_t(d)];
            app.devices << device.udid;
            app.installs.push_back(
                {device.udid, device.name, "/bench/" + app.bundleFolder.toStdString(), {}, {}});
        }
        result.apps.push_back(std::move(app));
    }
    return result;
}

// Opening the menu never reaches the action windows.
struct NoActionWindows final : ActionWindowsService {
    void openDeepLinkWindow(const SimulatorApp&) override {}
    void openPushWindow(const SimulatorApp&) override {}
    void showStatusBarWindow(const std::vector<SimulatorDevice>&, const SimulatorDevice&) override {}
    void screenshot(const QString&, bool) override {}
};

// Opening the menu never opens the cleaner.
struct NoCleanerWindow final : CleanerWindowService {
    void show(const std::optional<QString>&, const std::optional<SimulatorApp>&) override {}
};

struct Menu {
    explicit Menu(bool shared)
        : result(world(shared))
        , simulatorApps(systemClock(), [this] { return result; })
        , deviceHub({windowSystem,
                     systemClock(),
                     sharedDefaults(),
                     simulatorApps,
                     physicalDevices,
                     networkSystem.service(),
                     hotKeys,
                     Clipboard::system(),
                     {}})
        , updates({}) {
        const QFuture<void> done = simulatorApps.refresh();
        while (!done.isFinished())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        controller = std::make_unique<StatusMenuController>(
            StatusMenuController::Models{
                simulatorApps,
                actions,
                permissions,
                Cleanup::shared(),
                updates,
                {networkSystem.service(), deviceHub, windows, deviceFlows, cleanupFlows, cleaner},
                systemClock(),
                {},
                {}},
            false);
    }

    SimulatorApps::ScanResult result;
    SimulatorApps simulatorApps;
    SimulatorActions actions;
    Permissions permissions;
    // The real network side, with no daemon to answer: nothing shaped, as on a fresh install.
    NetworkSystem networkSystem{systemClock(), setupIllustrations(systemClock())};
    HeadlessWindowSystem windowSystem;
    HeadlessGlobalHotKeys hotKeyService;
    HotKeyRegistry hotKeys{hotKeyService};
    PhysicalDevices physicalDevices{systemClock()};
    DeviceHub deviceHub;
    NoActionWindows windows;
    DeviceScreenshot screenshots{systemClock(), Clipboard::system(),
                                 DeviceScreenshot::systemTools(ScreenshotThumbnail::shared())};
    DeviceFlows deviceFlows{physicalDevices, screenshots, Workspace::system()};
    CleanupFlows cleanupFlows{simulatorApps};
    NoCleanerWindow cleaner;
    Updates updates;
    std::unique_ptr<StatusMenuController> controller;
};

void BM_StatusMenuOpening(benchmark::State& state) {
    Menu menu(state.range(0) != 0);
    for (auto _ : state) {
        menu.controller->rebuildMenu();
        benchmark::DoNotOptimize(menu.controller->menu().actions().size());
    }
    state.counters["topLevelItems"] = double(menu.controller->menu().actions().size());
}

void BM_PlainQActionsReference(benchmark::State& state) {
    Menu reference(state.range(0) != 0);
    reference.controller->rebuildMenu();
    const qsizetype count = reference.controller->menu().actions().size();
    QMenu menu;
    const QIcon icon(QPixmap(16, 16));
    for (auto _ : state) {
        menu.clear();
        for (qsizetype i = 0; i < count; ++i)
            menu.addAction(icon, QStringLiteral("Item %1").arg(i));
        benchmark::DoNotOptimize(menu.actions().size());
    }
    state.counters["topLevelItems"] = double(count);
}

BENCHMARK(BM_StatusMenuOpening)
    ->ArgName("sameAppsOnEverySimulator")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainQActionsReference)
    ->ArgName("sameAppsOnEverySimulator")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quorvex
