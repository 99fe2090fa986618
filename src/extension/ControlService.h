#pragma once

#include "extension/ProxyTunnel.h"
#include "extension/StateFolder.h"
#include "network/control/ExtensionControl.h"
#include "platform/core/Logger.h"

#include <nlohmann/json.hpp>

#include <sys/types.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace quorvex {

/// Who sent a request, as the kernel vouches for it: SO_PEERCRED, and SO_PEERGROUPS for the
/// supplementary groups (those of `usermod -aG`), both as they were when the caller connected.
struct ControlCaller {
    pid_t pid = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
};

/// The daemon's side of the control channel: the activation state and the saved proxy
/// configurations (both kept in the state folder, so they survive a restart of the daemon), the
/// session status of the one tunnel, and the operations of ControlProtocol on them. Thread-safe.
///
/// Callers: root and the users and groups given in Options may use the app's operations; only
/// root may use the administrator's ("approve", "allowProxy", "reset", "overview").
class ControlService final {
public:
    struct Options {
        std::filesystem::path stateFolder;
        bool autoApprove = false; // approve activations and allow proxies without an administrator
        std::set<uid_t> allowedUsers;
        std::set<gid_t> allowedGroups;
    };

    static constexpr std::size_t maximumConfigurations = 16;
    /// The largest configuration saved (its JSON): all of them together still fit in one reply.
    static constexpr std::size_t maximumConfigurationBytes = 192 * 1024;
    /// The answer to a caller who may not use the daemon.
    static std::string deniedText();

    /// Throws std::system_error when the state folder cannot be used (see StateFolder): another
    /// daemon holds it, it is a link, or it belongs to another user.
    ControlService(Options options, ProxyTunnel& tunnel);
    ~ControlService();

    /// Answers one request (ControlProtocol's reply object). Never throws.
    nlohmann::json handle(const nlohmann::json& request, const ControlCaller& caller);
    /// Whether `caller` may use the daemon at all: root, the daemon's own user, and the users and
    /// groups of Options. Fixed at construction, so callable from any thread.
    bool mayUse(const ControlCaller& caller) const;

    ActivationState activation() const;
    /// The status of the configuration `id`.
    SessionStatus status(const std::string& id) const;

    /// Stops a running tunnel (the daemon's shutdown); the configurations stay saved.
    void shutdown();

private:
    struct Stored {
        bool activated = false; // an activation was requested and not deactivated
        bool approved = false;
        bool proxyAllowed = false;
    };

    nlohmann::json dispatch(const std::string& operation, const nlohmann::json& request,
                            const ControlCaller& caller);
    ActivationState activationLocked() const;
    ProxyConfiguration effective(const ProxyConfiguration& configuration) const;
    std::vector<ProxyConfiguration>::iterator find(const std::string& id);
    void stopLocked();
    void load();
    void saveActivation() const;
    void saveConfigurations() const;
    std::string newIdentifier() const;

    Options m_options;
    ProxyTunnel& m_tunnel;
    Logger m_logger;
    StateFolder m_folder;
    mutable std::mutex m_mutex;
    Stored m_stored;
    std::vector<ProxyConfiguration> m_configurations;
    std::string m_runningId;
    SessionStatus m_status = SessionStatus::Disconnected;
};

} // namespace quorvex
