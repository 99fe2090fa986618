#include "app/provisional/ProvisionalDeviceFlows.h"

#include "app/provisional/NotAvailableYet.h"

namespace quorvex {

void ProvisionalDeviceFlows::showPushWindow(const PhysicalDevice&) {
    showNotAvailableYet(QStringLiteral("Device push window"));
}

void ProvisionalDeviceFlows::screenshot(const PhysicalDevice&, bool) {
    showNotAvailableYet(QStringLiteral("Device screenshots"));
}

} // namespace quorvex
