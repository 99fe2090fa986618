#pragma once

#include "network/model/ProxyControl.h"
#include "simulator/SimulatorApp.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace quorvex {

struct NetworkProfile;

/// The network model, the proxy controller and the setup guide. GUI thread.
class NetworkService : public QObject {
    Q_OBJECT
public:
    /// One app's remembered network choice.
    struct AppNetwork {
        SimulatorApp app;
        QString profileID;
        bool operator==(const AppNetwork&) const = default;
    };
    struct HostRule {
        QString host;
        bool enabled = true;
        bool operator==(const HostRule&) const = default;
    };

    using QObject::QObject;

    /// Some app is shaped or some host is blocked.
    virtual bool isActive() const = 0;
    /// One line on the active configuration ("Edge · 2 blocked hosts").
    virtual QString summary() const = 0;
    /// Bundle ID -> remembered choice.
    virtual std::map<QString, AppNetwork> choice() const = 0;
    virtual std::vector<HostRule> hostRules() const = 0;
    /// A network change is being applied to the extension.
    virtual bool isBusy() const = 0;
    virtual std::optional<QString> lastError() const = 0;
    virtual bool awaitingApproval() const = 0;
    /// A change waits for the administrator to allow proxy configurations.
    virtual bool awaitingProxyAllowance() const { return false; }
    /// What keeps the network extension from being set up, as last seen.
    virtual SetupObstacle setupObstacle() const { return SetupObstacle::None; }

    /// Asks the extension to stop its tunnel; `done` runs (on the GUI thread) once the stop has
    /// been requested. Never fails.
    virtual void stopProxyForQuit(std::function<void()> done) = 0;
    /// Stops and removes every saved proxy configuration and asks for the extension's
    /// deactivation; `done` gets the error's description on failure.
    virtual void resetSetup(std::function<void(std::optional<QString> error)> done) = 0;
    /// Flips the rule of `host` on or off; no such rule: nothing changes.
    virtual void toggleHostRule(const QString& host) = 0;
    virtual void removeHostRule(const QString& host) = 0;
    /// Adds the host of the typed text as an enabled rule (replacing one of the same host);
    /// false, changing nothing, when the text is no host name.
    virtual bool addHostRule(const QString& text) = 0;
    /// Switches the setup guide to its tour with `profile`, from the start, and shows its window.
    virtual void showSetupGuideTour(const NetworkProfile& profile) = 0;
    /// The profile chosen for the app, or the built-in "unlimited" one when none is stored.
    virtual NetworkProfile profile(const SimulatorApp& app) const = 0;
    /// Stores the app's choice ("unlimited" removes it) and starts applying the configuration.
    virtual void setProfile(const NetworkProfile& profile, const SimulatorApp& app) = 0;

signals:
    /// Any of the values above changed.
    void stateChanged();
};

} // namespace quorvex
