#include "network/model/NetworkModel.h"

#include "NetworkTestWorld.h"
#include "network/model/SetupGuide.h"
#include "support/FakeDialogs.h"

#include <QSettings>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using HostRule = NetworkService::HostRule;

SimulatorApp app(const QString& id, const QString& folder) {
    SimulatorApp value;
    value.id = id;
    value.name = id.section('.', -1);
    value.bundleFolder = folder;
    value.devices = {"UDID-1"};
    return value;
}

const SimulatorApp demo = app("com.example.Demo", "Demo.app");
const SimulatorApp other = app("com.example.Other", "Other.app");

/// A model over the fake daemon, with its defaults in a scratch file and a recorded guide window.
struct ModelWorld {
    QTemporaryDir folder;
    QSettings defaults{folder.filePath("defaults.ini"), QSettings::IniFormat};
    test::ProxyWorld proxy;
    test::FakeDialogs dialogs;
    int presents = 0;
    SetupGuide guide{proxy.proxy, proxy.clock,
                     [this](SetupGuide&) { return std::make_unique<test::RecordingWindow>(&presents); }};
    std::unique_ptr<NetworkModel> model;

    explicit ModelWorld(bool configured = true, bool approved = true) {
        if (approved)
            proxy.daemon.autoApprove();
        if (configured)
            proxy.daemon.saveConfiguration(ProxyConfiguration{});
    }
    NetworkModel& start() {
        model = std::make_unique<NetworkModel>(proxy.proxy, guide, defaults);
        return *model;
    }
    void writeDefaults(const nlohmann::json& appProfiles, const nlohmann::json& hostRules) {
        defaults.setValue("appProfiles", QByteArray::fromStdString(appProfiles.dump()));
        defaults.setValue("hostRules", QByteArray::fromStdString(hostRules.dump()));
    }
    /// Starts a proxy that runs `plan`, as a previous run of the program left it.
    void leaveRunning(ThrottlePlan plan) {
        auto configuration = proxy.daemon.configurations().front();
        configuration.plan = plan.encode();
        proxy.daemon.saveConfiguration(configuration);
        proxy.daemon.requestActivation();
        ASSERT_TRUE(proxy.daemon.startTunnel(configuration.id));
    }
    QByteArray stored(const char* key) { return defaults.value(key).toByteArray(); }
};

nlohmann::json choiceJson(std::vector<std::pair<SimulatorApp, std::string>> entries) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& [value, profile] : entries)
        object[value.id.toStdString()] = {{"app", toJson(value)}, {"profileID", profile}};
    return object;
}

TEST(NetworkModelTest, AChoiceIsStoredAfterTheProxyTookItAndNoLimitRemovesIt) {
    ModelWorld world;
    NetworkModel& model = world.start();
    model.setProfile(*NetworkProfile::builtIn("edge"), demo);
    EXPECT_EQ(model.profile(demo).id, "edge");
    EXPECT_EQ(world.proxy.daemon.runningPlan()->rules.at(0).appBundle, "Demo.app");
    EXPECT_TRUE(model.isActive());
    EXPECT_EQ(model.summary(), "Edge");
    const auto saved = nlohmann::json::parse(world.stored("appProfiles").toStdString());
    EXPECT_EQ(saved, choiceJson({{demo, "edge"}}));
    EXPECT_EQ(world.stored("hostRules"), "[]");

    const auto starts = world.proxy.daemon.callCount("startTunnel");
    model.setProfile(*NetworkProfile::builtIn("edge"), demo);
    EXPECT_EQ(world.proxy.daemon.callCount("saveConfiguration"), 2u) << "the same profile commits nothing";

    model.setProfile(*NetworkProfile::builtIn("unlimited"), demo);
    EXPECT_TRUE(model.choice().empty());
    EXPECT_FALSE(model.isActive());
    EXPECT_EQ(model.summary(), "");
    EXPECT_EQ(world.proxy.daemon.callCount("stopTunnel"), 1u);
    EXPECT_EQ(world.proxy.daemon.callCount("startTunnel"), starts);
    EXPECT_EQ(world.stored("appProfiles"), "{}");
    EXPECT_FALSE(world.guide.isWindowVisible());
}

TEST(NetworkModelTest, HostRulesAreNormalisedAndAReAddedHostMovesToTheEndEnabled) {
    ModelWorld world;
    NetworkModel& model = world.start();
    EXPECT_FALSE(model.addHostRule("not a host!"));
    EXPECT_TRUE(model.addHostRule("HTTPS://Ads.Example.COM:8443/path?q=1"));
    EXPECT_TRUE(model.addHostRule("tracker.test"));
    model.toggleHostRule("ads.example.com");
    EXPECT_EQ(model.hostRules(), (std::vector<HostRule>{{"ads.example.com", false}, {"tracker.test", true}}));
    EXPECT_EQ(model.summary(), "1 blocked host");
    EXPECT_EQ(world.proxy.daemon.runningPlan()->blockedHosts, std::vector<std::string>{"tracker.test"});

    EXPECT_TRUE(model.addHostRule("ads.example.com"));
    EXPECT_EQ(model.hostRules(), (std::vector<HostRule>{{"tracker.test", true}, {"ads.example.com", true}}));
    EXPECT_EQ(model.summary(), "2 blocked hosts");

    model.removeHostRule("tracker.test");
    model.toggleHostRule("ads.example.com");
    EXPECT_EQ(model.hostRules(), (std::vector<HostRule>{{"ads.example.com", false}}));
    EXPECT_FALSE(model.isActive()) << "a disabled rule blocks nothing";
    EXPECT_EQ(world.stored("hostRules"), R"([{"enabled":false,"host":"ads.example.com"}])");
}

TEST(NetworkModelTest, AChangeWhileAnotherIsUnderWayIsDropped) {
    ModelWorld world;
    NetworkModel& model = world.start();
    ASSERT_TRUE(model.addHostRule("a.test"));
    world.proxy.executor.hold();
    model.toggleHostRule("a.test");
    model.toggleHostRule("a.test"); // while the first still looks for the configuration
    model.addHostRule("b.test");
    world.proxy.executor.releaseOne(); // the first change found the configuration: its commit runs
    EXPECT_TRUE(model.isBusy());
    model.removeHostRule("a.test"); // while committing
    world.proxy.executor.releaseAll();
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(model.hostRules(), (std::vector<HostRule>{{"a.test", false}}))
        << "only the first toggle took effect";
}

TEST(NetworkModelTest, WithoutAProxyConfigurationAChangeWaitsInTheSetupGuide) {
    ModelWorld world(false);
    NetworkModel& model = world.start();
    model.setProfile(*NetworkProfile::builtIn("3g"), demo);
    EXPECT_TRUE(world.guide.isWindowVisible());
    EXPECT_EQ(world.guide.mode(), SetupGuide::Mode::Live);
    EXPECT_EQ(world.guide.profile().id, "3g");
    EXPECT_TRUE(model.choice().empty()) << "nothing changes before the guide runs the change";
    EXPECT_FALSE(model.isBusy());
    EXPECT_TRUE(world.stored("appProfiles").isEmpty());

    model.addHostRule("ads.test"); // replaces the waiting change
    EXPECT_EQ(world.guide.profile().id, "unlimited");
    world.proxy.executor.hold(); // the daemon answers after the page has moved on, as it does
    world.guide.primaryAction(); // Continue
    EXPECT_EQ(world.guide.phase(), SetupGuide::Phase::ApproveExtension);
    world.proxy.executor.releaseAll();
    EXPECT_EQ(model.hostRules(), (std::vector<HostRule>{{"ads.test", true}}));
    EXPECT_TRUE(model.choice().empty()) << "the replaced change never ran";
    // Both approvals arrive in one read: the guide moves one page, the user the next.
    EXPECT_EQ(world.guide.phase(), SetupGuide::Phase::AllowProxy);
    world.guide.primaryAction();
    EXPECT_EQ(world.guide.phase(), SetupGuide::Phase::Done);
    EXPECT_TRUE(world.guide.isComplete(SetupGuide::Phase::Done));
    EXPECT_TRUE(world.dialogs.alerts().empty());
}

TEST(NetworkModelTest, AFailedCommitKeepsTheOldStateAndSaysWhy) {
    ModelWorld world;
    NetworkModel& model = world.start();
    world.proxy.daemon.failNext("startTunnel", "The network extension is not enabled.");
    model.setProfile(*NetworkProfile::builtIn("lte"), demo);
    EXPECT_TRUE(model.choice().empty());
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(model.lastError(), std::optional<QString>("The network extension is not enabled."));
    EXPECT_TRUE(world.stored("appProfiles").isEmpty()) << "defaults are written only after success";
    ASSERT_EQ(world.dialogs.alerts().size(), 1u);
    EXPECT_EQ(world.dialogs.alerts()[0].message, "Couldn’t change the simulator network");
    EXPECT_EQ(world.dialogs.alerts()[0].informativeText, "The network extension is not enabled.");

    model.setProfile(*NetworkProfile::builtIn("lte"), demo);
    EXPECT_EQ(model.profile(demo).id, "lte");
    EXPECT_FALSE(model.lastError()) << "cleared when a commit starts";
}

TEST(NetworkModelTest, AtLaunchChoicesComeBackOnlyWhenTheProxyStillRunsWithAPlan) {
    const auto rules = nlohmann::json::array(
        {{{"host", "a.test"}, {"enabled", true}}, {{"host", "b.test"}, {"enabled", true}}});
    {
        SCOPED_TRACE("no running proxy");
        ModelWorld world;
        world.writeDefaults(choiceJson({{demo, "edge"}}), rules);
        NetworkModel& model = world.start();
        EXPECT_TRUE(model.choice().empty());
        EXPECT_EQ(model.hostRules(), (std::vector<HostRule>{{"a.test", false}, {"b.test", false}}));
        EXPECT_EQ(world.proxy.daemon.callCount("startTunnel"), 0u) << "nothing is sent";
    }
    {
        SCOPED_TRACE("a running proxy that blocks one of the hosts");
        ModelWorld world;
        world.writeDefaults(choiceJson({{demo, "edge"}, {other, "retired-profile"}}), rules);
        ThrottlePlan plan = test::shapingPlan();
        plan.blockedHosts = std::vector<std::string>{"b.test"};
        world.leaveRunning(plan);
        NetworkModel& model = world.start();
        EXPECT_EQ(model.choice().size(), 2u) << "an unknown profile id stays in the choice";
        EXPECT_EQ(model.hostRules(), (std::vector<HostRule>{{"a.test", false}, {"b.test", true}}));
        EXPECT_EQ(model.summary(), "Edge · 1 blocked host") << "the unknown profile is left out";
        EXPECT_EQ(model.profile(other).id, "unlimited");
        EXPECT_EQ(NetworkModel::buildPlan(model.choice(), model.hostRules()).rules.size(), 1u);
        EXPECT_EQ(world.proxy.daemon.callCount("saveConfiguration"), 2u) << "nothing written back";
    }
    {
        SCOPED_TRACE("unreadable defaults read as empty");
        ModelWorld world;
        world.defaults.setValue("appProfiles", QByteArray("{not json"));
        world.defaults.setValue("hostRules", QByteArray(R"([{"host": "a.test"}])"));
        world.leaveRunning(test::shapingPlan());
        NetworkModel& model = world.start();
        EXPECT_TRUE(model.choice().empty());
        EXPECT_TRUE(model.hostRules().empty());
    }
}

TEST(NetworkModelTest, TheSummaryNamesEachProfileOnceInOrderAndCountsEnabledHosts) {
    ModelWorld world;
    const SimulatorApp third = app("com.example.Third", "Third.app");
    world.writeDefaults(choiceJson({{demo, "edge"}, {other, "wifi"}, {third, "edge"}}),
                        nlohmann::json::array({{{"host", "a.test"}, {"enabled", true}},
                                               {{"host", "b.test"}, {"enabled", true}}}));
    ThrottlePlan plan = test::shapingPlan();
    plan.blockedHosts = std::vector<std::string>{"a.test", "b.test"};
    world.leaveRunning(plan);
    NetworkModel& model = world.start();
    EXPECT_EQ(model.summary(), "Edge, Wi-Fi · 2 blocked hosts");
}

TEST(NetworkModelTest, QuittingStopsTheTunnelAndKeepsEverythingSaved) {
    ModelWorld world;
    NetworkModel& model = world.start();
    model.setProfile(*NetworkProfile::builtIn("edge"), demo);
    bool stopped = false;
    model.stopProxyForQuit([&] { stopped = true; });
    EXPECT_TRUE(stopped);
    EXPECT_EQ(world.proxy.daemon.callCount("stopTunnel"), 1u);
    EXPECT_EQ(world.proxy.daemon.configurations().size(), 1u);
    EXPECT_EQ(model.profile(demo).id, "edge");
    EXPECT_FALSE(world.stored("appProfiles").isEmpty());
}

TEST(NetworkModelTest, TheApprovalWaitIsMirrored) {
    ModelWorld world(true, false);
    NetworkModel& model = world.start();
    model.setProfile(*NetworkProfile::builtIn("edge"), demo);
    EXPECT_TRUE(model.awaitingApproval());
    EXPECT_TRUE(model.isBusy());
    world.proxy.clock.advance(30);
    EXPECT_TRUE(model.awaitingApproval()) << "waits as long as the administrator takes";
    world.proxy.daemon.approve();
    world.proxy.daemon.allowProxy();
    world.proxy.clock.advance(ProxyController::kApprovalPollInterval);
    EXPECT_FALSE(model.awaitingApproval());
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(model.profile(demo).id, "edge");
}

} // namespace
} // namespace quorvex
