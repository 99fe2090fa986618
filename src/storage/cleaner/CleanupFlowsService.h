#pragma once

#include "simulator/SimulatorApp.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorvex {

/// The cleanup flows of the storage cleaning engine. GUI thread.
class CleanupFlowsService {
public:
    enum class Target { derivedData, packages, documentation, oldLogs, everything };
    virtual ~CleanupFlowsService() = default;
    /// Whether the app's project has build data, as the last lookup found; nothing before the
    /// first one has ended. Each call starts a lookup in the background unless one runs, so the
    /// answer never waits on the disk.
    virtual std::optional<bool> hasBuildData(const QString& bundleID) = 0;
    virtual QString describe(Target target, const std::optional<SimulatorApp>& app) const = 0;
    virtual void clean(Target target, const std::optional<SimulatorApp>& app) = 0;
    virtual void eraseAppData(const SimulatorApp& app) = 0;
};

} // namespace quorvex
