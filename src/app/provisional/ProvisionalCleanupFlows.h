#pragma once

#include "app/Services.h"

namespace quorvex {

/// Stands in for the cleanup flows until they land: no project folder is known and every
/// cleanup says in a toast that it is not available yet; nothing is deleted.
class ProvisionalCleanupFlows final : public CleanupFlowsService {
public:
    std::vector<QString> findProjectFolders(const QString&) const override { return {}; }
    QString describe(Target target, const std::optional<SimulatorApp>& app) const override;
    void clean(Target target, const std::optional<SimulatorApp>& app) override;
    void eraseAppData(const SimulatorApp& app) override;
};

} // namespace quorvex
