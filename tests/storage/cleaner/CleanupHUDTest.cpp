#include "storage/cleaner/CleanupHUD.h"

#include "storage/cleaner/CleanupHUDReporter.h"
#include "storage/cleaner/CleanupHUDView.h"
#include "support/FakeClock.h"
#include "ui/Animator.h"
#include "ui/Motion.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Phase = CleanupProgress::Phase;
using Mark = CleanupHUDPresenter::Mark;

class CleanupHUDTest : public testing::Test {
protected:
    test::FakeClock clock;
    CleanupHUD hud{clock};

    QPushButton* button() const { return hud.panel()->findChild<QPushButton*>("doneButton"); }
    QString text(const char* name) const { return hud.panel()->findChild<QLabel*>(name)->text(); }
    CleanupHUDView* view() const { return hud.panel()->findChild<CleanupHUDView*>(); }

    // A shown panel in its deleting phase, its motion on regardless of the desktop's setting.
    CleanupHUD::RunToken deletingRun() {
        const auto run = hud.show("Cleaning Up");
        view()->animator().setReduceMotion(false);
        hud.update(run, std::nullopt, Phase::deleting(1'000'000, 10'000'000));
        clock.advance(2.0);
        return run;
    }
    QImage grab(const char* name) const { return hud.panel()->findChild<QWidget*>(name)->grab().toImage(); }
};

TEST_F(CleanupHUDTest, ASecondShowReusesThePanelAndStartsOverAtMeasuring) {
    const auto first = hud.show("Moving to Trash");
    QWidget* panel = hud.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    hud.update(first, std::nullopt, Phase::deleting(10, 20));

    hud.show("Cleaning Up");
    EXPECT_EQ(hud.panel(), panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(hud.progress().title(), "Cleaning Up");
    EXPECT_EQ(hud.progress().phase(), Phase::measuring());
    EXPECT_EQ(view()->mark(), Mark::spinner);
    EXPECT_EQ(text("detail"), "Measuring…");
    EXPECT_EQ(QApplication::topLevelWidgets().count(panel), 1);
}

TEST_F(CleanupHUDTest, AnUpdateWithoutTitleKeepsTheTitleAndAnEqualPhaseNotifiesNoOne) {
    const auto run = hud.show("Cleaning Up");
    QSignalSpy changes(&hud.progress(), &CleanupProgress::changed);
    EXPECT_TRUE(hud.update(run, std::nullopt, Phase::deleting(5, 10)));
    EXPECT_EQ(hud.progress().title(), "Cleaning Up");
    EXPECT_EQ(changes.count(), 1);
    hud.update(run, std::nullopt, Phase::deleting(5, 10));
    hud.update(run, "Cleaning Up", Phase::deleting(5, 10));
    EXPECT_EQ(changes.count(), 1);
    hud.update(run, "Cleaned up", Phase::success("Freed 10 bytes."));
    EXPECT_EQ(hud.progress().title(), "Cleaned up");
    EXPECT_EQ(text("headline"), "Cleaned up");
}

// Two cleanups share the one panel: the older one's late reports must not move the newer one's
// run, and nothing may turn a finished run's "Done" back into a disabled "Cleaning…".
TEST_F(CleanupHUDTest, LateReportsOfAnEarlierOrFinishedRunAreIgnored) {
    const auto older = hud.show("Moving to Trash");
    const auto newer = hud.show("Erasing App Data");
    EXPECT_FALSE(hud.update(older, "Cleaned up", Phase::success("old")));
    EXPECT_EQ(hud.progress().title(), "Erasing App Data");
    EXPECT_EQ(hud.progress().phase(), Phase::measuring());

    EXPECT_TRUE(hud.update(newer, "Done erasing", Phase::success("Erased.")));
    EXPECT_TRUE(button()->isEnabled());
    EXPECT_FALSE(hud.update(older, std::nullopt, Phase::deleting(1, 2)));
    EXPECT_FALSE(hud.update(newer, std::nullopt, Phase::deleting(2, 2)));
    EXPECT_EQ(hud.progress().phase(), Phase::success("Erased."));
    EXPECT_TRUE(button()->isEnabled());
    EXPECT_EQ(button()->text(), "Done");
}

TEST_F(CleanupHUDTest, TwoReportersEachReachThePanelOnlyWhileTheirRunIsTheLatest) {
    CleanupHUDReporter clean(hud);
    CleanupHUDReporter erase(hud);
    clean.show("Moving to Trash");
    clean.update(0, 100);
    erase.show("Erasing");
    clean.update(50, 100);
    clean.finish({"Cleaned up", false, "Moved 100 bytes to the Trash."});
    EXPECT_EQ(hud.progress().title(), "Erasing");
    EXPECT_EQ(hud.progress().phase(), Phase::measuring());
    erase.update(10, 20);
    erase.finish({"2 of 3 items cleaned", true, "One failed."});
    EXPECT_EQ(hud.progress().title(), "2 of 3 items cleaned");
    EXPECT_EQ(hud.progress().phase(), Phase::failure("One failed."));
}

TEST_F(CleanupHUDTest, DoneAndReturnHideThePanelOnlyOnceTheRunHasFinished) {
    const auto run = hud.show("Cleaning Up");
    QWidget* panel = hud.panel();
    for (const Phase& working : {Phase::measuring(), Phase::deleting(1, 4)}) {
        hud.update(run, std::nullopt, working);
        EXPECT_FALSE(button()->isEnabled());
        EXPECT_EQ(button()->text(), "Cleaning…");
        QTest::mouseClick(button(), Qt::LeftButton);
        QTest::keyClick(view(), Qt::Key_Return);
        EXPECT_TRUE(panel->isVisible());
    }

    hud.update(run, "Cleaned up", Phase::success("Freed 4 bytes."));
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(hud.progress().phase(), Phase::success("Freed 4 bytes.")); // the model keeps it

    hud.show("Cleaning Up");
    EXPECT_EQ(hud.panel(), panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(view()->mark(), Mark::spinner);
    hud.update(hud.show("Again"), std::nullopt, Phase::failure("No."));
    QTest::mouseClick(button(), Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(CleanupHUDTest, AnUpdateBeforeAnyShowOnlyChangesTheModel) {
    hud.update(0, "Early", Phase::deleting(1, 2));
    hud.hide();
    EXPECT_EQ(hud.panel(), nullptr);
    hud.show("Cleaning Up");
    EXPECT_EQ(hud.progress().phase(), Phase::measuring());
}

// Successive deleting phases move the one ring, easing from where it is drawn; a new mark
// restarts its own entrance.
TEST_F(CleanupHUDTest, DeletingUpdatesMoveTheSameRingWithoutRestartingIt) {
    const auto run = hud.show("Cleaning Up");
    hud.update(run, std::nullopt, Phase::deleting(0, 100));
    EXPECT_EQ(view()->mark(), Mark::ring);
    clock.advance(1.0);
    hud.update(run, std::nullopt, Phase::deleting(40, 100));
    EXPECT_DOUBLE_EQ(view()->drawnFraction(), 0.0);
    clock.advance(0.1);
    EXPECT_GT(view()->drawnFraction(), 0.0);
    EXPECT_LT(view()->drawnFraction(), 0.4);
    hud.update(run, std::nullopt, Phase::deleting(80, 100));
    EXPECT_NEAR(view()->markAge(), 1.1, 1e-9); // the same ring, not a new entrance
    clock.advance(1.0);
    EXPECT_DOUBLE_EQ(view()->drawnFraction(), 0.8);

    hud.update(run, "Cleaned up", Phase::success("ok"));
    EXPECT_EQ(view()->mark(), Mark::success);
    EXPECT_DOUBLE_EQ(view()->markAge(), 0.0);
}

// Frames are asked for only while something moves: the spinner for as long as it shows, a
// finished mark only for its entrance.
TEST_F(CleanupHUDTest, RepaintsAreScheduledOnlyWhileAMarkMoves) {
    const auto run = hud.show("Cleaning Up");
    clock.advance(2.0);
    EXPECT_EQ(clock.pendingCount(), 1u);
    hud.update(run, "Cleaned up", Phase::success("ok"));
    clock.advance(2.0);
    EXPECT_EQ(clock.pendingCount(), 0u);
    hud.hide();
    hud.show("Again");
    EXPECT_EQ(clock.pendingCount(), 1u);
    hud.update(hud.show("Third"), "Failed", Phase::failure("no"));
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_EQ(clock.pendingCount(), 0u); // hidden mid-entrance: no more frames
}

// A report moves the panel with the controller's spring (0.45 s, damping 1): the new mark fades
// in over the old one, along that spring; a new run (show) swaps it at once.
TEST_F(CleanupHUDTest, AReportFadesTheNewMarkInAlongTheUpdateSpring) {
    const auto run = hud.show("Cleaning Up");
    view()->animator().setReduceMotion(false);
    EXPECT_DOUBLE_EQ(view()->markBlend(), 1.0);
    hud.update(run, std::nullopt, Phase::deleting(0, 10));
    const Motion spring = Motion::spring(0.45, 1.0);
    double now = 0;
    for (const double t : {0.0, 0.05, 0.15, 0.3}) {
        SCOPED_TRACE(t);
        clock.advance(t - now);
        now = t;
        EXPECT_NEAR(view()->markBlend(), spring.progress(t), 1e-6);
    }
    EXPECT_GT(spring.progress(0.15), 0.3); // the frames above are mid-spring, not at the ends
    EXPECT_LT(spring.progress(0.15), 0.9);
    clock.advance(2.0);
    EXPECT_DOUBLE_EQ(view()->markBlend(), 1.0);
    EXPECT_FALSE(view()->animator().isRunning()); // a ring at rest asks for no frames
    EXPECT_EQ(clock.pendingCount(), 0u);

    hud.show("Again");
    EXPECT_DOUBLE_EQ(view()->markBlend(), 1.0);
}

// A finished run's mark fades in over the ring, which keeps what it showed (its arc and its
// percentage) while it fades out.
TEST_F(CleanupHUDTest, TheRingFadesOutShowingItsLastPercentage) {
    const auto run = deletingRun();
    hud.update(run, std::nullopt, Phase::deleting(4'300'000, 10'000'000));
    clock.advance(2.0);
    const QRect mark(view()->width() / 2 - 54, 36, 108, 100);
    const QImage ring = view()->grab(mark).toImage();
    hud.update(run, "Cleaned up", Phase::success("ok"));
    EXPECT_DOUBLE_EQ(view()->markBlend(), 0.0);
    EXPECT_EQ(view()->grab(mark).toImage(), ring);
}

// The ring and its percentage ease out over 0.3 s to each new fraction; the percentage's digits
// roll while the ring moves.
TEST_F(CleanupHUDTest, TheRingEasesOutToEachNewFraction) {
    const auto run = deletingRun();
    hud.update(run, std::nullopt, Phase::deleting(6'000'000, 10'000'000));
    const Motion ease = Motion::easeOut(0.3);
    struct Frame {
        double at;
        double fraction;
    };
    const Frame frames[] = {
        {0.0, 0.1}, {0.1, 0.1 + 0.5 * ease.progress(0.1)}, {0.2, 0.1 + 0.5 * ease.progress(0.2)}, {0.3, 0.6}};
    double now = 0;
    for (const Frame& f : frames) {
        SCOPED_TRACE(f.at);
        clock.advance(f.at - now);
        now = f.at;
        EXPECT_NEAR(view()->drawnFraction(), f.fraction, 1e-9);
    }
    EXPECT_GT(frames[1].fraction, 0.1 + 0.5 / 3); // eased out: ahead of a linear ring
    clock.advance(2.0);                           // the detail line's roll rides the longer update spring
    EXPECT_FALSE(view()->animator().isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
}

// The detail line rolls the digits that changed, counting up; the rest of the line stands still.
TEST_F(CleanupHUDTest, TheDetailLineRollsOnlyItsChangedDigits) {
    const auto run = deletingRun();
    const QImage before = grab("detail");
    hud.update(run, std::nullopt, Phase::deleting(2'000'000, 10'000'000));
    EXPECT_EQ(text("detail"), "Deleting 2 MB of 10 MB");
    clock.advance(0.1);
    const QImage middle = grab("detail");
    clock.advance(2.0);
    const QImage after = grab("detail");
    ASSERT_EQ(middle.size(), after.size());
    EXPECT_NE(middle, after);
    EXPECT_NE(middle, before);
    // "Deleting " is the same before, during and after: its pixels do not move.
    const QRect start(0, 0, middle.width() * 2 / 5, middle.height());
    EXPECT_EQ(middle.copy(start), after.copy(start));
}

// The button fades its colours over 0.2 s (ease-out) when the run turns from "Cleaning…" to "Done".
TEST_F(CleanupHUDTest, TheButtonFadesFromCleaningToDone) {
    const auto run = deletingRun();
    const QImage working = grab("doneButton");
    hud.update(run, "Cleaned up", Phase::success("ok"));
    clock.advance(0.1);
    const QImage middle = grab("doneButton");
    clock.advance(0.1);
    const QImage done = grab("doneButton");
    const QPoint inside(12, middle.height() / 2);
    const QColor from = working.pixelColor(inside), mid = middle.pixelColor(inside),
                 to = done.pixelColor(inside);
    EXPECT_NE(from, to);
    for (const auto channel : {&QColor::red, &QColor::green, &QColor::blue}) {
        const int a = (from.*channel)(), b = (mid.*channel)(), c = (to.*channel)();
        EXPECT_TRUE((a <= b && b <= c) || (a >= b && b >= c)) << a << " " << b << " " << c;
    }
    EXPECT_NE(mid, from);
    EXPECT_NE(mid, to);
}

// Under Reduce Motion every change lands at once: no roll, no fade, no frame.
TEST_F(CleanupHUDTest, ReduceMotionShowsEveryChangeAtOnce) {
    const auto run = hud.show("Cleaning Up");
    view()->animator().setReduceMotion(true);
    hud.update(run, std::nullopt, Phase::deleting(3, 10));
    EXPECT_DOUBLE_EQ(view()->markBlend(), 1.0);
    EXPECT_DOUBLE_EQ(view()->drawnFraction(), 0.3);
    hud.update(run, "Cleaned up", Phase::success("ok"));
    const QImage now = grab("doneButton");
    clock.advance(2.0);
    EXPECT_EQ(now, grab("doneButton"));
    EXPECT_EQ(clock.pendingCount(), 0u); // not even the success entrance asks for frames
}

TEST_F(CleanupHUDTest, ALongMessageIsCutAtThreeLines) {
    const auto run = hud.show("A title long enough to wrap onto a second line of the card, centred");
    const QString message = QString("word ").repeated(80).trimmed();
    hud.update(run, std::nullopt, Phase::failure(message));
    const QString shown = text("detail");
    EXPECT_LT(shown.size(), message.size());
    EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
}

} // namespace
} // namespace quorvex
