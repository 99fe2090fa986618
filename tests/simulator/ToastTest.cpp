#include "simulator/Toast.h"
#include "simulator/ToastView.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>

using namespace quorvex;
using Phase = ToastPresenter::Phase;

namespace {

QString shownTitle(const ToastPresenter& presenter) {
    const auto* label = presenter.window()->findChild<QLabel*>(QStringLiteral("toastTitle"));
    return label ? label->text() : QString();
}

} // namespace

TEST(ToastTest, DisplayTimeDependsOnFailure) {
    struct Case {
        bool failed;
        double visibleFor;
    };
    for (const Case c : {Case{false, 2.0}, Case{true, 3.5}}) {
        SCOPED_TRACE(c.failed);
        test::FakeClock clock;
        ToastPresenter presenter(clock);
        presenter.show({QStringLiteral("Sent"), std::nullopt, QStringLiteral("bell.badge"), c.failed});
        EXPECT_EQ(presenter.phase(), Phase::FadingIn);
        EXPECT_DOUBLE_EQ(presenter.opacity(), 0.0);
        clock.advance(0.1);
        EXPECT_NEAR(presenter.opacity(), 0.5, 0.01);
        clock.advance(0.1);
        EXPECT_EQ(presenter.phase(), Phase::Shown);
        EXPECT_DOUBLE_EQ(presenter.opacity(), 1.0);
        clock.advance(c.visibleFor - 0.2 - 0.01);
        EXPECT_EQ(presenter.phase(), Phase::Shown);
        clock.advance(0.02);
        EXPECT_EQ(presenter.phase(), Phase::FadingOut);
        clock.advance(0.3);
        EXPECT_EQ(presenter.phase(), Phase::Hidden);
        EXPECT_FALSE(presenter.window()->isVisible());
        EXPECT_EQ(clock.pendingCount(), 0u);
    }
}

TEST(ToastTest, NewerToastGetsItsFullTime) {
    struct Case {
        const char* when;
        double secondAfter; // seconds after the first toast
    };
    // During the first toast's display, and during its fade-out (the old fade-out must not hide
    // the newer toast when it completes).
    for (const Case c : {Case{"while shown", 1.0}, Case{"while fading out", 2.1}}) {
        SCOPED_TRACE(c.when);
        test::FakeClock clock;
        ToastPresenter presenter(clock);
        presenter.show({QStringLiteral("First"), std::nullopt, QStringLiteral("link"), false});
        clock.advance(c.secondAfter);
        presenter.show({QStringLiteral("Second"), QStringLiteral("detail"), QStringLiteral("link"), false});
        EXPECT_EQ(shownTitle(presenter), QStringLiteral("Second"));
        EXPECT_EQ(presenter.phase(), Phase::FadingIn);
        clock.advance(1.99);
        EXPECT_EQ(presenter.phase(), Phase::Shown);
        EXPECT_TRUE(presenter.window()->isVisible());
        clock.advance(0.02);
        EXPECT_EQ(presenter.phase(), Phase::FadingOut);
        clock.advance(0.3);
        EXPECT_EQ(presenter.phase(), Phase::Hidden);
    }
}

TEST(ToastTest, WindowNeverTakesFocusOrClicksAndSitsAtTheTopCentre) {
    test::FakeClock clock;
    ToastPresenter presenter(clock);
    QSignalSpy shown(&presenter, &ToastPresenter::toastShown);
    const QString longTitle(300, QLatin1Char('W'));
    presenter.show(
        {longTitle, QString(500, QLatin1Char('d')), QStringLiteral("exclamationmark.triangle"), true});
    ASSERT_EQ(shown.count(), 1);

    QWidget* window = presenter.window();
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_LE(window->width(), 420 + 2 * 16);
    EXPECT_TRUE(shownTitle(presenter).endsWith(QChar(0x2026)));

    const QRect visible = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->y(), visible.top() + 12);
    EXPECT_LE(std::abs(window->geometry().center().x() - visible.center().x()), 1);
}

namespace quorvex {
namespace {

// On a desktop that cannot blend, the window is cut to this shape: the capsule only, never the
// shadow's margin (which would show black) nor the square corners around the round ends.
TEST(ToastTest, BubbleRegionIsTheCapsuleWithoutTheShadowMargin) {
    const QSize size(300, 80); // a 268 x 48 capsule inside the 16-pixel margin
    const QRegion region = ToastView::bubbleRegion(size);
    struct Case {
        const char* where;
        QPoint point;
        bool inside;
    };
    const Case cases[] = {
        {"centre", {150, 40}, true},
        {"middle of the straight top edge", {150, 17}, true},
        {"shadow margin above", {150, 8}, false},
        {"shadow margin left", {8, 40}, false},
        {"square corner beside a round end", {17, 17}, false},
        {"inside the left round end", {30, 40}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(region.contains(c.point), c.inside) << c.where;
    EXPECT_TRUE(ToastView::bubbleRegion(QSize(20, 20)).isEmpty()) << "smaller than the margins";
}

} // namespace
} // namespace quorvex
