#pragma once

#include "app/MenuRow.h"
#include "simulator/SimulatorApp.h"

#include <optional>

namespace quorvex {

class Cleanup;
class CleanerWindowService;
class CleanupFlowsService;

/// The clear-data list: the Tools section's quick clean (no app), or an app's build data,
/// archives and simulator data. Every cleaning row is off while a long task runs.
class ClearDataSubmenuBuilder final {
public:
    struct Context {
        CleanupFlowsService& cleanupFlows;
        CleanerWindowService& cleanerWindow;
        Cleanup& cleanup;
    };

    explicit ClearDataSubmenuBuilder(Context context)
        : m_context(context) {}

    void fill(MenuRows& rows, const std::optional<SimulatorApp>& app) const;

private:
    Context m_context;
};

} // namespace quorvex
