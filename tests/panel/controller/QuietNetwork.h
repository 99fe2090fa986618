#pragma once

#include "network/model/NetworkService.h"
#include "network/plan/NetworkProfile.h"

namespace quorvex::test {

// A network that is never busy, shapes nothing and never changes: for tests of the panel that
// need one to exist. Tests that script part of it derive and override that part.
class QuietNetwork : public NetworkService {
public:
    bool isActive() const override { return false; }
    QString summary() const override { return {}; }
    std::map<QString, AppNetwork> choice() const override { return {}; }
    std::vector<HostRule> hostRules() const override { return {}; }
    bool isBusy() const override { return false; }
    std::optional<QString> lastError() const override { return std::nullopt; }
    bool awaitingApproval() const override { return false; }
    void stopProxyForQuit(std::function<void()> done) override { done(); }
    void resetSetup(std::function<void(std::optional<QString>)> done) override { done(std::nullopt); }
    void toggleHostRule(const QString&) override {}
    void removeHostRule(const QString&) override {}
    bool addHostRule(const QString&) override { return false; }
    void showSetupGuideTour(const NetworkProfile&) override {}
    NetworkProfile profile(const SimulatorApp&) const override { return NetworkProfile::basic().front(); }
    void setProfile(const NetworkProfile&, const SimulatorApp&) override {}
};

} // namespace quorvex::test
