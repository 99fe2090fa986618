#include "app/ClearDataSubmenuBuilder.h"

#include "storage/cleaner/CleanerWindowService.h"
#include "storage/cleaner/CleanupFlowsService.h"
#include "storage/files/Cleanup.h"

#include <vector>

namespace quorvex {
namespace {

QString cleanupTitle(CleanupFlowsService::Target target) {
    using Target = CleanupFlowsService::Target;
    switch (target) {
    case Target::derivedData:
        return QStringLiteral("Clean DerivedData");
    case Target::packages:
        return QStringLiteral("Clean Swift Package Manager");
    case Target::documentation:
        return QStringLiteral("Clean Documentation Cache");
    case Target::oldLogs:
        return QStringLiteral("Clean Old Logs");
    case Target::everything:
        return QStringLiteral("Close Xcode and Clean All");
    }
    return {};
}

QString cleanupSymbol(CleanupFlowsService::Target target) {
    using Target = CleanupFlowsService::Target;
    switch (target) {
    case Target::derivedData:
        return QStringLiteral("hammer");
    case Target::packages:
        return QStringLiteral("shippingbox");
    case Target::documentation:
        return QStringLiteral("book.closed");
    case Target::oldLogs:
        return QStringLiteral("doc.text.magnifyingglass");
    case Target::everything:
        return QStringLiteral("xmark.app");
    }
    return {};
}

} // namespace

void ClearDataSubmenuBuilder::fill(MenuRows& rows, const std::optional<SimulatorApp>& app) const {
    using Target = CleanupFlowsService::Target;
    CleanupFlowsService* flows = &m_context.cleanupFlows;
    const bool working = m_context.cleanup.isWorking();
    bool hasBuildData = true;
    std::vector<Target> targets;
    if (!app) {
        rows.push_back(MenuRow::header(QStringLiteral("Quick Clean")));
        targets = {Target::derivedData, Target::packages, Target::documentation, Target::oldLogs,
                   Target::everything};
    } else {
        // Looked up in the background; until the first answer the rows stay on.
        hasBuildData = flows->hasBuildData(app->id).value_or(true);
        rows.push_back(MenuRow::header(QStringLiteral("Xcode Build Data")));
        targets = {Target::derivedData, Target::packages, Target::everything};
    }
    for (const Target target : targets) {
        if (target == Target::everything)
            rows.push_back(MenuRow::separator());
        MenuRow row = MenuRow::action(cleanupTitle(target) + QStringLiteral("…"), cleanupSymbol(target),
                                      std::nullopt, [flows, target, app] { flows->clean(target, app); });
        row.withSubtitle(app && !hasBuildData ? QStringLiteral("No build data found")
                                              : flows->describe(target, app));
        row.enabled = hasBuildData && !working;
        rows.push_back(std::move(row));
    }
    if (app) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::header(QStringLiteral("Archives")));
        CleanerWindowService* cleaner = &m_context.cleanerWindow;
        const SimulatorApp archivesApp = *app;
        rows.push_back(MenuRow::action(QStringLiteral("Archives…"), QStringLiteral("archivebox"),
                                       std::nullopt,
                                       [cleaner, archivesApp] { cleaner->show(std::nullopt, archivesApp); })
                           .withSubtitle(QStringLiteral("Review and remove this app’s archives")));
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::header(QStringLiteral("Simulator")));
        const SimulatorApp eraseApp = *app;
        MenuRow erase =
            MenuRow::action(QStringLiteral("Erase App Data in Simulator…"), QStringLiteral("eraser"),
                            std::nullopt, [flows, eraseApp] { flows->eraseAppData(eraseApp); });
        const size_t installs = app->installs.size();
        erase.withSubtitle(installs == 1   ? app->installs.front().deviceName
                           : installs == 0 ? QStringLiteral("Simulator not running")
                                           : QStringLiteral("%1 simulators").arg(installs));
        erase.enabled = installs > 0 && !working;
        rows.push_back(std::move(erase));
    }
    if (working)
        rows.push_back(MenuRow::info(QStringLiteral("Cleaning…"), QStringLiteral("hourglass")));
}

} // namespace quorvex
