#pragma once

#include "simulator/SimulatorApp.h"

#include <QFuture>

#include <vector>

namespace quorvex {

class StatusMenuController;

/// Uninstalls the app from each simulator, refreshes the inventory and reports in one toast.
/// Called with the busy flag set; clears it when it ends.
QFuture<void> uninstall(StatusMenuController& controller, const SimulatorApp& app,
                        const std::vector<SimulatorDevice>& devices);

} // namespace quorvex
