#include "extension/TransparentProxyProvider.h"

#include "LogCapture.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Action = TransparentProxyProvider::Action;
using Transport = TransparentProxyProvider::Transport;

std::string appPath(const std::string& bundle) {
    return "/r/Library/Developer/CoreSimulator/Devices/D1/data/Containers/Bundle/Application/C1/" + bundle +
           "/Demo";
}

ThrottlePlan::Rule rule(std::optional<std::string> app, LinkConditions conditions) {
    return {std::move(app), "custom", {{"only", 10, conditions}}};
}

LinkConditions shaped() {
    LinkConditions conditions;
    conditions.downKbps = 780;
    conditions.upDelayMs = 100;
    return conditions;
}

LinkConditions cut() {
    LinkConditions conditions;
    conditions.packetLoss = 1.0;
    return conditions;
}

// Decisions are taken on the relay queue; the tests drive the state from their own thread on a
// fake clock instead, as the queue would.
class TransparentProxyProviderTest : public testing::Test {
protected:
    TransparentProxyProviderTest() {
        ThrottlePlan plan;
        plan.rules = {rule("Demo.app", shaped()), rule("Free.app", LinkConditions{}), rule("Cut.app", cut())};
        plan.blockedHosts = std::vector<std::string>{"blocked.example", "10.0.0.9"};
        state.applyPlan(plan);
    }

    Action decide(const std::optional<std::string>& path, const std::optional<std::string>& host,
                  Transport transport = Transport::TCP) {
        return provider.decide(path, host, transport, host.value_or("?")).action;
    }

    test::FakeClock clock;
    RelayQueue queue;
    ExtensionState state{clock};
    TransparentProxyProvider provider{queue, state};
};

TEST_F(TransparentProxyProviderTest, DecidesEachFlowByAppRuleAndHost) {
    const std::string mappedBlocked =
        TransparentProxyProvider::hostOf(asio::ip::make_address("::ffff:10.0.0.9"));
    const struct {
        const char* name;
        std::optional<std::string> path;
        std::optional<std::string> host;
        Transport transport;
        Action action;
    } cases[] = {
        {"ordinary process to a blocked host", std::nullopt, "blocked.example", Transport::TCP, Action::Pass},
        {"simulator app without a rule to a blocked host", appPath("Other.app"), "blocked.example",
         Transport::TCP, Action::Refuse},
        {"subdomain of a blocked host", appPath("Demo.app"), "api.blocked.example", Transport::TCP,
         Action::Refuse},
        {"IPv4-mapped peer of a blocked address", appPath("Free.app"), mappedBlocked, Transport::TCP,
         Action::Refuse},
        {"shaped app", appPath("Demo.app"), "example.com", Transport::TCP, Action::Relay},
        {"shaped app, UDP without a host", appPath("Demo.app"), std::nullopt, Transport::UDP, Action::Relay},
        {"unlimited rule", appPath("Free.app"), "example.com", Transport::TCP, Action::Pass},
        {"cut rule", appPath("Cut.app"), "example.com", Transport::UDP, Action::Close},
        {"simulator app with no rule and no rule for all", appPath("Other.app"), "example.com",
         Transport::TCP, Action::Pass},
    };
    for (const auto& item : cases)
        EXPECT_EQ(decide(item.path, item.host, item.transport), item.action) << item.name;
    EXPECT_EQ(mappedBlocked, "10.0.0.9");
}

TEST_F(TransparentProxyProviderTest, TheRuleForAllAppsCoversAppsWithoutTheirOwn) {
    ThrottlePlan plan = state.plan();
    plan.rules.push_back(rule(std::nullopt, shaped()));
    state.applyPlan(plan);
    const auto decision =
        provider.decide(appPath("Other.app"), "example.com", Transport::TCP, "example.com:443");
    EXPECT_EQ(decision.action, Action::Relay);
    EXPECT_EQ(decision.link, state.link("*"));
    // A simulator's own daemon, outside any app container, falls back to the same rule.
    EXPECT_EQ(provider
                  .decide("/r/Library/Developer/CoreSimulator/Volumes/iOS/usr/libexec/nsurlsessiond",
                          "example.com", Transport::TCP, "")
                  .link,
              state.link("*"));
    EXPECT_EQ(provider.decide(appPath("Demo.app"), "example.com", Transport::TCP, "").link,
              state.link("Demo.app"));
}

TEST_F(TransparentProxyProviderTest, LogsBlockedAndRelayedFlows) {
    test::LogCapture log;
    decide(appPath("Demo.app"), "blocked.example");
    provider.decide(appPath("Demo.app"), "example.com", Transport::TCP, "93.184.216.34:443");
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Blocked blocked.example for " + appPath("Demo.app")), std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("TCP " + appPath("Demo.app") + " \u2192 93.184.216.34:443"), std::string::npos)
        << lines[1];
}

} // namespace
} // namespace quorvex
