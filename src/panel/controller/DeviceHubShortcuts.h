#pragma once

#include "simulator/SimulatorApp.h"
#include "tools/ToolCancellation.h"

#include <QFuture>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <optional>
#include <vector>

namespace quorvex {

class DeviceHubPanel;
class DeviceHubTracker;
class HotKey;
class HotKeyRegistry;
class NetworkService;
struct NetworkProfile;

/// The eight keyboard shortcuts that act on the device shown in the host window. They are held
/// from the system only while a host is frontmost (`DeviceHubTracker::isFrontmost`): in every
/// other app the combinations pass through. The status menu lists the same table. GUI thread;
/// simulator commands run on the object's own pool and report in toasts.
class DeviceHubShortcuts final : public QObject {
    Q_OBJECT
public:
    enum class Command {
        cycleNetworkSpeed,
        takeScreenshot,
        copyScreenshot,
        repeatLast,
        toggleSidePanel,
        shake,
        toggleAppearance,
        memoryWarning
    };

    /// One row of the table: the label shown for the keys, the title, the key and its modifiers
    /// in the hot keys' vocabulary, and what it runs.
    struct Shortcut {
        QString keys;
        QString title;
        quint32 keyCode;
        quint32 modifiers;
        Command command;
    };

    /// A simulator command: the UDID in, a result text out, none on failure. Runs off the GUI thread.
    using SimulatorCommand = std::function<std::optional<QString>(const QString& udid)>;

    struct Dependencies {
        DeviceHubTracker& tracker;
        DeviceHubPanel& panel;
        NetworkService& network;
        HotKeyRegistry& hotKeys;
        std::function<void()> repeatLast;
        /// Takes the screenshot of the panel's target (to the clipboard with `copy`).
        std::function<void(bool copy)> takeScreenshot;
        SimulatorCommand shake;
        SimulatorCommand toggleAppearance;
        SimulatorCommand memoryWarning;
    };

    explicit DeviceHubShortcuts(Dependencies dependencies, QObject* parent = nullptr);
    ~DeviceHubShortcuts() override;

    /// The table, in display order.
    static const std::vector<Shortcut>& table();
    /// The commands of the simulator rows through `DeviceTools`.
    static SimulatorCommand shakeCommand();
    static SimulatorCommand toggleAppearanceCommand();
    static SimulatorCommand memoryWarningCommand();
    /// The steady profile after `current`; after a scenario, the second steady profile.
    static NetworkProfile nextNetworkProfile(const NetworkProfile& current);

    /// Creates the hot keys once and from then on holds them while a host is frontmost.
    void install();
    const std::vector<HotKey*>& hotKeys() const { return m_hotKeys; }

    void run(Command command);
    void cycleNetworkSpeed();
    void toggleSidePanel();
    /// Runs a simulator command on the panel's simulator and reports it; the future ends after
    /// the toast.
    QFuture<void> runOnSimulator(const QString& symbol, const SimulatorCommand& command);

private:
    void updateActivation();

    Dependencies m_deps;
    std::vector<HotKey*> m_hotKeys;
    ToolCancellation m_tools; // cancelled for good at destruction: running commands' tools are killed
    QThreadPool m_pool;       // last: destroyed first, so no command outlives the object
};

} // namespace quorvex
