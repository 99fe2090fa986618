#include "app/provisional/ProvisionalActionWindows.h"

#include "app/provisional/NotAvailableYet.h"

namespace quorvex {

void ProvisionalActionWindows::openDeepLinkWindow(const SimulatorApp&) {
    showNotAvailableYet(QStringLiteral("Open URL window"));
}

void ProvisionalActionWindows::openPushWindow(const SimulatorApp&) {
    showNotAvailableYet(QStringLiteral("Push window"));
}

void ProvisionalActionWindows::showStatusBarWindow(const std::vector<SimulatorDevice>&,
                                                   const SimulatorDevice&) {
    showNotAvailableYet(QStringLiteral("Status Bar window"));
}

void ProvisionalActionWindows::screenshot(const QString&, bool copy) {
    showNotAvailableYet(copy ? QStringLiteral("Copy Screenshot") : QStringLiteral("Take Screenshot"));
}

} // namespace quorvex
