#pragma once

#include "actions/Permissions.h"
#include "actions/SimulatorActions.h"
#include "app/AppSubmenuBuilder.h"
#include "app/ClearDataSubmenuBuilder.h"
#include "app/ConnectedDeviceSubmenuBuilder.h"
#include "app/FakeServices.h"
#include "app/SimulatorSubmenuBuilder.h"
#include "app/SnapshotMenuBuilder.h"
#include "app/StatusMenuController.h"
#include "app/Updates.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "storage/files/Cleanup.h"
#include "support/FakeClock.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"

#include <QFuture>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

// What the submenu tests share: a controller over fake neighbours and a hand-set inventory, and
// the menu as text lines.
namespace quorvex::test {

// A menu as lines: "# header", "i info", "---", "title", "title >" (submenu), "title >>" (lazy),
// action rows indented by four spaces a level, then " (subtitle)", " [badge]", " ✓" / " ○"
// (toggle) and " {off}" (disabled).
inline QStringList outline(const MenuRows& rows) {
    QStringList lines;
    for (const MenuRow& row : rows) {
        QString line;
        switch (row.kind) {
        case MenuRow::Kind::header:
            line = "# " + row.title;
            break;
        case MenuRow::Kind::info:
            line = "i " + row.title;
            break;
        case MenuRow::Kind::separator:
            line = "---";
            break;
        case MenuRow::Kind::tool:
            line = row.title + " >";
            break;
        case MenuRow::Kind::lazySubmenu:
            line = row.title + " >>";
            break;
        case MenuRow::Kind::action:
        case MenuRow::Kind::custom:
            line = QString(4 * row.indentation, ' ') + row.title;
            break;
        }
        if (row.subtitle)
            line += " (" + *row.subtitle + ")";
        if (row.badge)
            line += " [" + row.badge->text + "]";
        if (row.checked)
            line += *row.checked ? " ✓" : " ○";
        if (!row.enabled && row.kind != MenuRow::Kind::header && row.kind != MenuRow::Kind::info)
            line += " {off}";
        lines << line;
    }
    return lines;
}

inline const MenuRow* findRow(const MenuRows& rows, const QString& title) {
    for (const MenuRow& row : rows)
        if (row.title == title)
            return &row;
    return nullptr;
}

/// An app installed on the given simulators (bundle at /apps/<name>, no containers).
inline SimulatorApp simulatorApp(const QString& id, const QString& name,
                                 const std::vector<SimulatorDevice>& on,
                                 std::optional<QString> version = std::nullopt) {
    SimulatorApp result;
    result.id = id;
    result.name = name;
    result.bundleFolder = name + ".app";
    for (const SimulatorDevice& device : on) {
        result.devices << device.udid;
        result.installs.push_back(
            SimulatorInstall{device.udid, device.name, "/apps/" + name.toStdString(), {}, {}});
    }
    result.version = std::move(version);
    return result;
}

/// Waits for a flow's future; the flows finish on the GUI thread, so events must run meanwhile.
inline bool finishes(const QFuture<void>& future) {
    return QTest::qWaitFor([&] { return future.isFinished(); }, 30'000);
}

inline void finish(const QFuture<void>& future) {
    ASSERT_TRUE(finishes(future));
}

inline std::vector<ToastMessage> toastsOf(const QSignalSpy& spy) {
    std::vector<ToastMessage> result;
    for (const QList<QVariant>& call : spy)
        result.push_back(call.at(0).value<ToastMessage>());
    return result;
}

/// A status menu over an inventory the test sets by hand (`apps`, `devices`, published by a
/// refresh) with fake neighbours. Leaves the program's busy flag cleared when it ends, whatever
/// the test did to it.
class MenuTestWorld {
public:
    MenuTestWorld()
        : simulatorApps(clock,
                        [this] {
                            ++scans;
                            return SimulatorApps::ScanResult{apps, devices};
                        })
        , permissions([](PermissionAction, std::optional<PermissionService>, const QString&, const QString&) {
            return true;
        })
        , updates({}, Updates::Ui{[] {}, [](const Updates::Alert&) { return 0; }, [](const QUrl&) {}}) {
        Cleanup::shared().setWorking(false);
    }
    ~MenuTestWorld() { Cleanup::shared().setWorking(false); }

    void publish() { finish(simulatorApps.refresh()); }

    StatusMenuController& controller() {
        if (!m_controller)
            m_controller = std::make_unique<StatusMenuController>(
                StatusMenuController::Models{simulatorApps, actions, permissions, Cleanup::shared(), updates,
                                             neighbours.services(), clock, [] {}, [] {}},
                false);
        return *m_controller;
    }

    /// A weak handle to the controller's flows, as the submenu builders get it.
    StatusMenuFlows::Handle flows() { return StatusMenuFlows::Handle(&controller(), &controller()); }

    // The submenu builders over this world, each with the context the controller gives it.
    ClearDataSubmenuBuilder::Context clearDataContext() {
        return {neighbours.cleanupFlows, neighbours.cleanerWindow, Cleanup::shared()};
    }
    AppSubmenuBuilder::Context appBuilderContext() {
        return {neighbours.network,
                neighbours.deviceHub,
                neighbours.actionWindows,
                permissions,
                clock,
                clearDataContext(),
                flows()};
    }
    AppSubmenuBuilder appBuilder() { return AppSubmenuBuilder(appBuilderContext()); }
    SimulatorSubmenuBuilder simulatorBuilder() {
        return SimulatorSubmenuBuilder(
            {neighbours.actionWindows, neighbours.deviceHub, simulatorApps, flows()});
    }
    SimulatorSubmenuBuilder simulatorBuilder(std::chrono::milliseconds slowAnimationsReadTimeout) {
        return SimulatorSubmenuBuilder({neighbours.actionWindows, neighbours.deviceHub, simulatorApps,
                                        flows(), slowAnimationsReadTimeout});
    }
    ConnectedDeviceSubmenuBuilder connectedDeviceBuilder() {
        return ConnectedDeviceSubmenuBuilder({neighbours.deviceFlows, neighbours.deviceHub});
    }
    SnapshotMenuBuilder snapshotBuilder() { return SnapshotMenuBuilder(flows()); }

    /// The per-app submenu as the filler builds it.
    MenuRows appMenu(const SimulatorApp& app) {
        MenuRows rows;
        appBuilder().fill(rows, app, !app.devices.isEmpty());
        return rows;
    }

    std::atomic<int> scans = 0;
    FakeClock clock;
    FakeNeighbours neighbours;
    std::vector<SimulatorApp> apps;
    std::vector<SimulatorDevice> devices;
    SimulatorApps simulatorApps;
    SimulatorActions actions;
    Permissions permissions;
    Updates updates;

private:
    std::unique_ptr<StatusMenuController> m_controller;
};

// A Notes install on simulator `udid` whose data container holds one document, under the test HOME.
inline SimulatorInstall installOn(const QString& udid, const QString& name) {
    namespace fs = std::filesystem;
    const fs::path container = homeDirectoryURL() / "Library/Developer/CoreSimulator/Devices" /
                               udid.toStdString() / "data/Containers/Data/Application/NOTES";
    fs::create_directories(container / "Documents");
    fs::create_directories(container / "Library");
    std::ofstream(container / "Documents/note.txt") << "first";
    return SimulatorInstall{udid, name, "/nowhere/Notes.app", container, {}};
}

// The Notes app with those installs.
inline SimulatorApp notes(std::vector<SimulatorInstall> installs) {
    SimulatorApp app;
    app.id = "com.demo.notes";
    app.name = "Notes";
    for (const SimulatorInstall& install : installs)
        app.devices << install.udid;
    app.installs = std::move(installs);
    return app;
}

} // namespace quorvex::test
