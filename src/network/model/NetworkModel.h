#pragma once

#include "network/model/NetworkService.h"
#include "network/model/ProxyControl.h"
#include "network/plan/ThrottlePlan.h"

#include <deque>

class QSettings;

namespace quorvex {

class SetupGuide;

/// What the user wants for simulator network traffic: a built-in profile per app and the
/// blocked-host rules. The fields change only after the proxy took a change; both are then saved
/// to the defaults ("appProfiles", "hostRules"). A change that needs a proxy that was never set
/// up opens the setup guide with the change waiting there. Commits run one after another, each
/// with its own answer. GUI thread.
class NetworkModel final : public NetworkService {
    Q_OBJECT
public:
    NetworkModel(ProxyControl& proxy, SetupGuide& guide, QSettings& defaults, QObject* parent = nullptr);
    ~NetworkModel() override;

    /// The plan of a choice and a list of rules: one rule per app whose profile is still built
    /// in, and the enabled hosts in list order (always present, maybe empty).
    static ThrottlePlan buildPlan(const std::map<QString, AppNetwork>& choice,
                                  const std::vector<HostRule>& rules);

    bool isActive() const override;
    QString summary() const override;
    std::map<QString, AppNetwork> choice() const override { return m_choice; }
    std::vector<HostRule> hostRules() const override { return m_hostRules; }
    bool isBusy() const override { return m_isBusy; }
    std::optional<QString> lastError() const override { return m_lastError; }
    bool awaitingApproval() const override { return m_awaitingApproval; }
    bool awaitingProxyAllowance() const override { return m_awaitingProxyAllowance; }
    SetupObstacle setupObstacle() const override { return m_obstacle; }

    void stopProxyForQuit(std::function<void()> done) override;
    void resetSetup(std::function<void(std::optional<QString> error)> done) override;
    void toggleHostRule(const QString& host) override;
    void removeHostRule(const QString& host) override;
    bool addHostRule(const QString& text) override;
    void showSetupGuideTour(const NetworkProfile& profile) override;
    NetworkProfile profile(const SimulatorApp& app) const override;
    void setProfile(const NetworkProfile& profile, const SimulatorApp& app) override;

private:
    struct Commit {
        std::map<QString, AppNetwork> choice;
        std::vector<HostRule> rules;
        ProxyControl::Completion done;
    };

    void restore();
    void apply(std::map<QString, AppNetwork> choice, std::vector<HostRule> rules,
               const NetworkProfile& profile);
    void commit(std::map<QString, AppNetwork> choice, std::vector<HostRule> rules,
                ProxyControl::Completion done);
    void runNextCommit();
    void reportFailure(const QString& error);
    void save();
    template <typename T> void assign(T& field, T value);

    ProxyControl& m_proxy;
    SetupGuide& m_guide;
    QSettings& m_defaults;

    std::map<QString, AppNetwork> m_choice;
    std::vector<HostRule> m_hostRules;
    bool m_isBusy = false;
    std::optional<QString> m_lastError;
    bool m_awaitingApproval = false;
    bool m_awaitingProxyAllowance = false;
    SetupObstacle m_obstacle = SetupObstacle::None;

    // A change that passed the gate and is still finding out whether a proxy was set up: later
    // changes are dropped as while busy, so two changes made from the same state never both land.
    bool m_lookingUp = false;
    std::deque<Commit> m_commits;
    bool m_committing = false;
};

} // namespace quorvex
