// The app's network side against the extension daemon's real control service, served on a Unix
// socket in this process: what the model chooses is what the daemon runs, the choice comes back
// after a restart of the app, and the setup guide walks a first run to its end.
#include "extension/ControlDaemon.h"
#include "network/control/SocketExtensionControl.h"
#include "network/model/NetworkModel.h"
#include "network/model/SetupGuide.h"
#include "network/model/WorkerThreadExecutor.h"

#include "NetworkTestWorld.h"
#include "support/FakeDialogs.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(NetworkDaemonTest, AChoiceRunsInTheDaemonAndComesBackAfterARestart) {
    test::ScratchFolder folder;
    ControlService::Options options;
    options.autoApprove = true;
    test::ControlDaemon daemon(folder.path(), options);
    SocketExtensionControl control(daemon.socketPath(), 5);
    WorkerThreadExecutor executor;
    test::FakeClock clock;
    ProxyController proxy(control, executor, clock, {"/opt/qv/bin/quorvex", "/opt/qv"});
    QTemporaryDir scratch;
    QSettings defaults(scratch.filePath("defaults.ini"), QSettings::IniFormat);
    test::FakeDialogs dialogs;
    int presents = 0;
    auto window = [&](SetupGuide&) { return std::make_unique<test::RecordingWindow>(&presents); };

    SimulatorApp demo;
    demo.id = "com.example.Demo";
    demo.name = "Demo";
    demo.bundleFolder = "Demo.app";
    demo.devices = {"UDID-1"};

    {
        SetupGuide guide(proxy, clock, window);
        NetworkModel model(proxy, guide, defaults);
        model.setProfile(*NetworkProfile::builtIn("edge"), demo);
        ASSERT_TRUE(QTest::qWaitFor([&] { return guide.isWindowVisible(); }, 5000))
            << "a first run opens the guide";
        EXPECT_TRUE(model.choice().empty());
        guide.primaryAction(); // Continue
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !guide.isWorking() && guide.phase() == SetupGuide::Phase::AllowProxy; }, 5000));
        EXPECT_FALSE(guide.error());
        EXPECT_EQ(model.profile(demo).id, "edge");
        // A poll read that began before the run may land after it; the next poll settles it.
        clock.advance(SetupGuide::kPollInterval);
        ASSERT_TRUE(QTest::qWaitFor([&] { return guide.status() == SetupStatus{true, true, true}; }, 5000));
        guide.primaryAction(); // Next
        EXPECT_EQ(guide.phase(), SetupGuide::Phase::Done);
        EXPECT_TRUE(guide.isComplete(SetupGuide::Phase::Done));
        EXPECT_EQ(guide.primaryButtonTitle(), "Done");

        const auto configurations = control.loadConfigurations();
        ASSERT_TRUE(configurations);
        ASSERT_EQ(configurations.value().size(), 1u);
        EXPECT_EQ(daemon.service().status(configurations.value()[0].id), SessionStatus::Connected);
        ASSERT_TRUE(configurations.value()[0].plan);
        EXPECT_EQ(ThrottlePlan::decode(*configurations.value()[0].plan),
                  NetworkModel::buildPlan(model.choice(), {}));

        ASSERT_TRUE(model.addHostRule("ads.example.com"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return model.hostRules().size() == 1; }, 5000));
    }
    {
        // The program starts again while the proxy still runs: its choices come back.
        SetupGuide guide(proxy, clock, window);
        NetworkModel model(proxy, guide, defaults);
        ASSERT_TRUE(QTest::qWaitFor([&] { return model.profile(demo).id == "edge"; }, 5000));
        EXPECT_EQ(model.hostRules(), (std::vector<NetworkService::HostRule>{{"ads.example.com", true}}));
        EXPECT_EQ(model.summary(), "Edge · 1 blocked host");

        bool stopped = false;
        model.stopProxyForQuit([&] { stopped = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return stopped; }, 5000));
    }
    {
        // After a quit stopped the proxy, the next start shows the hosts disabled and no choices.
        SetupGuide guide(proxy, clock, window);
        NetworkModel model(proxy, guide, defaults);
        std::optional<ThrottlePlan> running = test::shapingPlan();
        bool read = false;
        proxy.runningPlan([&](std::optional<ThrottlePlan> plan) {
            running = plan;
            read = true;
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return read; }, 5000));
        EXPECT_FALSE(running);
        EXPECT_TRUE(model.choice().empty());
        EXPECT_EQ(model.hostRules(), (std::vector<NetworkService::HostRule>{{"ads.example.com", false}}));
    }
    EXPECT_TRUE(dialogs.alerts().empty());
}

} // namespace
} // namespace quorvex
