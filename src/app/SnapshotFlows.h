#pragma once

#include "actions/AppSnapshot.h"
#include "simulator/SimulatorApp.h"

#include <QFuture>
#include <QString>

namespace quorvex {

class Cleanup;

/// Saving, restoring and deleting app-data snapshots of simulator apps, each after its
/// confirmation.
///
/// Save and restore hold the program's busy flag from their confirmation until their toast: the
/// confirmation sets it on the GUI thread, the store works on the global pool, and the flag is
/// cleared in a continuation whose context is the application object, so it runs on the GUI
/// thread and the flag is cleared even when the menu that started the flow is gone. A delete must
/// not hold the flag (the store refuses to delete while it is set); it refuses up front while a
/// long task runs and works off the GUI thread, since removing a large snapshot takes a while.
class SnapshotFlows final {
public:
    explicit SnapshotFlows(Cleanup& cleanup)
        : m_cleanup(cleanup) {}

    /// Asks for a name (a proposed one preselected) and saves; refused while a long task runs.
    QFuture<void> confirmSave(const SimulatorApp& app, const SimulatorInstall& install) const;
    QFuture<void> save(const SimulatorApp& app, const SimulatorInstall& install, const QString& name) const;
    QFuture<void> confirmRestore(const AppSnapshot& snapshot, const SimulatorApp& app,
                                 const SimulatorInstall& install) const;
    QFuture<void> restore(const AppSnapshot& snapshot, const SimulatorApp& app,
                          const SimulatorInstall& install) const;
    QFuture<void> confirmDelete(const AppSnapshot& snapshot) const;

private:
    Cleanup& m_cleanup;
};

} // namespace quorvex
