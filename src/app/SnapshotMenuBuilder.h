#pragma once

#include "actions/AppSnapshot.h"
#include "app/MenuRow.h"
#include "app/StatusMenuFlows.h"
#include "simulator/SimulatorApp.h"

namespace quorvex {

/// The "App Data Snapshots" submenu of a simulator app: save (from one simulator, or a submenu
/// of them), the saved snapshots with their restore and delete rows, and what a snapshot holds.
/// Its rows start the status menu's snapshot confirmations.
class SnapshotMenuBuilder final {
public:
    explicit SnapshotMenuBuilder(StatusMenuFlows::Handle flows)
        : m_flows(std::move(flows)) {}

    void fill(MenuRows& rows, const SimulatorApp& app, const std::vector<AppSnapshot>& snapshots) const;
    /// One "From <simulator>…" row per install.
    void addSaveSnapshotRows(MenuRows& rows, const SimulatorApp& app) const;
    /// "Restore…" (or one per simulator), then "Delete Snapshot…".
    void fillSnapshotSubmenu(MenuRows& rows, const SimulatorApp& app, const AppSnapshot& snapshot) const;

private:
    StatusMenuFlows::Handle m_flows;
};

} // namespace quorvex
