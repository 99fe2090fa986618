#include "illustrations/DoneFrame.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quorvex {
namespace {

TEST(DoneFrameTest, RingsAtTheStillFrameAndAcrossTheLoop) {
    struct Case {
        double t;
        double side0, opacity0, side1, opacity1;
    };
    const Case cases[] = {
        {DoneFrame::kRingStillFrame, 94.9375, 0.2953125, 143.0625, 0.0546875},
        {0, 84, 0.35, 119, 0.175},
        {1.2, 119, 0.175, 84, 0.35},
        {2.4, 84, 0.35, 119, 0.175}, // wraps
        {-0.6, 143.0625, 0.0546875, 94.9375, 0.2953125},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t=" << c.t);
        const DoneFrame f = DoneFrame::at(c.t, true, 1);
        EXPECT_NEAR(f.ring[0].side, c.side0, 1e-9);
        EXPECT_NEAR(f.ring[0].opacity, c.opacity0, 1e-9);
        EXPECT_NEAR(f.ring[1].side, c.side1, 1e-9);
        EXPECT_NEAR(f.ring[1].opacity, c.opacity1, 1e-9);
    }
    // Just before the wrap a ring is almost at its widest and almost gone.
    const DoneFrame late = DoneFrame::at(2.3999, true, 1);
    EXPECT_GT(late.ring[0].side, 153.99);
    EXPECT_LT(late.ring[0].opacity, 1e-4);
}

TEST(DoneFrameTest, BadgeStates) {
    struct Case {
        bool verified;
        double drawn;
        double discScale, trim;
        bool hourglass, rings;
    };
    const Case cases[] = {
        {false, 0, 1, 0, true, false},
        {false, 1, 1, 0, true, false}, // an unconfirmed badge never shows
                                       // the check
        {true, 0, 0.6, 0, false, true},
        {true, 0.5, 0.8, 0.5, false, true},
        {true, 1, 1, 1, false, true},
        {true, 1.2, 1.08, 1, false, true}, // the spring's overshoot swells the disc, not the check
        {true, NAN, 1, 1, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.verified << " drawn " << c.drawn);
        const DoneFrame f = DoneFrame::at(3.0, c.verified, c.drawn);
        EXPECT_NEAR(f.discScale, c.discScale, 1e-9);
        EXPECT_NEAR(f.checkTrim, c.trim, 1e-9);
        EXPECT_EQ(f.hourglass, c.hourglass);
        EXPECT_EQ(f.rings, c.rings);
    }
}

TEST(DoneFrameTest, DrawnProgressWaitsThenSpringsAndEndsOnOne) {
    struct Case {
        double elapsed;
        bool verified, reduceMotion;
        double drawn; // negative: strictly between 0 and 1
    };
    const Case cases[] = {
        {0, false, false, 0}, {5, false, false, 0},   {5, false, true, 0},     {0, true, true, 1},
        {0, true, false, 0},  {0.15, true, false, 0}, {0.25, true, false, -1}, {10, true, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.elapsed << " " << c.verified << " " << c.reduceMotion);
        const double drawn = DoneFrame::drawnProgress(c.elapsed, c.verified, c.reduceMotion);
        if (c.drawn >= 0) {
            EXPECT_DOUBLE_EQ(drawn, c.drawn);
        } else {
            EXPECT_GT(drawn, 0);
            EXPECT_LT(drawn, 1);
        }
    }
    // The spring overshoots on its way; the check mark still never passes whole.
    double peak = 0;
    for (double e = 0; e < 2; e += 0.005) {
        const double drawn = DoneFrame::drawnProgress(e, true, false);
        peak = std::max(peak, drawn);
        ASSERT_LE(DoneFrame::at(0, true, drawn).checkTrim, 1.0);
    }
    EXPECT_GT(peak, 1.05);
}

TEST(DoneFrameTest, CheckmarkPathInItsFrame) {
    const QPainterPath path = DoneFrame::checkmarkPath(QRectF(0, 0, 36, 28));
    ASSERT_EQ(path.elementCount(), 3);
    EXPECT_EQ(QPointF(path.elementAt(0)), QPointF(0, 14));
    EXPECT_NEAR(path.elementAt(1).x, 13.68, 1e-9);
    EXPECT_EQ(path.elementAt(1).y, 28);
    EXPECT_EQ(QPointF(path.elementAt(2)), QPointF(36, 0));
}

} // namespace
} // namespace quorvex
