#include "app/SnapshotMenuBuilder.h"

#include "ui/Formatters.h"

namespace quorvex {

void SnapshotMenuBuilder::fill(MenuRows& rows, const SimulatorApp& app,
                               const std::vector<AppSnapshot>& snapshots) const {
    const StatusMenuFlows::Handle flows = m_flows;
    if (app.installs.size() < 2) {
        MenuRow save = MenuRow::action(
            QStringLiteral("Save Snapshot…"), QStringLiteral("plus.circle"), std::nullopt, [flows, app] {
                if (StatusMenuFlows* target = flows.get(); target && !app.installs.empty())
                    target->confirmSaveSnapshot(app, app.installs.front());
            });
        save.enabled = app.installs.size() == 1;
        rows.push_back(std::move(save));
    } else {
        MenuRow save =
            MenuRow::tool(QStringLiteral("Save Snapshot"), QStringLiteral("plus.circle"), std::nullopt);
        addSaveSnapshotRows(save.children, app);
        rows.push_back(std::move(save));
    }

    if (!snapshots.empty()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::header(QStringLiteral("Saved")));
    }
    for (const AppSnapshot& snapshot : snapshots) {
        MenuRow row = MenuRow::tool(snapshot.name, QStringLiteral("clock.arrow.circlepath"), std::nullopt);
        row.withSubtitle(Formatters::abbreviatedDateTime(snapshot.created) + QStringLiteral(" · ") +
                         snapshot.deviceName + QStringLiteral(" · ") + Formatters::fileSize(snapshot.size));
        fillSnapshotSubmenu(row.children, app, snapshot);
        rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::info(QStringLiteral("A snapshot holds the app’s documents, settings,\ncaches, "
                                                "and app group data. Keychain isn’t included."),
                                 QStringLiteral("info.circle")));
}

void SnapshotMenuBuilder::addSaveSnapshotRows(MenuRows& rows, const SimulatorApp& app) const {
    const StatusMenuFlows::Handle flows = m_flows;
    for (const SimulatorInstall& install : app.installs) {
        rows.push_back(MenuRow::action(QStringLiteral("From %1…").arg(install.deviceName),
                                       QStringLiteral("iphone"), std::nullopt, [flows, app, install] {
                                           if (StatusMenuFlows* target = flows.get())
                                               target->confirmSaveSnapshot(app, install);
                                       }));
    }
}

void SnapshotMenuBuilder::fillSnapshotSubmenu(MenuRows& rows, const SimulatorApp& app,
                                              const AppSnapshot& snapshot) const {
    const StatusMenuFlows::Handle flows = m_flows;
    if (app.installs.empty()) {
        rows.push_back(MenuRow::info(QStringLiteral("Start the app’s simulator to restore"),
                                     QStringLiteral("info.circle")));
    }
    for (const SimulatorInstall& install : app.installs) {
        const QString title = app.installs.size() == 1
                                  ? QStringLiteral("Restore…")
                                  : QStringLiteral("Restore to %1…").arg(install.deviceName);
        rows.push_back(MenuRow::action(title, QStringLiteral("arrow.uturn.backward.circle"), std::nullopt,
                                       [flows, snapshot, app, install] {
                                           if (StatusMenuFlows* target = flows.get())
                                               target->confirmSnapshotRestore(snapshot, app, install);
                                       }));
    }
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::action(QStringLiteral("Delete Snapshot…"), QStringLiteral("trash"), std::nullopt,
                                   [flows, snapshot] {
                                       if (StatusMenuFlows* target = flows.get())
                                           target->confirmSnapshotDelete(snapshot);
                                   }));
}

} // namespace quorvex
