#pragma once

#include "network/model/ProxyControl.h"

#include <QString>

#include <optional>

namespace quorvex {

/// What the user is told to do about each thing that holds the network setup up, on a system
/// where an administrator's command line stands for the platform's settings and alerts: the
/// menu's line, the button that explains it, and the explanation. The setup guide and the menu
/// say the same.
struct SetupHelp {
    enum class Topic { InstallProgram, StartDaemon, ApproveExtension, AllowProxy };

    /// The most pressing topic, if any: what keeps the extension from being set up at all, then
    /// the approval a change waits for.
    static std::optional<Topic> pressing(SetupObstacle obstacle, bool awaitingApproval,
                                         bool awaitingProxyAllowance);
    /// The topic of an obstacle; none for none.
    static std::optional<Topic> of(SetupObstacle obstacle);

    /// One line for the menu.
    static QString line(Topic topic);
    /// The title of the button or menu item that explains it: "How to …".
    static QString buttonTitle(Topic topic);
    /// The explanation's heading and text, as the alert shows them.
    static QString heading(Topic topic);
    static QString explanation(Topic topic);
    /// Shows the explanation in a modal alert.
    static void show(Topic topic);
};

} // namespace quorvex
