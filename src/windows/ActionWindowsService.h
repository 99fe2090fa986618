#pragma once

#include "simulator/SimulatorApp.h"

#include <QString>

#include <vector>

namespace quorvex {

/// The deep-link and push windows, the status-bar window and screenshots. GUI thread.
class ActionWindowsService {
public:
    virtual ~ActionWindowsService() = default;
    virtual void openDeepLinkWindow(const SimulatorApp& app) = 0;
    virtual void openPushWindow(const SimulatorApp& app) = 0;
    virtual void showStatusBarWindow(const std::vector<SimulatorDevice>& devices,
                                     const SimulatorDevice& target) = 0;
    virtual void screenshot(const QString& udid, bool copy) = 0;
};

} // namespace quorvex
