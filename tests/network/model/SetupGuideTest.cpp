#include "network/model/SetupGuide.h"

#include "NetworkTestWorld.h"
#include "network/model/SetupGuideWindow.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Phase = SetupGuide::Phase;
using Mode = SetupGuide::Mode;

using test::StatusSource;

/// A waiting network change the test answers by hand.
struct Change {
    int runs = 0;
    ProxyControl::Completion pending;
    SetupGuide::PendingChange operation() {
        return [this](ProxyControl::Completion done) {
            ++runs;
            pending = std::move(done);
        };
    }
    void answer(std::optional<QString> error) {
        auto done = std::move(pending);
        pending = nullptr;
        done(error);
    }
};

struct GuideWorld {
    StatusSource proxy;
    test::FakeClock clock;
    int presents = 0;
    int windowsMade = 0;
    SetupGuide guide{proxy, clock, [this](SetupGuide&) {
                         ++windowsMade;
                         return std::make_unique<test::RecordingWindow>(&presents);
                     }};
    Change change;

    void setStatus(SetupStatus status) {
        proxy.status = status;
        guide.refresh();
    }
};

const SetupStatus none{false, false, false};
const SetupStatus extensionOnly{true, false, false};
const SetupStatus approved{true, true, false};
const SetupStatus running{true, true, true};

TEST(SetupGuideTest, ThePrimaryButtonFollowsModeProgressPageStatusErrorAndWork) {
    enum class Run { NotStarted, Working, Failed, Succeeded };
    enum class Action { StartsTheRun, RunsAgain, Advances, Closes, Nothing };
    struct Case {
        const char* name;
        Mode mode;
        Run run;
        SetupStatus status;
        Phase page; // gone to after the run is arranged
        QString title;
        bool enabled;
        Action action;
        Phase after;
    };
    const std::vector<Case> cases = {
        {"live, before Continue", Mode::Live, Run::NotStarted, none, Phase::Intro, "Continue", true,
         Action::StartsTheRun, Phase::ApproveExtension},
        {"live, Continue with both approvals given goes straight to done", Mode::Live, Run::NotStarted,
         approved, Phase::Intro, "Continue", true, Action::StartsTheRun, Phase::Done},
        {"live, waiting for the extension", Mode::Live, Run::Working, none, Phase::ApproveExtension, "Next",
         false, Action::Nothing, Phase::ApproveExtension},
        {"live, extension approved", Mode::Live, Run::Working, extensionOnly, Phase::ApproveExtension, "Next",
         true, Action::Advances, Phase::AllowProxy},
        {"live, failed", Mode::Live, Run::Failed, none, Phase::ApproveExtension, "Try Again", true,
         Action::RunsAgain, Phase::ApproveExtension},
        {"live, failed on the last page", Mode::Live, Run::Failed, approved, Phase::Done, "Try Again", true,
         Action::RunsAgain, Phase::Done},
        {"live, done but not running yet", Mode::Live, Run::Succeeded, approved, Phase::Done, "Done", false,
         Action::Nothing, Phase::Done},
        {"live, done and running", Mode::Live, Run::Succeeded, running, Phase::Done, "Done", true,
         Action::Closes, Phase::Done},
        {"tour, first page", Mode::Tour, Run::NotStarted, none, Phase::Intro, "Next", true, Action::Advances,
         Phase::ApproveExtension},
        {"tour, an unconfirmed step may still be passed", Mode::Tour, Run::NotStarted, none,
         Phase::AllowProxy, "Next", true, Action::Advances, Phase::Done},
        {"tour, done without approvals", Mode::Tour, Run::NotStarted, none, Phase::Done, "Done", false,
         Action::Nothing, Phase::Done},
        {"tour, done needs no running proxy", Mode::Tour, Run::NotStarted, approved, Phase::Done, "Done",
         true, Action::Closes, Phase::Done},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GuideWorld world;
        world.setStatus(c.status);
        if (c.mode == Mode::Live)
            world.guide.begin(*NetworkProfile::builtIn("3g"), world.change.operation());
        else
            world.guide.showTour(SetupGuide::defaultProfile());
        if (c.run != Run::NotStarted) {
            world.guide.primaryAction(); // Continue
            if (c.run == Run::Failed)
                world.change.answer(
                    QStringLiteral("The network extension didn’t start. Try again in a moment."));
            else if (c.run == Run::Succeeded)
                world.change.answer(std::nullopt);
        }
        world.guide.go(c.page);
        ASSERT_EQ(world.guide.phase(), c.page);
        EXPECT_EQ(world.guide.primaryButtonTitle(), c.title);
        EXPECT_EQ(world.guide.canContinue(), c.enabled);

        const int runsBefore = world.change.runs;
        if (c.enabled)
            world.guide.primaryAction();
        EXPECT_EQ(world.guide.phase(), c.after);
        EXPECT_EQ(world.change.runs - runsBefore,
                  c.action == Action::StartsTheRun || c.action == Action::RunsAgain ? 1 : 0);
        EXPECT_EQ(world.guide.isWindowVisible(), c.action != Action::Closes);
        if (c.action == Action::StartsTheRun || c.action == Action::RunsAgain) {
            EXPECT_TRUE(world.guide.isWorking());
            EXPECT_FALSE(world.guide.error()) << "a run clears the last error";
            EXPECT_EQ(world.guide.primaryButtonTitle(), c.after == Phase::Done ? "Done" : "Next");
        }
    }
}

TEST(SetupGuideTest, WhichStepsMayBeReached) {
    GuideWorld world;
    world.guide.begin(SetupGuide::defaultProfile(), world.change.operation());
    auto reachable = [&] {
        std::vector<bool> result;
        for (Phase phase : {Phase::Intro, Phase::ApproveExtension, Phase::AllowProxy, Phase::Done})
            result.push_back(world.guide.canReach(phase));
        return result;
    };
    world.setStatus(approved);
    EXPECT_EQ(reachable(), (std::vector<bool>{true, false, false, false}))
        << "live before Continue: only the intro";
    world.setStatus(none);
    world.guide.primaryAction();
    EXPECT_EQ(reachable(), (std::vector<bool>{true, true, false, false}));
    world.setStatus(extensionOnly);
    EXPECT_EQ(reachable(), (std::vector<bool>{true, true, true, false}));
    world.setStatus(approved);
    EXPECT_EQ(reachable(), (std::vector<bool>{true, true, true, true}));
    world.guide.showTour(SetupGuide::defaultProfile());
    world.setStatus(none);
    EXPECT_EQ(reachable(), (std::vector<bool>{true, true, true, true})) << "the tour goes anywhere";
}

TEST(SetupGuideTest, ARefreshAdvancesOnlyFromThePageOfTheStepJustConfirmed) {
    GuideWorld world;
    world.guide.begin(SetupGuide::defaultProfile(), world.change.operation());
    world.setStatus(extensionOnly);
    EXPECT_EQ(world.guide.phase(), Phase::Intro) << "not started: the page stays";

    world.setStatus(none);
    world.guide.primaryAction();
    ASSERT_EQ(world.guide.phase(), Phase::ApproveExtension);
    world.setStatus(extensionOnly);
    EXPECT_EQ(world.guide.phase(), Phase::AllowProxy);
    world.setStatus(approved);
    EXPECT_EQ(world.guide.phase(), Phase::Done);
    world.setStatus(none);
    EXPECT_EQ(world.guide.phase(), Phase::Done) << "never moves back by itself";

    // On the proxy page, an extension approval seen late does not move it.
    GuideWorld other;
    other.guide.begin(SetupGuide::defaultProfile(), other.change.operation());
    other.guide.primaryAction();
    other.setStatus(extensionOnly);
    ASSERT_EQ(other.guide.phase(), Phase::AllowProxy);
    other.setStatus(none);
    other.setStatus(extensionOnly);
    EXPECT_EQ(other.guide.phase(), Phase::AllowProxy) << "the extension's step is not this page's";
}

TEST(SetupGuideTest, ThePollReadsOnceASecondWhileTheWindowShows) {
    GuideWorld world;
    world.guide.showTour(SetupGuide::defaultProfile());
    EXPECT_EQ(world.proxy.reads, 1) << "the first read at once";
    world.clock.advance(3.0);
    EXPECT_EQ(world.proxy.reads, 4);
    world.guide.closeWindow();
    world.clock.advance(5.0);
    EXPECT_EQ(world.proxy.reads, 4) << "ends at its next check once hidden";
    EXPECT_EQ(world.clock.pendingCount(), 0u);

    world.guide.begin(SetupGuide::defaultProfile(), world.change.operation());
    world.guide.showWindow(); // a second show restarts, it does not add a poll
    EXPECT_EQ(world.proxy.reads, 6);
    world.clock.advance(1.0);
    EXPECT_EQ(world.proxy.reads, 7);
    EXPECT_EQ(world.windowsMade, 1) << "one window, reused";
    EXPECT_EQ(world.presents, 3);
}

TEST(SetupGuideTest, ANewRunNeverInheritsTheErrorOrWorkOfAnOldOne) {
    GuideWorld world;
    Change old;
    world.guide.begin(SetupGuide::defaultProfile(), old.operation());
    world.guide.primaryAction();
    ASSERT_TRUE(world.guide.isWorking());

    world.guide.begin(*NetworkProfile::builtIn("3g"), world.change.operation());
    EXPECT_FALSE(world.guide.isWorking());
    EXPECT_EQ(world.guide.phase(), Phase::Intro);
    EXPECT_EQ(world.guide.primaryButtonTitle(), "Continue");
    EXPECT_TRUE(world.guide.canContinue());

    old.answer(QStringLiteral("Restart this computer to finish installing the extension."));
    EXPECT_FALSE(world.guide.error()) << "the old run's failure belongs to the old run";
    EXPECT_FALSE(world.guide.isWorking());

    world.guide.primaryAction();
    EXPECT_EQ(world.change.runs, 1);
    EXPECT_EQ(old.runs, 1) << "the replaced change is never run";
    world.change.answer(QStringLiteral("The network extension didn’t start. Try again in a moment."));
    EXPECT_EQ(world.guide.error(),
              std::optional<QString>("The network extension didn’t start. Try again in a moment."));
    EXPECT_EQ(world.guide.primaryButtonTitle(), "Try Again");
    world.guide.primaryAction();
    EXPECT_EQ(world.change.runs, 2) << "Try Again runs the same change";
    EXPECT_FALSE(world.guide.canContinue()) << "disabled while it runs";
}

TEST(SetupGuideTest, AnEqualProfileChangesNothingAndATourKeepsTheWaitingChange) {
    GuideWorld world;
    int changes = 0;
    QObject::connect(&world.guide, &SetupGuide::changed, [&] { ++changes; });
    world.guide.showTour(SetupGuide::defaultProfile());
    EXPECT_EQ(changes, 0) << "already a tour about Edge on the intro";
    world.guide.begin(SetupGuide::defaultProfile(), world.change.operation());
    world.guide.showTour(*NetworkProfile::builtIn("lte"));
    EXPECT_EQ(world.guide.mode(), Mode::Tour);
    EXPECT_EQ(world.guide.profile().id, "lte");
    EXPECT_TRUE(world.guide.hasPendingChange());
    world.guide.go(Phase::Done);
    world.guide.go(Phase::Intro);
    EXPECT_EQ(world.change.runs, 0) << "a tour runs nothing";
}

// The test worlds above approve everything at once; here the administrator approves the
// extension and has not allowed proxies yet. The run waits on the proxy page, no error and no
// "Try Again", until they are allowed, and then finishes on its own.
TEST(SetupGuideTest, ARunWaitsOnTheProxyPageUntilTheAdministratorAllowsProxies) {
    test::ProxyWorld world;
    world.daemon.approve();
    int presents = 0;
    SetupGuide guide(world.proxy, world.clock,
                     [&](SetupGuide&) { return std::make_unique<test::RecordingWindow>(&presents); });
    std::optional<std::optional<QString>> outcome;
    guide.begin(*NetworkProfile::builtIn("3g"), [&](ProxyControl::Completion done) {
        world.proxy.apply(test::shapingPlan("3g"), [&, done](std::optional<QString> error) {
            outcome = error;
            done(error);
        });
    });
    guide.primaryAction(); // Continue
    ASSERT_TRUE(world.advanceUntil([&] { return guide.phase() == Phase::AllowProxy; }, 5));
    world.clock.advance(10 * SetupGuide::kPollInterval);
    EXPECT_EQ(guide.phase(), Phase::AllowProxy);
    EXPECT_FALSE(guide.error()) << "waiting for the administrator is no failure";
    EXPECT_FALSE(outcome);
    EXPECT_TRUE(world.proxy.awaitingProxyAllowance());
    EXPECT_TRUE(guide.isWorking());
    EXPECT_FALSE(guide.isComplete(Phase::AllowProxy));

    world.daemon.allowProxy();
    ASSERT_TRUE(world.advanceUntil([&] { return guide.isComplete(Phase::Done); }, 5));
    EXPECT_EQ(outcome, std::optional<std::optional<QString>>(std::optional<QString>()));
    EXPECT_EQ(guide.phase(), Phase::Done) << "moved on when the proxy was allowed";
    EXPECT_FALSE(guide.error());
    EXPECT_EQ(world.daemon.runningPlan(), test::shapingPlan("3g"));
}

} // namespace
} // namespace quorvex
