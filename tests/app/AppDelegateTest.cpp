#include "app/AppDelegate.h"

#include "app/FakeServices.h"
#include "extension/ControlDaemon.h"
#include "support/CaughtSignal.h"
#include "support/FakeClock.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Reply = AppDelegate::TerminateReply;

struct QuitWorld {
    test::FakeClock clock;
    test::FakeNetwork network;
    int quits = 0;
    AppDelegate delegate{network, clock, [this] { ++quits; }};
};

TEST(AppDelegateTest, QuitsAtOnceWhenNothingIsShapedOrBeingApplied) {
    QuitWorld world;
    EXPECT_EQ(world.delegate.applicationShouldTerminate(), Reply::now);
    world.delegate.requestTermination();
    EXPECT_EQ(world.quits, 1);
    EXPECT_EQ(world.network.stopRequests, 0) << "the extension is not touched";
    world.delegate.requestTermination();
    EXPECT_EQ(world.quits, 1) << "one quit only";
}

TEST(AppDelegateTest, WhileShapingTheProxyIsStoppedBeforeTheProgramQuits) {
    QuitWorld world;
    world.network.active = true;
    world.delegate.requestTermination();
    EXPECT_EQ(world.quits, 0);
    EXPECT_EQ(world.network.stopRequests, 1);
    world.delegate.requestTermination(); // SIGTERM on top of the menu's Quit
    EXPECT_EQ(world.network.stopRequests, 1);
    world.network.finishStops();
    EXPECT_EQ(world.quits, 1);
    world.clock.advance(AppDelegate::kQuitTimeout);
    EXPECT_EQ(world.quits, 1) << "the bound does not quit a second time";
}

TEST(AppDelegateTest, WhileAChangeIsBeingAppliedTheQuitWaitsForItThenStopsTheProxy) {
    QuitWorld world;
    world.network.busy = true; // the first shaping change, not yet committed: isActive still false
    EXPECT_EQ(world.delegate.applicationShouldTerminate(), Reply::later);
    EXPECT_EQ(world.network.stopRequests, 0) << "a stop now would be undone by the change in flight";
    world.clock.advance(1.0);
    world.network.change([](test::FakeNetwork& network) {
        network.busy = false;
        network.active = true;
    });
    EXPECT_EQ(world.network.stopRequests, 1);
    EXPECT_EQ(world.quits, 0);
    world.network.finishStops();
    EXPECT_EQ(world.quits, 1);
}

TEST(AppDelegateTest, TheWaitIsBounded) {
    struct Case {
        const char* name;
        bool busy;
    };
    for (const Case c :
         {Case{"a stop that never returns", false}, Case{"a change that never settles", true}}) {
        SCOPED_TRACE(c.name);
        QuitWorld world;
        world.network.active = true;
        world.network.busy = c.busy;
        world.delegate.requestTermination();
        world.clock.advance(AppDelegate::kQuitTimeout - 0.1);
        EXPECT_EQ(world.quits, 0);
        world.clock.advance(0.1);
        EXPECT_EQ(world.quits, 1);
        EXPECT_EQ(world.network.stopRequests, 1) << "the stop is asked for even when the wait ran out";
        EXPECT_TRUE(world.delegate.hasFinished());
    }
}

TEST(AppDelegateTest, OnlyTheWholeArgumentAsksForTheSetupReset) {
    EXPECT_TRUE(AppDelegate::isResetSetupRun({"--verbose", "--reset-setup"}));
    EXPECT_FALSE(AppDelegate::isResetSetupRun({"--reset-setup-now"}));
    EXPECT_FALSE(AppDelegate::isResetSetupRun({"-reset-setup"}));
    EXPECT_FALSE(AppDelegate::isResetSetupRun({}));
}

// The program itself, as a process: the reset run needs no display and ends with its status. It
// resets through the extension daemon's control socket: one served in this test process, or a
// path where no daemon answers.
TEST(AppDelegateTest, TheResetRunPrintsItsOutcomeAndExitsWithItsStatus) {
    test::ScratchFolder folder;
    test::ControlDaemon daemon(folder.path());
    const QString missing = QString::fromStdString((folder.path() / "absent.sock").string());
    struct Case {
        const char* name;
        QStringList arguments;
        QString socket;
        bool testHost;
        QString output;
        int status;
    };
    const std::vector<Case> cases = {
        {"success",
         {"--reset-setup"},
         QString::fromStdString(daemon.socketPath()),
         false,
         "Setup reset. Launch the app again to see the setup guide.\n",
         0},
        {"failure: no daemon",
         {"--reset-setup"},
         missing,
         false,
         "Reset failed: The network extension is not running (no answer on " + missing + ").\n",
         1},
        {"in any position, and under a test host too",
         {"-v", "--reset-setup"},
         QString::fromStdString(daemon.socketPath()),
         true,
         "Setup reset. Launch the app again to see the setup guide.\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        environment.insert("QUORVEX_EXTENSION_SOCKET", c.socket);
        if (c.testHost)
            environment.insert("XCTestConfigurationFilePath", "/tmp/none.xctestconfiguration");
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QUORVEX_APP_PATH, c.arguments);
        ASSERT_TRUE(process.waitForFinished(30'000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.status);
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()), c.output);
    }
}

TEST(AppDelegateTest, UnderATestHostTheProgramStartsNothingAndQuitsOnSigterm) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XCTestConfigurationFilePath", "/tmp/none.xctestconfiguration");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QUORVEX_APP_PATH, {"--reset-setup-later"});
    ASSERT_TRUE(process.waitForStarted());
    // Once its SIGTERM handler is in place the program is up; it must still be running (idle).
    ASSERT_TRUE(test::waitForCaughtSignal(static_cast<pid_t>(process.processId()), SIGTERM));
    EXPECT_EQ(process.state(), QProcess::Running) << "not taken for a reset run; it idles";
    process.terminate(); // SIGTERM through the self-pipe and the one quit path
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
}

} // namespace
} // namespace quorvex
