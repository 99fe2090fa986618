#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvex {

/// The bundle identifier the app names the network extension by, in activation requests and in
/// the proxy configuration's protocol.
inline constexpr const char* extensionIdentifier = "com.zelmora.Quorvex.NetworkExtension";
/// The server address of the proxy configuration's protocol.
inline constexpr const char* proxyServerAddress = "Simulators";

/// Session status of a proxy configuration, with the platform's numbering.
enum class SessionStatus : int {
    Invalid = 0,
    Disconnected = 1,
    Connecting = 2,
    Connected = 3,
    Reasserting = 4,
    Disconnecting = 5,
};

/// True for connecting, connected and reasserting: a plan change goes as a message then.
inline bool isRunning(SessionStatus status) {
    return status == SessionStatus::Connecting || status == SessionStatus::Connected ||
           status == SessionStatus::Reasserting;
}

/// The extension as the system sees it. `awaitingApproval`: an activation was requested and the
/// administrator has not approved it yet. `approved`: the administrator approved the extension
/// (`quorvexctl approve`). `enabled`: activated and approved, so a proxy may name it.
/// `proxyAllowed`: the administrator allowed proxy configurations (`quorvexctl allow-proxy`).
struct ActivationState {
    bool approved = false;
    bool awaitingApproval = false;
    bool enabled = false;
    bool proxyAllowed = false;

    bool operator==(const ActivationState&) const = default;
};

/// One saved transparent-proxy configuration. `id` is given by the daemon on the first save and
/// names the configuration in later calls. `plan` is the provider configuration's "plan" value
/// (the plan's JSON bytes), absent when the configuration carries none. `enabled` is what the app
/// asked for; the daemon keeps it false until proxy configurations are allowed.
struct ProxyConfiguration {
    std::string id;
    std::string providerBundleIdentifier = extensionIdentifier;
    std::string serverAddress = proxyServerAddress;
    std::optional<std::string> plan;
    std::string localizedDescription = "Quorvex";
    bool enabled = true;

    bool operator==(const ProxyConfiguration&) const = default;
};

/// Why an operation failed, besides its text.
enum class ControlErrorKind {
    Failed,      // the daemon refused or could not do it; the text says why
    NotFound,    // no such configuration, or (deactivation) the extension is not installed
    Denied,      // the caller may not use the daemon, or not this operation
    Unreachable, // no daemon answers on the control socket, or it broke the protocol
};

/// The answer to one operation: a value, or an error with a text for the user.
template <typename T> class ControlResult {
public:
    ControlResult(T value)
        : m_value(std::move(value)) {}
    static ControlResult failure(std::string text, ControlErrorKind kind = ControlErrorKind::Failed) {
        ControlResult result;
        result.m_error = std::move(text);
        result.m_kind = kind;
        return result;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    /// The value; only when ok().
    const T& value() const { return *m_value; }
    /// The error's text; empty when ok().
    const std::string& error() const { return m_error; }
    ControlErrorKind errorKind() const { return m_kind; }

private:
    ControlResult() = default;
    std::optional<T> m_value;
    std::string m_error;
    ControlErrorKind m_kind = ControlErrorKind::Failed;
};

/// The value of an operation that answers only success or failure.
struct Done {
    bool operator==(const Done&) const = default;
};

/// The app's way to the network extension daemon (`quorvex-network-extension`): everything the
/// system's extension and proxy frameworks did for the app. One method per operation; each blocks
/// until the daemon answers (a few milliseconds; at most the client's timeout), so call it off
/// the GUI thread. Implementations: `SocketExtensionControl` (the daemon's Unix socket) and, in
/// tests, `test::FakeExtensionControl`.
///
/// Typical use by the proxy controller:
/// - activation: `requestActivation()`; while the answer says `awaitingApproval`, poll
///   `activationState()` until `enabled` (the administrator runs `quorvexctl approve`).
/// - apply a plan: `loadConfigurations()`, take the first; `saveConfiguration()` with the plan
///   (it returns the saved configuration with its id); if `status(id)` is running,
///   `sendMessage(id, planJson)`, else `startTunnel(id)` and poll `status(id)` for Connected.
/// - reset: stop and remove every configuration, then `deactivate()` (NotFound when the
///   extension was never activated: not a failure for a reset).
class ExtensionControl {
public:
    virtual ~ExtensionControl() = default;

    /// Asks for the extension to be activated. Answers the state after the request: enabled when
    /// it was approved already, awaiting approval otherwise.
    virtual ControlResult<ActivationState> requestActivation() = 0;
    /// Deactivates the extension: stops the tunnel and forgets the activation (the approval
    /// stays). NotFound when it was not activated.
    virtual ControlResult<Done> deactivate() = 0;
    /// The current activation state; the daemon answers at once.
    virtual ControlResult<ActivationState> activationState() = 0;

    /// The saved configurations, oldest first (the app uses the first).
    virtual ControlResult<std::vector<ProxyConfiguration>> loadConfigurations() = 0;
    /// Saves `configuration`: replaces the one with its id, or adds it with a new id when the id
    /// is empty. Fails when the protocol names another extension or server address. Answers the
    /// configuration as saved.
    virtual ControlResult<ProxyConfiguration> saveConfiguration(const ProxyConfiguration& configuration) = 0;
    /// Removes a configuration, stopping its tunnel first. NotFound for an unknown id.
    virtual ControlResult<Done> removeConfiguration(const std::string& id) = 0;

    /// Starts the tunnel of a configuration with the configuration's plan. Fails at once when the
    /// extension is not enabled, the configuration is not enabled, its plan is missing or cannot
    /// be decoded, or another configuration's tunnel runs.
    virtual ControlResult<Done> startTunnel(const std::string& id) = 0;
    /// Stops the tunnel of a configuration (nothing to do when it does not run).
    virtual ControlResult<Done> stopTunnel(const std::string& id) = 0;
    /// The session status of a configuration; Invalid for an unknown id.
    virtual ControlResult<SessionStatus> status(const std::string& id) = 0;
    /// Sends a provider message (a plan's JSON) to the running tunnel of a configuration. Success
    /// means the extension decoded and applied the plan; a plan it cannot decode, or a tunnel that
    /// does not run, answers an error and leaves the running plan as it was.
    virtual ControlResult<Done> sendMessage(const std::string& id, const std::string& message) = 0;
};

} // namespace quorvex
