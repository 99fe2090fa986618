#pragma once

#include "app/MenuRow.h"
#include "app/StatusMenuFlows.h"
#include "simulator/SimulatorApp.h"

#include <QFuture>

#include <chrono>
#include <vector>

namespace quorvex {

class ActionWindowsService;
class DeviceHubService;
class SimulatorApps;

/// The per-simulator submenu (tools, status bar, simulate, media, keychain) and the simulator
/// commands only it starts. Its rows hold a copy of the device and a handle to the status menu's
/// flows; a row whose menu is gone does nothing.
class SimulatorSubmenuBuilder final {
public:
    struct Context {
        ActionWindowsService& actionWindows;
        DeviceHubService& deviceHub;
        SimulatorApps& simulatorApps; // the user apps a language change relaunches
        StatusMenuFlows::Handle flows;
        /// The submenu waits for the slow-animation read before it shows; a hung simctl must not
        /// hold the menu longer than this.
        std::chrono::milliseconds slowAnimationsReadTimeout{2'000};
    };

    explicit SimulatorSubmenuBuilder(Context context)
        : m_context(std::move(context)) {}

    const Context& context() const { return m_context; }

    void fill(MenuRows& rows, const SimulatorDevice& device,
              const std::vector<SimulatorDevice>& devices) const;

    /// Flips the simulator's slow animations; reported in a toast.
    QFuture<void> toggleSlowAnimations(const SimulatorDevice& device) const;
    /// Asks for a language and region, applies them and relaunches the simulator's running user
    /// apps; finished at once when the user cancelled.
    QFuture<void> chooseLanguageAndRegion(const SimulatorDevice& device) const;

private:
    Context m_context;
};

} // namespace quorvex
