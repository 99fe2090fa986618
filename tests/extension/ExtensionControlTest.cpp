// The app's view of the extension daemon, run against the real daemon (over its socket) and the
// fake the app's tests use, so the two cannot drift apart.
#include "ControlDaemon.h"
#include "support/FakeExtensionControl.h"

#include "network/control/ControlProtocol.h"
#include "network/plan/NetworkProfile.h"
#include "network/plan/ThrottlePlan.h"

#include <gtest/gtest.h>

#include <functional>

namespace quorvex {
namespace {

using test::ControlDaemon;
using test::FakeExtensionControl;
using test::ScratchFolder;

std::string planJson(const std::string& app, const std::string& profile) {
    ThrottlePlan plan;
    plan.rules.push_back({app, profile, NetworkProfile::builtIn(profile)->phases});
    plan.blockedHosts = std::vector<std::string>{"blocked.example"};
    return plan.encode();
}

// One implementation under test, with the administrator's hand on it.
struct Backend {
    virtual ~Backend() = default;
    virtual ExtensionControl& control() = 0;
    virtual void approve() = 0;
    virtual void allowProxy() = 0;
};

struct FakeBackend final : Backend {
    FakeExtensionControl fake;
    ExtensionControl& control() override { return fake; }
    void approve() override { fake.approve(); }
    void allowProxy() override { fake.allowProxy(); }
};

struct DaemonBackend final : Backend {
    ScratchFolder folder;
    ControlDaemon daemon{folder.path()};
    SocketExtensionControl client = daemon.client();
    ExtensionControl& control() override { return client; }
    void approve() override { ASSERT_TRUE(client.call({{"operation", "approve"}})); }
    void allowProxy() override { ASSERT_TRUE(client.call({{"operation", "allowProxy"}})); }
};

using BackendFactory = std::function<std::unique_ptr<Backend>()>;

class ExtensionControlContract : public testing::TestWithParam<BackendFactory> {
protected:
    void SetUp() override { m_backend = GetParam()(); }
    ExtensionControl& control() { return m_backend->control(); }
    Backend& admin() { return *m_backend; }

    // An approved extension and an allowed, saved configuration with `plan`.
    std::string readyConfiguration(std::optional<std::string> plan) {
        admin().approve();
        admin().allowProxy();
        EXPECT_TRUE(control().requestActivation());
        ProxyConfiguration configuration;
        configuration.plan = std::move(plan);
        const auto saved = control().saveConfiguration(configuration);
        EXPECT_TRUE(saved) << saved.error();
        return saved ? saved.value().id : std::string();
    }

    std::unique_ptr<Backend> m_backend;
};

TEST_P(ExtensionControlContract, ActivationWaitsForTheAdministrator) {
    EXPECT_EQ(control().activationState().value(), ActivationState{});

    const auto requested = control().requestActivation();
    ASSERT_TRUE(requested) << requested.error();
    EXPECT_TRUE(requested.value().awaitingApproval);
    EXPECT_FALSE(requested.value().enabled);

    admin().approve();
    const auto state = control().activationState().value();
    EXPECT_TRUE(state.enabled);
    EXPECT_FALSE(state.awaitingApproval);

    ASSERT_TRUE(control().deactivate());
    EXPECT_FALSE(control().activationState().value().enabled);
    const auto again = control().deactivate();
    EXPECT_EQ(again.errorKind(), ControlErrorKind::NotFound);
    // Approval outlives a deactivation: activating again needs no new approval.
    EXPECT_TRUE(control().requestActivation().value().enabled);
}

TEST_P(ExtensionControlContract, ConfigurationsAreSavedReplacedAndRemoved) {
    ProxyConfiguration configuration;
    configuration.plan = planJson("Demo.app", "3g");
    const auto saved = control().saveConfiguration(configuration);
    ASSERT_TRUE(saved) << saved.error();
    EXPECT_FALSE(saved.value().id.empty());
    // Not enabled until the administrator allows proxy configurations.
    EXPECT_FALSE(saved.value().enabled);
    admin().allowProxy();

    auto changed = saved.value();
    changed.plan = planJson("Demo.app", "edge");
    changed.enabled = true;
    ASSERT_TRUE(control().saveConfiguration(changed));
    const auto loaded = control().loadConfigurations();
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded.value().size(), 1u);
    EXPECT_EQ(loaded.value()[0], changed);

    ProxyConfiguration foreign;
    foreign.providerBundleIdentifier = "com.example.Other";
    EXPECT_FALSE(control().saveConfiguration(foreign));
    ProxyConfiguration unknown;
    unknown.id = "NOPE";
    EXPECT_EQ(control().saveConfiguration(unknown).errorKind(), ControlErrorKind::NotFound);

    ASSERT_TRUE(control().removeConfiguration(changed.id));
    EXPECT_TRUE(control().loadConfigurations().value().empty());
    EXPECT_EQ(control().removeConfiguration(changed.id).errorKind(), ControlErrorKind::NotFound);
    EXPECT_EQ(control().status(changed.id).value(), SessionStatus::Invalid);
}

TEST_P(ExtensionControlContract, StartNeedsAnEnabledExtensionAndAPlanThatDecodes) {
    ProxyConfiguration configuration;
    configuration.plan = planJson("Demo.app", "3g");
    const auto id = control().saveConfiguration(configuration).value().id;
    admin().allowProxy();
    EXPECT_FALSE(control().startTunnel(id)) << "the extension is not activated";

    struct Case {
        const char* name;
        std::optional<std::string> plan;
        bool starts;
    };
    const Case cases[] = {
        {"no plan", std::nullopt, false},
        {"not JSON", std::string("{"), false},
        {"phase without stalled",
         std::string(R"({"rules":[{"profileID":"x","phases":[{"label":"a","seconds":1,)"
                     R"("conditions":{"downDelayMs":0,"upDelayMs":0,"packetLoss":0}}]}]})"),
         false},
        {"good plan", planJson("Demo.app", "3g"), true},
    };
    const auto ready = readyConfiguration(std::nullopt);
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        ProxyConfiguration edited = control().loadConfigurations().value().back();
        ASSERT_EQ(edited.id, ready);
        edited.plan = item.plan;
        ASSERT_TRUE(control().saveConfiguration(edited));
        const auto started = control().startTunnel(ready);
        EXPECT_EQ(bool(started), item.starts) << started.error();
        EXPECT_EQ(control().status(ready).value(),
                  item.starts ? SessionStatus::Connected : SessionStatus::Disconnected);
    }
    EXPECT_FALSE(control().startTunnel(id)) << "another configuration's tunnel runs";
}

TEST_P(ExtensionControlContract, MessagesAreAcknowledgedOrRefusedNeverDropped) {
    const auto id = readyConfiguration(planJson("Demo.app", "3g"));
    EXPECT_FALSE(control().sendMessage(id, planJson("Demo.app", "edge"))) << "not running yet";
    ASSERT_TRUE(control().startTunnel(id));

    EXPECT_TRUE(control().sendMessage(id, planJson("Demo.app", "edge")));
    const auto refused = control().sendMessage(id, "{\"rules\": 3}");
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.error().find("plan"), std::string::npos) << refused.error();
    EXPECT_EQ(control().status(id).value(), SessionStatus::Connected);

    ASSERT_TRUE(control().stopTunnel(id));
    EXPECT_EQ(control().status(id).value(), SessionStatus::Disconnected);
    EXPECT_FALSE(control().sendMessage(id, planJson("Demo.app", "edge")));
    // Removing a running configuration stops its tunnel first.
    ASSERT_TRUE(control().startTunnel(id));
    ASSERT_TRUE(control().removeConfiguration(id));
    EXPECT_EQ(control().status(id).value(), SessionStatus::Invalid);
}

INSTANTIATE_TEST_SUITE_P(Implementations, ExtensionControlContract,
                         testing::Values(BackendFactory([] { return std::make_unique<FakeBackend>(); }),
                                         BackendFactory([] { return std::make_unique<DaemonBackend>(); })),
                         [](const auto& param) { return param.index == 0 ? "Fake" : "Daemon"; });

// The fake's own knobs, which app tests lean on.
TEST(FakeExtensionControl, ScriptsTheStartAndFailsOnDemand) {
    FakeExtensionControl fake;
    fake.autoApprove();
    ASSERT_TRUE(fake.requestActivation().value().enabled);
    ProxyConfiguration configuration;
    configuration.plan = planJson("Demo.app", "3g");
    const auto id = fake.saveConfiguration(configuration).value().id;

    fake.failNext("startTunnel", "refused");
    EXPECT_EQ(fake.startTunnel(id).error(), "refused");
    fake.scriptStart({SessionStatus::Connecting, SessionStatus::Connecting});
    ASSERT_TRUE(fake.startTunnel(id));
    EXPECT_EQ(fake.status(id).value(), SessionStatus::Connecting);
    EXPECT_EQ(fake.status(id).value(), SessionStatus::Connecting);
    EXPECT_EQ(fake.status(id).value(), SessionStatus::Connected);
    EXPECT_EQ(fake.callCount("startTunnel"), 2u);

    fake.setUnreachable(true);
    EXPECT_EQ(fake.status(id).errorKind(), ControlErrorKind::Unreachable);
}

} // namespace
} // namespace quorvex
