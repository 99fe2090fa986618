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
    virtual std::vector<QString> findProjectFolders(const QString& bundleID) const = 0;
    virtual QString describe(Target target, const std::optional<SimulatorApp>& app) const = 0;
    virtual void clean(Target target, const std::optional<SimulatorApp>& app) = 0;
    virtual void eraseAppData(const SimulatorApp& app) = 0;
};

} // namespace quorvex
