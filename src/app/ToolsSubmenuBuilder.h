#pragma once

#include "app/MenuItems.h"
#include "app/MenuRow.h"
#include "simulator/SimulatorApp.h"

#include <functional>
#include <vector>

namespace quorvex {

class DeviceHubService;
class NetworkService;
class SimulatorApps;

/// The "Simulators" list of the Tools section and the network-extension state rows after it. The
/// per-simulator submenus are lazy: the list asks its owner for each row, so the fillers live as
/// long as the owner's current menu.
class ToolsSubmenuBuilder final {
public:
    /// A lazy row titled `title` whose submenu `build` fills when first opened.
    using LazyRow = std::function<MenuRow(const QString& title, LazySubmenuFiller::Build build)>;
    /// Fills one simulator's submenu; given the simulator and the list it is part of.
    using FillSimulator =
        std::function<void(MenuRows&, const SimulatorDevice&, const std::vector<SimulatorDevice>&)>;

    struct Context {
        SimulatorApps& simulatorApps;
        DeviceHubService& deviceHub;
        NetworkService& network;
        LazyRow lazyRow;
        FillSimulator fillSimulator;
    };

    explicit ToolsSubmenuBuilder(Context context)
        : m_context(std::move(context)) {}

    /// One lazy row per booted simulator, the focused one marked.
    void fillSimulators(MenuRows& rows) const;
    /// Nothing, or a separator and the rows that tell what the network extension waits for.
    void appendExtensionState(MenuRows& rows) const;

private:
    Context m_context;
};

} // namespace quorvex
