#include "app/provisional/NotAvailableYet.h"

#include "simulator/Toast.h"

namespace quorvex {

void showNotAvailableYet(const QString& feature) {
    Toast::show(feature, QStringLiteral("Not available yet in this version of Quorvex."),
                QStringLiteral("hourglass"), false);
}

} // namespace quorvex
