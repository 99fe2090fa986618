#pragma once

#include "network/plan/ThrottlePlan.h"

#include <QString>

#include <functional>
#include <optional>

namespace quorvex {

/// What keeps the network extension from being set up at all, before any approval.
enum class SetupObstacle {
    None,                // the extension daemon answers
    ProgramNotInstalled, // the program runs from outside its install prefix, which the daemon trusts
    DaemonNotRunning,    // no extension daemon answers
};

/// How far the one-time setup has come, as the setup guide shows it. Flags that cannot be read
/// count as false.
struct SetupStatus {
    bool extensionApproved = false; // the extension is activated and approved
    bool proxyAllowed = false;      // a saved proxy configuration exists and is enabled
    bool proxyRunning = false;      // that configuration's session is connected
    SetupObstacle obstacle = SetupObstacle::None;

    bool operator==(const SetupStatus&) const = default;
};

/// The app's control of the network extension and its one transparent-proxy configuration, as the
/// network model and the setup guide use it. Every operation answers through its callback on the
/// GUI thread, possibly before the call returns; each answer belongs to its own request.
class ProxyControl {
public:
    /// Absent on success, else the text shown to the user.
    using Completion = std::function<void(std::optional<QString> error)>;

    virtual ~ProxyControl() = default;

    /// Makes the extension run `plan`: a plan that neither shapes nor blocks only stops a running
    /// tunnel; any other activates the extension, saves the configuration with the plan and starts
    /// the tunnel or hands the plan to the running one.
    virtual void apply(const ThrottlePlan& plan, Completion done) = 0;
    /// Whether a proxy configuration has been saved; false also when it cannot be read.
    virtual void hasConfiguration(std::function<void(bool)> done) = 0;
    /// The plan of a proxy that is connecting, connected or reasserting. A running proxy whose
    /// plan cannot be read is stopped and gives nothing.
    virtual void runningPlan(std::function<void(std::optional<ThrottlePlan>)> done) = 0;
    /// Reads the setup status; answers within a few seconds at most and never fails.
    virtual void setupStatus(std::function<void(SetupStatus)> done) = 0;
    /// Stops the tunnel of the saved configuration, if there is one. Never fails.
    virtual void stopTunnel(std::function<void()> done) = 0;
    /// Stops and removes every proxy configuration and deactivates the extension.
    virtual void resetSetup(Completion done) = 0;

    /// Called with every change of "the user has to approve the extension".
    std::function<void(bool awaiting)> onApprovalChange;
    /// Called with every change of "a plan waits for the administrator to allow the proxy".
    std::function<void(bool awaiting)> onProxyAllowanceChange;
    /// Called with every change of what keeps the extension from being set up.
    std::function<void(SetupObstacle obstacle)> onObstacleChange;
};

} // namespace quorvex
