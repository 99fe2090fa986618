#pragma once

#include "simulator/SimulatorApp.h"

#include <QString>

#include <optional>

namespace quorvex {

/// The storage cleaner window. GUI thread.
class CleanerWindowService {
public:
    virtual ~CleanerWindowService() = default;
    /// Opens or fronts the window; with an app and no section it shows that app's archives.
    virtual void show(const std::optional<QString>& section, const std::optional<SimulatorApp>& app) = 0;
};

} // namespace quorvex
