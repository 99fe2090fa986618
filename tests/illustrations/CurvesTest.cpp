#include "illustrations/Curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace quorvex {
namespace {

struct CurveCase {
    double x, a, b, ramp, smooth, backOut;
};

TEST(CurvesTest, ValuesAcrossTheInterval) {
    const CurveCase cases[] = {
        {-1, 0, 2, 0, 0, 0},
        {0, 0, 2, 0, 0, 0},
        {0.5, 0, 2, 0.25, 0.15625, 1 + 2.7 * -0.421875 + 1.7 * 0.5625},
        {1, 0, 2, 0.5, 0.5, 1 + 2.7 * -0.125 + 1.7 * 0.25},
        {2, 0, 2, 1, 1, 1},
        {5, 0, 2, 1, 1, 1},
        // A zero-length interval is a step at a, never a division by zero.
        {0.999, 1, 1, 0, 0, 0},
        {1, 1, 1, 0, 0, 0},
        {1.001, 1, 1, 1, 1, 1},
        // A reversed interval behaves like a step too.
        {1.5, 2, 1, 0, 0, 0},
        {2.5, 2, 1, 1, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "x=" << c.x << " a=" << c.a << " b=" << c.b);
        EXPECT_DOUBLE_EQ(ramp(c.x, c.a, c.b), c.ramp);
        EXPECT_DOUBLE_EQ(smooth(c.x, c.a, c.b), c.smooth);
        EXPECT_NEAR(backOut(c.x, c.a, c.b), c.backOut, 1e-12);
    }
}

TEST(CurvesTest, BackOutOvershootsOnceAndSettles) {
    double peak = 0;
    double peakAt = 0;
    for (int i = 0; i <= 1000; ++i) {
        const double u = i / 1000.0;
        if (backOut(u, 0, 1) > peak) {
            peak = backOut(u, 0, 1);
            peakAt = u;
        }
    }
    EXPECT_NEAR(peak, 1.0998, 1e-3);
    EXPECT_NEAR(peakAt, 0.58, 0.01);
}

TEST(CurvesTest, NanInputsGiveNoNan) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(std::isnan(ramp(nan, 0, 1)));
    EXPECT_FALSE(std::isnan(smooth(0.5, nan, 1)));
}

struct KeyCase {
    const char* name;
    std::vector<Keyframe> track;
    double t;
    QPointF expected;
};

TEST(CurvesTest, KeyframePoint) {
    const std::vector<Keyframe> track = {{1, {0, 0}}, {2, {10, 20}}, {3, {10, 20}}, {4, {30, 0}}};
    const std::vector<Keyframe> jump = {{0, {0, 0}}, {1, {5, 5}}, {1, {9, 9}}, {2, {9, 9}}};
    const KeyCase cases[] = {
        {"empty track", {}, 3, {0, 0}},
        {"one key before", {{2, {7, 8}}}, 0, {7, 8}},
        {"one key after", {{2, {7, 8}}}, 9, {7, 8}},
        {"before first key", track, 0, {0, 0}},
        {"on first key", track, 1, {0, 0}},
        {"halfway eases to the middle", track, 1.5, {5, 10}},
        {"quarter way is smoothstepped", track, 1.25, {1.5625, 3.125}},
        {"on a key exactly", track, 2, {10, 20}},
        {"holds between equal points", track, 2.7, {10, 20}},
        {"last segment", track, 3.5, {20, 10}},
        {"on last key", track, 4, {30, 0}},
        {"after last key", track, 40, {30, 0}},
        {"same time: first point at the time", jump, 1, {5, 5}},
        {"same time: second point just after", jump, 1.0001, {9, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QPointF p = keyframePoint(c.track, c.t);
        EXPECT_NEAR(p.x(), c.expected.x(), 1e-9);
        EXPECT_NEAR(p.y(), c.expected.y(), 1e-9);
    }
}

TEST(CurvesTest, LoopTimeStaysInsideTheLoop) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double elapsed, duration, expected;
    };
    const Case cases[] = {
        {0, 13.2, 0},
        {5, 13.2, 5},
        {13.2, 13.2, 0},
        {14.2, 13.2, 1.0},
        {-1, 10, 9},
        {-10, 10, 0},
        {-1e-17, 10, 0}, // would round up to the duration itself
        // No loop length, or none that makes sense: the first frame, never NaN.
        {5, 0, 0},
        {5, -3, 0},
        {5, nan, 0},
        {5, inf, 0},
        {nan, 10, 0},
        {inf, 10, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.elapsed << " in " << c.duration);
        const double t = loopTime(c.elapsed, c.duration);
        EXPECT_NEAR(t, c.expected, 1e-9);
        EXPECT_GE(t, 0);
        if (c.duration > 0 && std::isfinite(c.duration)) {
            EXPECT_LT(t, c.duration);
        }
    }
}

} // namespace
} // namespace quorvex
