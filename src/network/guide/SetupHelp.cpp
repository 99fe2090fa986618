#include "network/guide/SetupHelp.h"

#include "platform/gui/Dialogs.h"

#include <filesystem>

namespace quorvex {

std::optional<SetupHelp::Topic> SetupHelp::of(SetupObstacle obstacle) {
    switch (obstacle) {
    case SetupObstacle::ProgramNotInstalled:
        return Topic::InstallProgram;
    case SetupObstacle::DaemonNotRunning:
        return Topic::StartDaemon;
    case SetupObstacle::None:
        break;
    }
    return std::nullopt;
}

std::optional<SetupHelp::Topic> SetupHelp::pressing(SetupObstacle obstacle, bool awaitingApproval,
                                                    bool awaitingProxyAllowance) {
    if (const auto topic = of(obstacle))
        return topic;
    if (awaitingApproval)
        return Topic::ApproveExtension;
    if (awaitingProxyAllowance)
        return Topic::AllowProxy;
    return std::nullopt;
}

QString SetupHelp::line(Topic topic) {
    switch (topic) {
    case Topic::InstallProgram:
        return QStringLiteral("Install Quorvex to use the network extension.");
    case Topic::StartDaemon:
        return QStringLiteral("The network extension isn’t running.");
    case Topic::ApproveExtension:
        return QStringLiteral("Allow the extension with “sudo quorvexctl approve” to continue.");
    case Topic::AllowProxy:
        return QStringLiteral("Allow the proxy with “sudo quorvexctl allow-proxy” to continue.");
    }
    return {};
}

QString SetupHelp::buttonTitle(Topic topic) {
    switch (topic) {
    case Topic::InstallProgram:
        return QStringLiteral("How to Install Quorvex…");
    case Topic::StartDaemon:
        return QStringLiteral("How to Start the Extension…");
    case Topic::ApproveExtension:
        return QStringLiteral("How to Allow the Extension…");
    case Topic::AllowProxy:
        return QStringLiteral("How to Allow the Proxy…");
    }
    return {};
}

QString SetupHelp::heading(Topic topic) {
    switch (topic) {
    case Topic::InstallProgram:
        return QStringLiteral("Install Quorvex");
    case Topic::StartDaemon:
        return QStringLiteral("Start the network extension");
    case Topic::ApproveExtension:
        return QStringLiteral("Allow the network extension");
    case Topic::AllowProxy:
        return QStringLiteral("Allow the proxy configuration");
    }
    return {};
}

QString SetupHelp::explanation(Topic topic) {
    switch (topic) {
    case Topic::InstallProgram:
        return QStringLiteral(
                   "The network extension works only with Quorvex as installed on this computer, and "
                   "this copy runs from elsewhere. From the source folder:\n\n"
                   "sudo cmake --install build/default\n\n"
                   "then quit this copy and start %1.")
            .arg(QString::fromStdString(
                (std::filesystem::path(QUORVEX_INSTALL_PREFIX) / "bin/quorvex").string()));
    case Topic::StartDaemon:
        return QStringLiteral(
            "The network extension is a service of this computer. An administrator starts it "
            "with:\n\n"
            "sudo systemctl enable --now quorvex-network-extension\n\n"
            "or, without the service installed, in a terminal:\n\n"
            "sudo quorvex-network-extension\n\n"
            "The setup guide moves on as soon as it answers.");
    case Topic::ApproveExtension:
        return QStringLiteral("An administrator approves it in a terminal:\n\n"
                              "sudo quorvexctl approve\n\n"
                              "The setup guide moves on as soon as it is allowed.");
    case Topic::AllowProxy:
        return QStringLiteral("Quorvex has saved its proxy configuration; an administrator allows it in a "
                              "terminal:\n\n"
                              "sudo quorvexctl allow-proxy\n\n"
                              "The setup guide moves on as soon as it is allowed.");
    }
    return {};
}

void SetupHelp::show(Topic topic) {
    Alert alert;
    alert.message = heading(topic);
    alert.informativeText = explanation(topic);
    Dialogs::shared().runAlert(alert);
}

} // namespace quorvex
