#pragma once

#include "actions/Permissions.h"
#include "actions/SimulatorActions.h"
#include "app/FakeNeighbourServices.h"
#include "app/StatusMenuController.h"
#include "app/Updates.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "storage/Cleanup.h"
#include "support/FakeClock.h"

#include <QSignalSpy>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace quorvex::test {

/// A status menu over an inventory the test sets by hand (`apps`, `devices`, published by a
/// refresh) with fake neighbours, for the per-app submenu and its flows. Leaves the program's
/// busy flag cleared when it ends, whatever the test did to it.
class AppMenuWorld {
public:
    AppMenuWorld()
        : simulatorApps(clock,
                        [this] {
                            ++scans;
                            return SimulatorApps::ScanResult{apps, devices};
                        })
        , permissions([](PermissionAction, std::optional<PermissionService>, const QString&, const QString&) {
            return true;
        })
        , updates({}, Updates::Ui{[] {}, [](const Updates::Alert&) { return 0; }, [](const QUrl&) {}})
        , controller(StatusMenuController::Models{simulatorApps, actions, permissions, Cleanup::shared(),
                                                  updates, neighbours.services(), clock, [] {}, [] {}},
                     false) {
        Cleanup::shared().setWorking(false);
    }
    ~AppMenuWorld() { Cleanup::shared().setWorking(false); }

    void publish() {
        const QFuture<void> done = simulatorApps.refresh();
        ASSERT_TRUE(QTest::qWaitFor([&] { return done.isFinished(); }, 30'000));
    }

    /// The per-app submenu as the filler builds it.
    MenuRows appMenu(const SimulatorApp& app) {
        MenuRows rows;
        controller.fillAppSubmenu(rows, app, !app.devices.isEmpty());
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
    StatusMenuController controller;
};

/// Waits for a flow's future; the toasts it showed are in `toasts`.
inline void finish(const QFuture<void>& future) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 30'000));
}

/// Records the toasts shown while it lives.
class ToastLog {
public:
    ToastLog()
        : m_spy(&Toast::presenter(), &ToastPresenter::toastShown) {}
    std::vector<ToastMessage> all() const {
        std::vector<ToastMessage> result;
        for (const QList<QVariant>& arguments : m_spy)
            result.push_back(arguments.at(0).value<ToastMessage>());
        return result;
    }
    QStringList titles() const {
        QStringList result;
        for (const ToastMessage& toast : all())
            result << toast.title;
        return result;
    }

private:
    QSignalSpy m_spy;
};

/// A menu as lines: "# header", "i info", "---", "title", "title >" (submenu), then
/// " (subtitle)", " ✓" / " ○" (toggle) and " {off}" (disabled).
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
        case MenuRow::Kind::lazySubmenu:
            line = row.title + " >";
            break;
        case MenuRow::Kind::action:
        case MenuRow::Kind::custom:
            line = QString(4 * row.indentation, ' ') + row.title;
            break;
        }
        if (row.subtitle)
            line += " (" + *row.subtitle + ")";
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

} // namespace quorvex::test
