#include "network/guide/SetupGuideView.h"

#include "network/guide/SetupIllustrations.h"
#include "network/model/NetworkTestWorld.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Phase = SetupGuide::Phase;

/// Answers the status it is told.
class StatusSource final : public ProxyControl {
public:
    SetupStatus status;
    void setupStatus(std::function<void(SetupStatus)> done) override { done(status); }
    void apply(const ThrottlePlan&, Completion done) override { done(std::nullopt); }
    void hasConfiguration(std::function<void(bool)> done) override { done(false); }
    void runningPlan(std::function<void(std::optional<ThrottlePlan>)> done) override { done(std::nullopt); }
    void stopTunnel(std::function<void()> done) override { done(); }
    void resetSetup(Completion done) override { done(std::nullopt); }
};

struct ViewWorld {
    StatusSource proxy;
    test::FakeClock clock;
    int presents = 0;
    SetupGuide guide{proxy, clock,
                     [this](SetupGuide&) { return std::make_unique<test::RecordingWindow>(&presents); }};
    int settingsOpened = 0;
    int closes = 0;
    SetupGuideView view{guide, setupIllustrations(clock), [this] { ++settingsOpened; }, [this] { ++closes; }};
    ProxyControl::Completion pending;

    void begin(const char* profile = "3g") {
        guide.begin(*NetworkProfile::builtIn(profile),
                    [this](ProxyControl::Completion done) { pending = std::move(done); });
    }
    void setStatus(SetupStatus status) {
        proxy.status = status;
        guide.refresh();
    }
    /// Lets the replaced widgets go, so only what shows now is found.
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    template <typename T> T* find(const char* name) {
        settle();
        return view.findChild<T*>(name);
    }
    QStringList labels() {
        settle();
        QStringList texts;
        for (QLabel* label : view.findChildren<QLabel*>())
            if (!label->text().isEmpty())
                texts << label->text();
        return texts;
    }
};

TEST(SetupGuideViewTest, BeforeContinueOnlyTheIntroShowsWithNotNowAndContinue) {
    ViewWorld world;
    world.begin();
    EXPECT_FALSE(world.find<QPushButton>("back"));
    EXPECT_EQ(world.find<QPushButton>("cancel")->text(), "Not Now");
    EXPECT_EQ(world.find<QPushButton>("primary")->text(), "Continue");
    for (const char* step : {"step-Extension", "step-Proxy", "step-Done"})
        EXPECT_FALSE(world.find<QPushButton>(step)->isEnabled()) << step;
    EXPECT_EQ(world.find<QLabel>("title")->text(), "Control your simulators’ network, not this computer’s");
}

TEST(SetupGuideViewTest, StepLinesFollowConfirmationAndMode) {
    ViewWorld world;
    world.guide.showTour(SetupGuide::defaultProfile());
    world.guide.go(Phase::ApproveExtension);
    EXPECT_TRUE(world.labels().contains("Not allowed yet"))
        << "the tour shows a dashed circle, never a spinner";
    EXPECT_FALSE(world.find<QWidget>("spinner"));
    ASSERT_TRUE(world.find<QPushButton>("openSettings"));
    world.find<QPushButton>("openSettings")->click();
    EXPECT_EQ(world.settingsOpened, 1);

    world.begin();
    world.guide.primaryAction();
    ASSERT_EQ(world.guide.phase(), Phase::ApproveExtension);
    EXPECT_TRUE(world.labels().contains("Waiting for “sudo quorvexctl approve”…"));
    EXPECT_TRUE(world.find<QWidget>("spinner"));
    world.setStatus({true, false, false});
    world.guide.go(Phase::ApproveExtension);
    EXPECT_TRUE(world.labels().contains("Extension allowed"));
    EXPECT_FALSE(world.find<QPushButton>("openSettings")) << "gone once the extension is confirmed";
}

TEST(SetupGuideViewTest, AFailedRunShowsItsErrorAndTryAgainOnTheSamePage) {
    ViewWorld world;
    world.begin();
    world.guide.primaryAction();
    world.pending(QStringLiteral("The network extension didn’t start. Try again in a moment."));
    EXPECT_EQ(world.guide.phase(), Phase::ApproveExtension);
    EXPECT_EQ(world.find<QLabel>("errorText")->text(),
              "The network extension didn’t start. Try again in a moment.");
    EXPECT_EQ(world.find<QPushButton>("primary")->text(), "Try Again");
    EXPECT_TRUE(world.find<QPushButton>("primary")->isEnabled());
}

// The last page says what is on; a live run that is not set up never gets there and stays on
// the step that is missing, with Next disabled.
TEST(SetupGuideViewTest, TheLastPageSaysWhatIsOn) {
    struct Case {
        const char* name;
        const char* profile;
        bool tour;
        SetupStatus status;
        Phase page;
        QString title;
        bool cancelShown;
        bool starting;
        QString primary;
        bool primaryEnabled;
    };
    const std::vector<Case> cases = {
        {"live, shaping",
         "3g",
         false,
         {true, true, true},
         Phase::Done,
         "Simulators are on 3G",
         false,
         false,
         "Done",
         true},
        {"live, blocking only",
         "unlimited",
         false,
         {true, true, true},
         Phase::Done,
         "Host blocking is on",
         false,
         false,
         "Done",
         true},
        {"live, starting",
         "3g",
         false,
         {true, true, false},
         Phase::Done,
         "Almost there",
         true,
         true,
         "Done",
         false},
        {"live, not set up",
         "3g",
         false,
         {true, false, false},
         Phase::AllowProxy,
         "Allow the proxy configuration",
         true,
         false,
         "Next",
         false},
        {"tour, approvals given",
         "edge",
         true,
         {true, true, false},
         Phase::Done,
         "You’re all set",
         false,
         false,
         "Done",
         true},
        {"tour, nothing approved",
         "edge",
         true,
         {false, false, false},
         Phase::Done,
         "Not set up yet",
         true,
         false,
         "Done",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewWorld world;
        world.setStatus(c.status);
        if (c.tour) {
            world.guide.showTour(*NetworkProfile::builtIn(c.profile));
        } else {
            world.begin(c.profile);
            world.guide.primaryAction();
        }
        world.guide.go(Phase::Done);
        EXPECT_EQ(world.guide.phase(), c.page);
        EXPECT_EQ(world.find<QLabel>("title")->text(), c.title);
        EXPECT_EQ(world.find<QPushButton>("cancel") != nullptr, c.cancelShown);
        EXPECT_EQ(world.find<QWidget>("starting") != nullptr, c.starting);
        EXPECT_EQ(world.find<QPushButton>("primary")->text(), c.primary);
        EXPECT_EQ(world.find<QPushButton>("primary")->isEnabled(), c.primaryEnabled);
    }
}

} // namespace
} // namespace quorvex
