#include "app/provisional/ProvisionalCleanerWindow.h"

#include "app/provisional/NotAvailableYet.h"

namespace quorvex {

void ProvisionalCleanerWindow::show(const std::optional<QString>&, const std::optional<SimulatorApp>&) {
    showNotAvailableYet(QStringLiteral("Storage Cleaner"));
}

} // namespace quorvex
