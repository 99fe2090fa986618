#pragma once

#include "simulator/SimulatorApp.h"

#include <QFuture>

namespace quorvex {

/// The status menu's flows that the side panel offers too. The status menu implements them; the
/// panel reaches them through this interface so it never depends on the menu. GUI thread; each
/// flow reports in its own toasts or alerts.
class MenuFlows {
public:
    virtual ~MenuFlows() = default;
    /// Asks for a snapshot name and saves the app's data on that simulator (refused with "Please
    /// wait" while another long task runs). The future ends after the result was shown.
    virtual QFuture<void> confirmSaveSnapshot(const SimulatorApp& app, const SimulatorInstall& install) = 0;
    /// Generates the sample media once and adds it to the simulator.
    virtual QFuture<void> addSampleMedia(const SimulatorDevice& device) = 0;
    /// Asks for photos, videos or contacts and adds them to the simulator; ends at once when the
    /// user cancelled.
    virtual QFuture<void> chooseMediaToAdd(const SimulatorDevice& device) = 0;
};

} // namespace quorvex
