#include "app/provisional/ProvisionalCleanupFlows.h"

#include "app/provisional/NotAvailableYet.h"

namespace quorvex {

QString ProvisionalCleanupFlows::describe(Target target, const std::optional<SimulatorApp>& app) const {
    switch (target) {
    case Target::derivedData:
        return app ? QStringLiteral("Build data of this app’s project")
                   : QStringLiteral("Build data of all projects");
    case Target::packages:
        return app ? QStringLiteral("This project’s package checkouts")
                   : QStringLiteral("Package caches and checkouts");
    case Target::documentation:
        return QStringLiteral("Downloaded docs, Xcode gets them again");
    case Target::oldLogs:
        return QStringLiteral("Older than 30 days, or of deleted simulators");
    case Target::everything:
        return QStringLiteral("Quits Xcode, then both");
    }
    return {};
}

void ProvisionalCleanupFlows::clean(Target, const std::optional<SimulatorApp>&) {
    showNotAvailableYet(QStringLiteral("Cleaning"));
}

void ProvisionalCleanupFlows::eraseAppData(const SimulatorApp&) {
    showNotAvailableYet(QStringLiteral("Erase App Data"));
}

} // namespace quorvex
