#include "network/guide/SetupGuideView.h"

#include "network/guide/SetupIllustrations.h"
#include "network/model/NetworkTestWorld.h"
#include "network/model/ProxyController.h"
#include "support/KeyboardAudit.h"

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Phase = SetupGuide::Phase;

using test::StatusSource;

struct ViewWorld {
    StatusSource proxy;
    test::FakeClock clock;
    int presents = 0;
    SetupGuide guide{proxy, clock,
                     [this](SetupGuide&) { return std::make_unique<test::RecordingWindow>(&presents); }};
    std::vector<SetupHelp::Topic> helpShown;
    int closes = 0;
    SetupGuideView view{guide, setupIllustrations(clock),
                        [this](SetupHelp::Topic topic) { helpShown.push_back(topic); }, [this] { ++closes; }};
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
    EXPECT_FALSE(world.find<QPushButton>("back")->isVisibleTo(&world.view));
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
    ASSERT_TRUE(world.find<QPushButton>("help"));
    world.find<QPushButton>("help")->click();
    EXPECT_EQ(world.helpShown, std::vector{SetupHelp::Topic::ApproveExtension});

    world.begin();
    world.guide.primaryAction();
    ASSERT_EQ(world.guide.phase(), Phase::ApproveExtension);
    EXPECT_TRUE(world.labels().contains("Waiting for “sudo quorvexctl approve”…"));
    EXPECT_TRUE(world.find<QWidget>("spinner"));
    world.setStatus({true, false, false});
    world.guide.go(Phase::ApproveExtension);
    EXPECT_TRUE(world.labels().contains("Extension allowed"));
    EXPECT_FALSE(world.find<QPushButton>("help")) << "gone once the extension is confirmed";
}

// What holds the extension step up is told apart: the program outside its install folder, no
// daemon, or a daemon waiting for the administrator. Only the last is something to wait for.
TEST(SetupGuideViewTest, TheExtensionStepTellsWhatHoldsItUp) {
    struct Case {
        const char* name;
        SetupObstacle obstacle;
        const char* message; // a part of the page's message
        const char* line;
        bool spinner;
        SetupHelp::Topic help;
    };
    const std::vector<Case> cases = {
        {"not installed", SetupObstacle::ProgramNotInstalled, "Install Quorvex", "Quorvex isn’t installed",
         false, SetupHelp::Topic::InstallProgram},
        {"no daemon", SetupObstacle::DaemonNotRunning,
         "sudo systemctl enable --now quorvex-network-extension", "The network extension isn’t running",
         false, SetupHelp::Topic::StartDaemon},
        {"waiting for approval", SetupObstacle::None, "sudo quorvexctl approve",
         "Waiting for “sudo quorvexctl approve”…", true, SetupHelp::Topic::ApproveExtension},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewWorld world;
        SetupStatus status;
        status.obstacle = c.obstacle;
        world.setStatus(status);
        world.begin();
        world.guide.primaryAction();
        ASSERT_EQ(world.guide.phase(), Phase::ApproveExtension);
        EXPECT_TRUE(world.find<QLabel>("message")->text().contains(c.message))
            << world.find<QLabel>("message")->text().toStdString();
        EXPECT_TRUE(world.labels().contains(c.line));
        EXPECT_EQ(world.find<QWidget>("spinner") != nullptr, c.spinner);
        ASSERT_TRUE(world.find<QPushButton>("help"));
        EXPECT_EQ(world.find<QPushButton>("help")->text(), SetupHelp::buttonTitle(c.help));
        world.find<QPushButton>("help")->click();
        EXPECT_EQ(world.helpShown, std::vector{c.help});
    }
}

// No alert asks about the proxy here: the page says what the administrator runs.
TEST(SetupGuideViewTest, TheProxyStepSaysWhatToRun) {
    ViewWorld world;
    world.setStatus({true, false, false});
    world.begin();
    world.guide.primaryAction();
    ASSERT_EQ(world.guide.phase(), Phase::AllowProxy);
    EXPECT_TRUE(world.find<QLabel>("message")->text().contains("sudo quorvexctl allow-proxy"));
    EXPECT_FALSE(world.find<QLabel>("message")->text().contains("Click Allow"));
    EXPECT_TRUE(world.labels().contains("Waiting for “sudo quorvexctl allow-proxy”…"));
    ASSERT_TRUE(world.find<QPushButton>("help"));
    world.find<QPushButton>("help")->click();
    EXPECT_EQ(world.helpShown, std::vector{SetupHelp::Topic::AllowProxy});
    world.setStatus({true, true, false});
    EXPECT_FALSE(world.find<QPushButton>("help")) << "gone once the proxy is allowed";
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

    // A long error is shown whole: wrapped on as many lines as it needs, none cut off.
    world.guide.primaryAction();
    world.pending(ProxyController::notInstalledText("/usr/local") + " " +
                  ProxyController::notInstalledText("/opt/somewhere/far/away"));
    world.view.show();
    world.settle();
    QLabel* text = world.find<QLabel>("errorText");
    ASSERT_TRUE(text);
    world.view.layout()->activate();
    EXPECT_TRUE(text->wordWrap());
    EXPECT_GE(text->height(), text->heightForWidth(text->width()));
    EXPECT_GT(text->height(), 2 * QFontMetrics(text->font()).lineSpacing()) << "more than two lines here";
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
        EXPECT_EQ(world.find<QPushButton>("cancel")->isVisibleTo(&world.view), c.cancelShown);
        EXPECT_EQ(world.find<QWidget>("starting") != nullptr, c.starting);
        EXPECT_EQ(world.find<QPushButton>("primary")->text(), c.primary);
        EXPECT_EQ(world.find<QPushButton>("primary")->isEnabled(), c.primaryEnabled);
    }
}

// Each page is walked by Tab from the step row to the primary button and back, and every button
// shows its focus, the custom-drawn ones too.
TEST(SetupGuideViewTest, TabReachesEveryButtonInReadingOrderAndFocusShows) {
    struct Case {
        const char* what;
        std::function<void(ViewWorld&)> arrange;
        QStringList order;
    };
    const Case cases[] = {
        {"intro of a live run", [](ViewWorld& w) { w.begin(); }, {"cancel", "primary"}},
        {"extension step of the tour",
         [](ViewWorld& w) {
             w.guide.showTour(SetupGuide::defaultProfile());
             w.guide.go(Phase::ApproveExtension);
         },
         {"step-Extension", "step-Proxy", "step-Done", "help", "back", "cancel", "primary"}},
        {"last page, complete",
         [](ViewWorld& w) {
             w.guide.showTour(SetupGuide::defaultProfile());
             w.setStatus({true, true, true});
             w.guide.go(Phase::Done);
         },
         {"step-Extension", "step-Proxy", "step-Done", "back", "primary"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ViewWorld world;
        c.arrange(world);
        world.settle();
        ASSERT_TRUE(test::showActive(&world.view));
        const std::vector<QWidget*> stops = test::tabStops(&world.view);
        ASSERT_FALSE(stops.empty());
        QWidget* first = world.view.findChild<QWidget*>(c.order.front());
        ASSERT_NE(first, nullptr);
        const std::vector<QWidget*> walked = test::walkTabOrder(first);
        EXPECT_EQ(test::objectNames(walked), c.order);
        QStringList stopNames = test::objectNames(stops);
        QStringList seen = test::objectNames(walked);
        stopNames.sort();
        seen.sort();
        EXPECT_EQ(seen, stopNames);
        for (QWidget* stop : stops)
            EXPECT_TRUE(test::focusIsVisible(stop)) << stop->objectName().toStdString();
    }
}

// Return belongs to the focused button, else to the primary one; Escape is the cancel button's,
// and does nothing once the last page has none.
TEST(SetupGuideViewTest, KeysDoWhatTheFocusedButtonSays) {
    enum class Effect { primary, back, close, help, step, nothing };
    struct Case {
        const char* focus; // nullptr: the page itself
        Qt::Key key;
        Effect effect;
        bool complete = false; // on the last page, confirmed
    };
    const Case cases[] = {
        {"primary", Qt::Key_Return, Effect::primary}, {"primary", Qt::Key_Space, Effect::primary},
        {nullptr, Qt::Key_Return, Effect::primary},   {"back", Qt::Key_Return, Effect::back},
        {"back", Qt::Key_Space, Effect::back},        {"cancel", Qt::Key_Return, Effect::close},
        {"cancel", Qt::Key_Space, Effect::close},     {"help", Qt::Key_Return, Effect::help},
        {"step-Done", Qt::Key_Return, Effect::step},  {"primary", Qt::Key_Escape, Effect::close},
        {nullptr, Qt::Key_Escape, Effect::close},     {"primary", Qt::Key_Escape, Effect::nothing, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus ? c.focus : "page") + " " + QTest::toString(c.key) +
                     (c.complete ? " (complete)" : ""));
        ViewWorld world;
        world.guide.showTour(SetupGuide::defaultProfile());
        const Phase start = c.complete ? Phase::Done : Phase::ApproveExtension;
        if (c.complete)
            world.setStatus({true, true, true});
        world.guide.go(start);
        world.settle();
        ASSERT_TRUE(test::showActive(&world.view));
        QWidget* focus = c.focus ? world.view.findChild<QWidget*>(c.focus) : &world.view;
        ASSERT_NE(focus, nullptr);
        focus->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focus, c.key);
        const Phase expected = c.effect == Effect::primary ? Phase::AllowProxy
                               : c.effect == Effect::back  ? Phase::Intro
                               : c.effect == Effect::step  ? Phase::Done
                                                           : start;
        EXPECT_EQ(world.guide.phase(), expected);
        EXPECT_EQ(world.closes, c.effect == Effect::close ? 1 : 0);
        EXPECT_EQ(world.helpShown.size(), c.effect == Effect::help ? 1u : 0u);
    }
}

// A redraw (a status poll, the next page) keeps the keyboard focus on the button it was on, so
// Return and Space keep working without reaching for the mouse.
TEST(SetupGuideViewTest, TheFocusedButtonKeepsTheFocusThroughRedraws) {
    ViewWorld world;
    world.guide.showTour(SetupGuide::defaultProfile());
    world.guide.go(Phase::ApproveExtension);
    world.settle();
    ASSERT_TRUE(test::showActive(&world.view));
    for (const char* name : {"primary", "cancel", "back", "step-Proxy"}) {
        SCOPED_TRACE(name);
        world.guide.go(Phase::ApproveExtension);
        world.settle();
        QWidget* button = world.view.findChild<QWidget*>(name);
        ASSERT_NE(button, nullptr);
        button->setFocus(Qt::TabFocusReason);
        world.setStatus({true, false, false});
        world.setStatus({false, false, false});
        world.settle();
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), name);
    }
    // Space on the primary button moves on a page; the next Space moves on again.
    world.guide.go(Phase::Intro);
    world.settle();
    world.view.findChild<QWidget*>("primary")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    world.settle();
    EXPECT_EQ(world.guide.phase(), Phase::ApproveExtension);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(world.guide.phase(), Phase::AllowProxy);
}

// A screen reader hears every button's name, where the guide is and what each step's state is.
TEST(SetupGuideViewTest, ButtonsAreNamedAndStepsSayWhereTheGuideIs) {
    ViewWorld world;
    world.guide.showTour(SetupGuide::defaultProfile());
    world.setStatus({true, false, false});
    world.guide.go(Phase::AllowProxy);
    world.settle();
    world.view.show();
    EXPECT_EQ(test::describe(test::accessibilityProblems(&world.view)), QString());
    const auto description = [&](const char* name) {
        return QAccessible::queryAccessibleInterface(world.view.findChild<QWidget*>(name))
            ->text(QAccessible::Description);
    };
    EXPECT_EQ(description("step-Extension"), "Step 1 of 3, done");
    EXPECT_EQ(description("step-Proxy"), "Step 2 of 3, current");
    EXPECT_EQ(description("step-Done"), "Step 3 of 3, not done yet");
    EXPECT_EQ(test::accessibleName(world.view.findChild<QWidget*>("page")), "Allow the proxy configuration");
    // The page's line on the step is read with the page.
    EXPECT_EQ(description("page"), "Not allowed yet");
    world.setStatus({true, true, false});
    world.settle();
    EXPECT_EQ(description("step-Proxy"), "Step 2 of 3, current, done");
    EXPECT_EQ(description("page"), "Proxy configuration allowed");
}

} // namespace
} // namespace quorvex
