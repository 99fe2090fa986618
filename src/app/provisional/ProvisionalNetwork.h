#pragma once

#include "app/Services.h"

namespace quorvex {

/// Stands in for the network model, the proxy controller and the setup guide until they land:
/// nothing is shaped or blocked, so the menu shows no rules, the status icon stays inactive and
/// quitting never waits. The setup reset succeeds (there is nothing to reset) unless
/// QUORVEX_PROVISIONAL_RESET_ERROR is set, whose text it then fails with, so the reset run's
/// failure path can be exercised as a process.
class ProvisionalNetwork final : public NetworkService {
    Q_OBJECT
public:
    using NetworkService::NetworkService;

    bool isActive() const override { return false; }
    QString summary() const override { return {}; }
    std::map<QString, AppNetwork> choice() const override { return {}; }
    std::vector<HostRule> hostRules() const override { return {}; }
    bool isBusy() const override { return false; }
    std::optional<QString> lastError() const override { return std::nullopt; }
    bool awaitingApproval() const override { return false; }

    void toggleHostRule(const QString&) override {}
    void removeHostRule(const QString&) override {}
    bool addHostRule(const QString& text) override;
    void stopProxyForQuit(std::function<void()> done) override;
    void resetSetup(std::function<void(std::optional<QString> error)> done) override;
    void showSetupGuideTour(const NetworkProfile& profile) override;
    NetworkProfile profile(const SimulatorApp& app) const override;
    void setProfile(const NetworkProfile& profile, const SimulatorApp& app) override;
};

} // namespace quorvex
