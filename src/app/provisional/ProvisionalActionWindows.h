#pragma once

#include "app/Services.h"

namespace quorvex {

/// Stands in for the deep-link, push and status-bar windows and screenshots until they land:
/// each says in a toast that it is not available yet.
class ProvisionalActionWindows final : public ActionWindowsService {
public:
    void openDeepLinkWindow(const SimulatorApp& app) override;
    void openPushWindow(const SimulatorApp& app) override;
    void showStatusBarWindow(const std::vector<SimulatorDevice>& devices,
                             const SimulatorDevice& target) override;
    void screenshot(const QString& udid, bool copy) override;
};

} // namespace quorvex
