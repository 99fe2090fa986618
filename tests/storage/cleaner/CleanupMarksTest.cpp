#include "storage/cleaner/CleanupMarks.h"

#include "ui/CheckmarkShape.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace quorvex {
namespace {

// The shake is computed for every frame from its progress s, so it swings while it runs even
// though it starts and ends at rest; a value interpolated between the two ends would stay at 0.
TEST(CleanupMarksTest, TheFailureShakeSwingsBetweenRestingEnds) {
    constexpr double kDelay = 0.3;
    constexpr double kLength = 0.5;
    struct Case {
        double s;
        double offset;
    };
    const Case cases[] = {
        {0.0, 0.0},
        {1.0 / 12.0, 8.0 * (11.0 / 12.0)}, // sin(π/2) = 1
        {3.0 / 12.0, -8.0 * (9.0 / 12.0)}, // sin(3π/2) = −1
        {0.5, 0.0},
        {1.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.s);
        EXPECT_NEAR(CleanupMarks::failure(kDelay + c.s * kLength).offset, c.offset, 1e-9);
    }
    EXPECT_DOUBLE_EQ(CleanupMarks::failure(0.1).offset, 0.0); // still waiting for its delay
    EXPECT_DOUBLE_EQ(CleanupMarks::failure(5.0).offset, 0.0);
    EXPECT_NEAR(CleanupMarks::failure(CleanupMarks::failureDuration()).shown, 1.0, 1e-3);
    EXPECT_GT(CleanupMarks::failure(0.3).shown, 1.0); // the spring overshoots on its way in
}

TEST(CleanupMarksTest, TheSuccessEntranceRunsItsThreeMotionsOnTheirOwnDelays) {
    const CleanupMarks::SuccessFrame start = CleanupMarks::success(0.0);
    EXPECT_DOUBLE_EQ(start.circle, 0.0);
    EXPECT_DOUBLE_EQ(start.check, 0.0);
    EXPECT_DOUBLE_EQ(start.burst, 0.0);

    const CleanupMarks::SuccessFrame early = CleanupMarks::success(0.2);
    EXPECT_GT(early.circle, 0.0);
    EXPECT_DOUBLE_EQ(early.check, 0.0); // the check waits 0.25 s
    EXPECT_DOUBLE_EQ(early.burst, 0.0); // the burst waits 0.35 s

    const CleanupMarks::SuccessFrame end = CleanupMarks::success(CleanupMarks::successDuration());
    EXPECT_NEAR(end.circle, 1.0, 1e-3);
    EXPECT_DOUBLE_EQ(end.check, 1.0);
    EXPECT_DOUBLE_EQ(end.burst, 1.0);
}

TEST(CleanupMarksTest, TheSpinnerTurnsOnceEveryNineTenthsOfASecond) {
    EXPECT_DOUBLE_EQ(CleanupMarks::spinnerAngle(0.0), 0.0);
    EXPECT_NEAR(CleanupMarks::spinnerAngle(0.45), 180.0, 1e-9);
    EXPECT_NEAR(CleanupMarks::spinnerAngle(0.9 * 7 + 0.225), 90.0, 1e-6);
}

// The spinner's arc covers the first 28 % of a gradient that runs once round the whole turn:
// clear at its tail, 28 % of the accent at its head, and clear behind the tail's round cap.
TEST(CleanupMarksTest, TheSpinnerArcFadesToAQuarterOfTheAccentAtItsHead) {
    QImage image(120, 120, QImage::Format_ARGB32_Premultiplied);
    const QRectF rect(14, 14, 92, 92);
    const QColor clear(0, 0, 0, 0);
    const auto alphaAt = [&](double elapsed, double turn) {
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        CleanupMarks::paintSpinner(painter, rect, elapsed, QColor(0, 0, 255), clear, clear);
        painter.end();
        // On the arc's centre line (radius 38: the ring sits 8 inside the mark), `turn` clockwise
        // from the arc's tail at three o'clock, turned with the spin.
        const double angle = 2 * std::numbers::pi * (turn + CleanupMarks::spinnerAngle(elapsed) / 360.0);
        const QPointF point = rect.center() + QPointF(std::cos(angle), std::sin(angle)) * 38.0;
        return image.pixelColor(point.toPoint()).alphaF();
    };
    struct Case {
        double turn;
        double alpha;
    };
    const Case cases[] = {{0.02, 0.02}, {0.14, 0.14}, {0.265, 0.265}, {-0.05, 0.0}};
    for (const double elapsed : {0.0, 0.3}) {
        // The backing's soft shadow lies under the whole ring; the arc is laid over it.
        const double shadow = alphaAt(elapsed, 0.5);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << elapsed << " " << c.turn);
            EXPECT_NEAR((alphaAt(elapsed, c.turn) - shadow) / (1 - shadow), c.alpha, 0.03);
        }
    }
}

TEST(CheckmarkShapeTest, TheBottomPointSitsAtAFractionOfTheWidthNotOfTheOffsetRect) {
    const QPainterPath path = CheckmarkShape::path(QRectF(10, 20, 40, 30));
    ASSERT_EQ(path.elementCount(), 3);
    EXPECT_EQ(QPointF(path.elementAt(0)), QPointF(10, 35));
    EXPECT_EQ(QPointF(path.elementAt(1)), QPointF(0.38 * 40, 50));
    EXPECT_EQ(QPointF(path.elementAt(2)), QPointF(50, 20));
}

TEST(CheckmarkShapeTest, ATrimmedCheckIsDrawnFromItsLeftEnd) {
    const QRectF rect(0, 0, 40, 31);
    EXPECT_EQ(CheckmarkShape::trimmed(rect, 0.0).elementCount(), 1);
    const QPainterPath whole = CheckmarkShape::trimmed(rect, 1.0);
    ASSERT_EQ(whole.elementCount(), 3);
    EXPECT_EQ(QPointF(whole.elementAt(2)), QPointF(40, 0));
    const QPainterPath part = CheckmarkShape::trimmed(rect, 0.1);
    ASSERT_EQ(part.elementCount(), 2); // still on the first stroke
    EXPECT_NEAR(part.length(), 0.1 * CheckmarkShape::path(rect).length(), 1e-6);
}

} // namespace
} // namespace quorvex
