#pragma once

#include "actions/AppSnapshot.h"
#include "panel/sections/MenuFlows.h"
#include "simulator/SimulatorApp.h"

#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace quorvex {

/// The flows the status menu's rows start, beyond those the side panel shares. The status menu
/// controller implements them; the submenu builders reach them only through this interface, and
/// their row handlers only through a `Handle`, so a row whose menu is gone does nothing.
class StatusMenuFlows : public MenuFlows {
public:
    /// A weak reference to the flows: empty once the object that implements them is destroyed.
    class Handle final {
    public:
        Handle() = default;
        Handle(QObject* owner, StatusMenuFlows* flows)
            : m_owner(owner)
            , m_flows(flows) {}
        /// The flows, or null when their owner is gone.
        StatusMenuFlows* get() const { return m_owner ? m_flows : nullptr; }
        /// The owner, the context of continuations that must not outlive it.
        QObject* owner() const { return m_owner.data(); }

    private:
        QPointer<QObject> m_owner;
        StatusMenuFlows* m_flows = nullptr;
    };

    /// Runs `action` for each device off the GUI thread and reports in one toast: `title` (with
    /// the device's name, or the number of simulators) when all succeeded, else the names of the
    /// simulators it failed on. Finishes on the GUI thread; the returned future ends after the
    /// toast.
    virtual QFuture<void> runOnSimulators(const std::vector<SimulatorDevice>& devices,
                                          std::function<bool(const SimulatorDevice&)> action,
                                          const QString& title) = 0;
    virtual QFuture<void> launchApp(const SimulatorApp& app, const std::vector<SimulatorDevice>& devices) = 0;
    virtual QFuture<void> terminateApp(const SimulatorApp& app,
                                       const std::vector<SimulatorDevice>& devices) = 0;
    /// Uninstalls off the GUI thread, waits for the inventory to be scanned again, names the
    /// simulators it failed on and clears the busy flag the confirmation set.
    virtual QFuture<void> uninstall(const SimulatorApp& app, const std::vector<SimulatorDevice>& devices) = 0;
    /// Opens the storage cleaner on the app's archives.
    virtual void showArchives(const SimulatorApp& app) = 0;

    // The confirmations rows open; each starts its flow only when confirmed.
    virtual QFuture<void> confirmUninstall(const SimulatorApp& app) = 0;
    virtual QFuture<void> confirmDeleteKeychainItems(const SimulatorApp& app, const SimulatorInstall& install,
                                                     std::int64_t count) = 0;
    virtual QFuture<void> confirmSnapshotRestore(const AppSnapshot& snapshot, const SimulatorApp& app,
                                                 const SimulatorInstall& install) = 0;
    virtual QFuture<void> confirmSnapshotDelete(const AppSnapshot& snapshot) = 0;
};

} // namespace quorvex
