#include "NetworkTestWorld.h"

#include <gtest/gtest.h>

#include <limits>

namespace quorvex {
namespace {

using test::ProxyWorld;
using test::shapingPlan;

std::optional<QString> kOk = std::nullopt;

/// Records the one answer of an operation.
struct Answer {
    std::optional<std::optional<QString>> error;
    int count = 0;
    ProxyControl::Completion callback() {
        return [this](std::optional<QString> value) {
            error = value;
            ++count;
        };
    }
    bool arrived() const { return error.has_value(); }
};

TEST(ProxyControllerTest, AStartWaitsForConnectedAndRetriesUpToEightTimes) {
    struct Case {
        const char* name;
        std::vector<SessionStatus> statuses; // what the session reports after each start
        bool settle;
        std::optional<QString> error;
        double minSeconds, maxSeconds;
        std::size_t starts;
    };
    const QString didNotStart = "The network extension didn’t start. Try again in a moment.";
    const std::vector<Case> cases = {
        {"connects on the third poll",
         {SessionStatus::Connecting, SessionStatus::Connecting},
         true,
         kOk,
         0.35,
         0.45,
         1},
        // Each attempt waits the full 5 s, pauses 1 s, and starts again: 8 x 6 s.
        {"stuck connecting", {SessionStatus::Connecting}, false, didNotStart, 47.9, 48.1, 8},
        // Given up about 0.8 s into each attempt, then the 1 s pause.
        {"dropping out at once",
         {SessionStatus::Disconnected},
         false,
         didNotStart,
         8 * 1.8 - 0.1,
         8 * 1.8 + 0.1,
         8},
        {"invalid counts as dropped",
         {SessionStatus::Invalid},
         false,
         didNotStart,
         8 * 1.8 - 0.1,
         8 * 1.8 + 0.1,
         8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProxyWorld world;
        world.daemon.autoApprove();
        world.daemon.scriptStart(c.statuses, c.settle);
        Answer answer;
        world.proxy.apply(shapingPlan(), answer.callback());
        const auto took = world.advanceUntil([&] { return answer.arrived(); }, 60);
        ASSERT_TRUE(took);
        EXPECT_GE(*took, c.minSeconds);
        EXPECT_LE(*took, c.maxSeconds);
        EXPECT_EQ(*answer.error, c.error);
        EXPECT_EQ(world.daemon.callCount("startTunnel"), c.starts);
    }
}

TEST(ProxyControllerTest, ARefusedStartFailsAtOnceWithTheDaemonsText) {
    ProxyWorld world;
    world.daemon.autoApprove();
    world.daemon.failNext("startTunnel", "The proxy configuration is not enabled.");
    Answer answer;
    world.proxy.apply(shapingPlan(), answer.callback());
    ASSERT_TRUE(answer.arrived());
    EXPECT_EQ(*answer.error, "The proxy configuration is not enabled.");
    EXPECT_EQ(world.daemon.callCount("startTunnel"), 1u);
}

TEST(ProxyControllerTest, ARunningTunnelGetsAMessageAndADisconnectingOneIsStartedAgain) {
    ProxyWorld world;
    world.daemon.autoApprove();
    Answer first, second, third;
    world.proxy.apply(shapingPlan("edge"), first.callback());
    ASSERT_EQ(first.error, std::optional<std::optional<QString>>(kOk));
    ASSERT_EQ(world.daemon.configurations().size(), 1u);
    EXPECT_EQ(world.daemon.configurations()[0].localizedDescription, "Quorvex");

    world.proxy.apply(shapingPlan("3g"), second.callback());
    ASSERT_EQ(second.error, std::optional<std::optional<QString>>(kOk));
    EXPECT_EQ(world.daemon.callCount("startTunnel"), 1u) << "not restarted";
    ASSERT_EQ(world.daemon.messages().size(), 1u);
    EXPECT_EQ(world.daemon.runningPlan(), shapingPlan("3g"));
    EXPECT_EQ(world.daemon.configurations().size(), 1u) << "the one configuration is saved again";

    world.daemon.setStatus(SessionStatus::Disconnecting);
    world.proxy.apply(shapingPlan("lte"), third.callback());
    world.clock.advance(0.4);
    EXPECT_EQ(world.daemon.callCount("startTunnel"), 2u);
    EXPECT_EQ(world.daemon.messages().size(), 1u);
    EXPECT_FALSE(third.arrived()) << "waits for the session to connect";
    world.daemon.setStatus(SessionStatus::Connected);
    world.clock.advance(0.2);
    EXPECT_EQ(third.error, std::optional<std::optional<QString>>(kOk));
}

TEST(ProxyControllerTest, APlanThatNeitherShapesNorBlocksOnlyStopsTheTunnel) {
    ThrottlePlan unlimited;
    unlimited.blockedHosts.emplace();
    {
        SCOPED_TRACE("no configuration: nothing to do");
        ProxyWorld world;
        Answer answer;
        world.proxy.apply(unlimited, answer.callback());
        EXPECT_EQ(answer.error, std::optional<std::optional<QString>>(kOk));
        EXPECT_EQ(world.daemon.calls(), std::vector<std::string>{"loadConfigurations"});
    }
    {
        SCOPED_TRACE("a running proxy is stopped and its configuration kept");
        ProxyWorld world;
        world.daemon.autoApprove();
        Answer started, stopped;
        world.proxy.apply(shapingPlan(), started.callback());
        world.proxy.apply(unlimited, stopped.callback());
        EXPECT_EQ(stopped.error, std::optional<std::optional<QString>>(kOk));
        EXPECT_EQ(world.daemon.callCount("stopTunnel"), 1u);
        ASSERT_EQ(world.daemon.configurations().size(), 1u);
        EXPECT_EQ(world.daemon.status(world.daemon.configurations()[0].id).value(),
                  SessionStatus::Disconnected);
        EXPECT_EQ(world.daemon.configurations()[0].plan, shapingPlan().encode())
            << "the last plan stays saved";
    }
    {
        SCOPED_TRACE("blocking alone still sets everything up");
        ProxyWorld world;
        world.daemon.autoApprove();
        ThrottlePlan blocking;
        blocking.blockedHosts = std::vector<std::string>{"example.com"};
        Answer answer;
        world.proxy.apply(blocking, answer.callback());
        EXPECT_EQ(answer.error, std::optional<std::optional<QString>>(kOk));
        EXPECT_EQ(world.daemon.callCount("requestActivation"), 1u);
        EXPECT_EQ(world.daemon.runningPlan(), blocking);
    }
}

TEST(ProxyControllerTest, ActivationWaitsForApprovalOncePerProcess) {
    ProxyWorld world;
    std::vector<bool> approvalChanges;
    world.proxy.onApprovalChange = [&](bool awaiting) { approvalChanges.push_back(awaiting); };
    Answer first, joined;
    world.proxy.apply(shapingPlan(), first.callback());
    world.proxy.activateExtension(joined.callback());
    EXPECT_TRUE(world.proxy.awaitingApproval());
    EXPECT_EQ(approvalChanges, std::vector<bool>{true});
    world.clock.advance(10);
    EXPECT_FALSE(first.arrived()) << "the user has not approved yet";
    EXPECT_FALSE(joined.arrived());
    EXPECT_EQ(world.daemon.callCount("requestActivation"), 1u) << "a second caller joins the waiting request";

    world.daemon.approve();
    world.daemon.allowProxy();
    world.clock.advance(ProxyController::kApprovalPollInterval);
    EXPECT_EQ(approvalChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(first.error, std::optional<std::optional<QString>>(kOk));
    EXPECT_EQ(joined.error, std::optional<std::optional<QString>>(kOk));

    Answer later;
    world.proxy.apply(shapingPlan("3g"), later.callback());
    EXPECT_EQ(world.daemon.callCount("requestActivation"), 1u) << "activated once per process";
}

/// The fake daemon with scripted answers to activation requests.
class ScriptedActivation final : public ExtensionControl {
public:
    explicit ScriptedActivation(ExtensionControl& inner)
        : m_inner(inner) {}
    std::optional<ControlResult<ActivationState>> answer;

    ControlResult<ActivationState> requestActivation() override {
        ++requests;
        return answer ? *answer : m_inner.requestActivation();
    }
    ControlResult<Done> deactivate() override { return m_inner.deactivate(); }
    ControlResult<ActivationState> activationState() override { return m_inner.activationState(); }
    ControlResult<std::vector<ProxyConfiguration>> loadConfigurations() override {
        return m_inner.loadConfigurations();
    }
    ControlResult<ProxyConfiguration> saveConfiguration(const ProxyConfiguration& c) override {
        return m_inner.saveConfiguration(c);
    }
    ControlResult<Done> removeConfiguration(const std::string& id) override {
        return m_inner.removeConfiguration(id);
    }
    ControlResult<Done> startTunnel(const std::string& id) override { return m_inner.startTunnel(id); }
    ControlResult<Done> stopTunnel(const std::string& id) override { return m_inner.stopTunnel(id); }
    ControlResult<SessionStatus> status(const std::string& id) override { return m_inner.status(id); }
    ControlResult<Done> sendMessage(const std::string& id, const std::string& message) override {
        return m_inner.sendMessage(id, message);
    }
    int requests = 0;

private:
    ExtensionControl& m_inner;
};

TEST(ProxyControllerTest, ActivationFailuresCarryTheirTexts) {
    using Result = ControlResult<ActivationState>;
    struct Case {
        const char* name;
        std::filesystem::path executable;
        std::optional<Result> answer;
        QString error;
        int requests;
    };
    const std::vector<Case> cases = {
        {"run from outside the install prefix", "/home/me/build/quorvex", std::nullopt,
         "Install Quorvex first (sudo cmake --install build/default) and start it from /opt/qv/bin.", 0},
        {"a prefix that is only a name prefix", "/opt/qvx/bin/quorvex", std::nullopt,
         "Install Quorvex first (sudo cmake --install build/default) and start it from /opt/qv/bin.", 0},
        {"accepted but in effect only after a restart", "/opt/qv/bin/quorvex",
         Result(ActivationState{true, false, false, true}),
         "Restart this computer to finish installing the extension.", 1},
        {"not found passes unchanged", "/opt/qv/bin/quorvex",
         Result::failure("The network extension is not installed.", ControlErrorKind::NotFound),
         "The network extension is not installed.", 1},
        {"any other failure", "/opt/qv/bin/quorvex",
         Result::failure("Permission denied.", ControlErrorKind::Denied),
         "System extension request failed: Permission denied.", 1},
        {"no daemon", "/opt/qv/bin/quorvex",
         Result::failure("The network extension is not running.", ControlErrorKind::Unreachable),
         "System extension request failed: The network extension is not running.", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeExtensionControl daemon;
        ScriptedActivation scripted(daemon);
        scripted.answer = c.answer;
        test::ManualExecutor executor;
        test::FakeClock clock;
        ProxyController proxy(scripted, executor, clock, {c.executable, "/opt/qv/"});
        Answer answer;
        proxy.apply(shapingPlan(), answer.callback());
        ASSERT_TRUE(answer.arrived());
        EXPECT_EQ(*answer.error, c.error);
        EXPECT_EQ(scripted.requests, c.requests);
        EXPECT_FALSE(proxy.isActivated());
        EXPECT_FALSE(proxy.awaitingApproval());
        EXPECT_EQ(daemon.callCount("saveConfiguration"), 0u);
    }
}

TEST(ProxyControllerTest, TheEnabledProbeAnswersFalseAfterThreeSecondsAndIgnoresALateAnswer) {
    ProxyWorld world;
    world.daemon.autoApprove();
    world.daemon.requestActivation();
    world.executor.hold();
    std::vector<bool> answers;
    world.proxy.isEnabled([&](bool enabled) { answers.push_back(enabled); });
    world.clock.advance(2.9);
    EXPECT_TRUE(answers.empty());
    world.clock.advance(0.1);
    EXPECT_EQ(answers, std::vector<bool>{false});
    world.executor.releaseAll();
    EXPECT_EQ(answers, std::vector<bool>{false}) << "the late 'enabled' changes nothing";

    world.proxy.isEnabled([&](bool enabled) { answers.push_back(enabled); });
    EXPECT_EQ(answers, (std::vector<bool>{false, true}));
    world.clock.advance(5);
    EXPECT_EQ(answers.size(), 2u) << "the watchdog of an answered probe stays silent";
}

TEST(ProxyControllerTest, TheRunningPlanIsReadBackAndAnUnreadableOneIsStopped) {
    ProxyWorld world;
    world.daemon.autoApprove();
    std::optional<std::optional<ThrottlePlan>> read;
    auto readPlan = [&] {
        read.reset();
        world.proxy.runningPlan([&](std::optional<ThrottlePlan> plan) { read = plan; });
        EXPECT_TRUE(read);
    };
    readPlan();
    EXPECT_EQ(*read, std::nullopt) << "no configuration";

    Answer started;
    world.proxy.apply(shapingPlan(), started.callback());
    readPlan();
    EXPECT_EQ(*read, shapingPlan());

    // The saved plan turns unreadable under the running tunnel.
    auto configuration = world.daemon.configurations().front();
    configuration.plan = "{\"rules\": 7}";
    world.daemon.saveConfiguration(configuration);
    readPlan();
    EXPECT_EQ(*read, std::nullopt);
    EXPECT_EQ(world.daemon.callCount("stopTunnel"), 1u);
    EXPECT_EQ(world.daemon.status(configuration.id).value(), SessionStatus::Disconnected);

    readPlan();
    EXPECT_EQ(*read, std::nullopt) << "not running";
    EXPECT_EQ(world.daemon.callCount("stopTunnel"), 1u) << "a stopped proxy is not stopped again";
}

TEST(ProxyControllerTest, TheSetupStatusFollowsTheApprovalsAndTheSession) {
    ProxyWorld world;
    auto read = [&] {
        std::optional<SetupStatus> status;
        world.proxy.setupStatus([&](SetupStatus value) { status = value; });
        EXPECT_TRUE(status);
        return status.value_or(SetupStatus{true, true, true});
    };
    EXPECT_EQ(read(), (SetupStatus{false, false, false}));
    world.daemon.approve();
    world.daemon.requestActivation();
    EXPECT_EQ(read(), (SetupStatus{true, false, false})) << "no configuration: neither allowed nor running";
    // Saved, and not allowed yet: the start waits for the administrator instead of failing.
    Answer answer;
    bool awaiting = false;
    world.proxy.onProxyAllowanceChange = [&](bool value) { awaiting = value; };
    world.proxy.apply(shapingPlan(), answer.callback());
    world.clock.advance(5 * ProxyController::kAllowancePollInterval);
    EXPECT_FALSE(answer.arrived());
    EXPECT_TRUE(awaiting);
    EXPECT_EQ(world.daemon.callCount("startTunnel"), 0u);
    EXPECT_EQ(read(), (SetupStatus{true, false, false})) << "saved, but proxies are not allowed yet";
    world.daemon.allowProxy();
    ASSERT_TRUE(world.advanceUntil([&] { return answer.arrived(); }, 2));
    EXPECT_EQ(answer.error, std::optional<std::optional<QString>>(kOk));
    EXPECT_FALSE(awaiting);
    EXPECT_EQ(read(), (SetupStatus{true, true, true}));
    world.daemon.setUnreachable(true);
    EXPECT_EQ(read(), (SetupStatus{false, false, false, SetupObstacle::DaemonNotRunning}))
        << "what cannot be read counts as false, and no daemon is said";
    world.daemon.setUnreachable(false);
    EXPECT_EQ(read(), (SetupStatus{true, true, true}));
}

// The program outside its install prefix is the first thing to say: the daemon would not trust it.
TEST(ProxyControllerTest, TheStatusSaysWhatKeepsTheExtensionFromBeingSetUp) {
    test::FakeExtensionControl daemon;
    test::ManualExecutor executor;
    test::FakeClock clock;
    ProxyController elsewhere(daemon, executor, clock,
                              {"/home/dev/quorvex/build/default/src/app/quorvex", "/opt/qv"});
    std::vector<SetupObstacle> told;
    elsewhere.onObstacleChange = [&](SetupObstacle obstacle) { told.push_back(obstacle); };
    std::optional<SetupStatus> status;
    elsewhere.setupStatus([&](SetupStatus value) { status = value; });
    ASSERT_TRUE(status);
    EXPECT_EQ(status->obstacle, SetupObstacle::ProgramNotInstalled);
    daemon.setUnreachable(true);
    elsewhere.setupStatus([&](SetupStatus value) { status = value; });
    EXPECT_EQ(status->obstacle, SetupObstacle::ProgramNotInstalled) << "said before the missing daemon";
    EXPECT_TRUE(told.empty()) << "nothing changed for the user";
}

TEST(ProxyControllerTest, ResetRemovesEveryConfigurationThenDeactivates) {
    {
        SCOPED_TRACE("nothing installed: the missing extension is no failure");
        ProxyWorld world;
        Answer answer;
        world.proxy.resetSetup(answer.callback());
        EXPECT_EQ(answer.error, std::optional<std::optional<QString>>(kOk));
        EXPECT_EQ(world.daemon.calls(),
                  (std::vector<std::string>{"loadConfigurations", "activationState", "deactivate"}));
    }
    {
        SCOPED_TRACE("two configurations, an enabled extension");
        ProxyWorld world;
        world.daemon.autoApprove();
        Answer applied, answer;
        world.proxy.apply(shapingPlan(), applied.callback());
        world.daemon.saveConfiguration(ProxyConfiguration{});
        ASSERT_TRUE(world.proxy.isActivated());
        const auto before = world.daemon.calls().size();
        world.proxy.resetSetup(answer.callback());
        EXPECT_EQ(answer.error, std::optional<std::optional<QString>>(kOk));
        const auto calls = world.daemon.calls();
        EXPECT_EQ(std::vector<std::string>(calls.begin() + long(before), calls.end()),
                  (std::vector<std::string>{"loadConfigurations", "stopTunnel", "removeConfiguration",
                                            "stopTunnel", "removeConfiguration", "activationState",
                                            "requestActivation", "deactivate"}));
        EXPECT_TRUE(world.daemon.configurations().empty());
        EXPECT_FALSE(world.daemon.isActivated());
        EXPECT_FALSE(world.proxy.isActivated()) << "the next apply activates again";
    }
    {
        SCOPED_TRACE("a failed removal ends the reset; the rest stays");
        ProxyWorld world;
        world.daemon.saveConfiguration(ProxyConfiguration{});
        world.daemon.saveConfiguration(ProxyConfiguration{});
        world.daemon.failNext("removeConfiguration", "The state folder is read-only.");
        Answer answer;
        world.proxy.resetSetup(answer.callback());
        EXPECT_EQ(answer.error, std::optional<std::optional<QString>>("The state folder is read-only."));
        EXPECT_EQ(world.daemon.configurations().size(), 2u);
        EXPECT_EQ(world.daemon.callCount("deactivate"), 0u);
    }
    {
        SCOPED_TRACE("no daemon");
        ProxyWorld world;
        world.daemon.setUnreachable(true);
        Answer answer;
        world.proxy.resetSetup(answer.callback());
        EXPECT_EQ(answer.error,
                  std::optional<std::optional<QString>>("The network extension is not running."));
    }
}

TEST(ProxyControllerTest, OverlappingAppliesRunInTurnAndEachGetsItsOwnAnswer) {
    ProxyWorld world;
    world.daemon.autoApprove();
    world.executor.hold();
    world.daemon.failNext("startTunnel", "The first start fails.");
    Answer first, second;
    world.proxy.apply(shapingPlan("edge"), first.callback());
    world.proxy.apply(shapingPlan("3g"), second.callback());
    while (world.executor.releaseOne()) {
        // Only one operation's calls are ever in flight.
        EXPECT_LE(world.executor.heldCount(), 1u);
    }
    EXPECT_EQ(first.error, std::optional<std::optional<QString>>("The first start fails."));
    EXPECT_EQ(second.error, std::optional<std::optional<QString>>(kOk));
    EXPECT_EQ(first.count + second.count, 2);
    EXPECT_EQ(world.daemon.runningPlan(), shapingPlan("3g"));
}

TEST(ProxyControllerTest, APlanThatCannotBeEncodedIsNeverSavedAsEmptyData) {
    ProxyWorld world;
    world.daemon.autoApprove();
    ThrottlePlan plan = shapingPlan();
    plan.rules[0].phases[0].seconds = std::numeric_limits<double>::quiet_NaN();
    Answer answer;
    world.proxy.apply(plan, answer.callback());
    ASSERT_TRUE(answer.arrived());
    ASSERT_TRUE(*answer.error);
    EXPECT_TRUE(answer.error->value().startsWith("The network plan could not be encoded"));
    EXPECT_EQ(world.daemon.callCount("saveConfiguration"), 0u);
}

} // namespace
} // namespace quorvex
