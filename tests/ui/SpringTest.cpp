#include "ui/Spring.h"

#include <gtest/gtest.h>

#include <QPointF>

#include <cmath>
#include <numbers>

using namespace quorvex;

namespace {

// The springs the views ask for, plus an overdamped and a barely damped one.
const Spring kSprings[] = {
    {0.5, 0.85}, {0.5, 1.0}, {0.4, 1.0}, {0.45, 1.0}, {0.45, 0.6}, {0.5, 0.55}, {1.0, 2.0}, {0.3, 0.05},
};

} // namespace

TEST(SpringTest, FollowsTheDampedSpringEquationFromRestAtZero) {
    // x'' + 2ζω x' + ω²(x − 1) = 0 with x(0) = 0, x'(0) = 0, checked by finite differences so a
    // wrong closed form (sign, frequency, damping branch) shows as a residual.
    for (const Spring& spring : kSprings) {
        SCOPED_TRACE(testing::Message() << spring.response() << " / " << spring.dampingFraction());
        const double omega = 2 * std::numbers::pi / spring.response();
        const double zeta = spring.dampingFraction();
        const double h = 1e-4;
        EXPECT_NEAR(spring.value(h), 0, 1e-4 * omega * omega * h);
        for (double t : {0.01, 0.05, 0.13, 0.3, 0.61, 1.2}) {
            const double x = spring.value(t);
            const double v = (spring.value(t + h) - spring.value(t - h)) / (2 * h);
            const double a = (spring.value(t + h) - 2 * x + spring.value(t - h)) / (h * h);
            EXPECT_NEAR(a + 2 * zeta * omega * v + omega * omega * (x - 1), 0, 1e-3 * omega * omega)
                << "t " << t;
        }
    }
}

TEST(SpringTest, AReleaseWithAnOffsetAndAVelocityFollowsTheSameEquationAndSettles) {
    // A retargeted animation hands the spring its current offset and velocity: the closed form
    // must start from both and still obey x'' + 2ζω x' + ω²x = 0, its velocity must be the
    // derivative of its offset, and it must stay within the tolerance after its settling time.
    struct Release {
        double offset0;
        double velocity0;
    };
    const Release releases[] = {{-20, 0}, {0, 300}, {15, -400}, {-1e9, 5e9}, {0.5, 0.5}};
    for (const Spring& spring : kSprings) {
        const double omega = 2 * std::numbers::pi / spring.response();
        const double zeta = spring.dampingFraction();
        for (const Release& r : releases) {
            SCOPED_TRACE(testing::Message() << spring.response() << " / " << zeta << " from " << r.offset0
                                            << " at " << r.velocity0);
            const double scale = std::max(std::abs(r.offset0), std::abs(r.velocity0) / omega);
            auto x = [&](double t) { return spring.offset(t, r.offset0, r.velocity0); };
            EXPECT_DOUBLE_EQ(x(0), r.offset0);
            EXPECT_DOUBLE_EQ(spring.velocity(0, r.offset0, r.velocity0), r.velocity0);
            const double h = 1e-5;
            EXPECT_NEAR((x(h) - x(0)) / h, r.velocity0, 1e-3 * scale * omega);
            for (double t : {0.02, 0.11, 0.4, 0.9}) {
                const double v = (x(t + h) - x(t - h)) / (2 * h);
                const double a = (x(t + h) - 2 * x(t) + x(t - h)) / (h * h);
                EXPECT_NEAR(spring.velocity(t, r.offset0, r.velocity0), v, 1e-4 * scale * omega) << "t " << t;
                EXPECT_NEAR(a + 2 * zeta * omega * v + omega * omega * x(t), 0, 1e-2 * scale * omega * omega)
                    << "t " << t;
            }
            const double tolerance = 0.001 * scale;
            const double settle = spring.settlingDuration(r.offset0, r.velocity0, tolerance);
            ASSERT_LE(settle, Spring::maxSettlingSeconds);
            if (settle < Spring::maxSettlingSeconds) {
                for (double t = settle; t < settle + 2; t += 0.002)
                    ASSERT_LE(std::abs(x(t)), tolerance * (1 + 1e-9)) << "t " << t;
            }
        }
    }
    // Already within the tolerance: nothing to wait for.
    EXPECT_EQ(Spring(0.5, 0.85).settlingDuration(1e-6, 0, 0.001), 0);
}

TEST(SpringTest, OvershootsOnlyBelowCriticalDampingAndByTheClassicPeak) {
    struct Case {
        double response;
        double damping;
    };
    const Case cases[] = {{0.5, 0.85}, {0.45, 0.6}, {0.5, 0.55}, {0.5, 1.0}, {1.0, 2.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.response << " / " << c.damping);
        const Spring spring(c.response, c.damping);
        double peak = 0;
        double previous = 0;
        bool monotonic = true;
        for (double t = 0; t <= 3; t += 0.0005) {
            const double x = spring.value(t);
            peak = std::max(peak, x);
            monotonic = monotonic && x >= previous - 1e-12;
            previous = x;
        }
        if (c.damping < 1) {
            const double expected =
                1 + std::exp(-std::numbers::pi * c.damping / std::sqrt(1 - c.damping * c.damping));
            EXPECT_NEAR(peak, expected, 1e-6);
        } else {
            EXPECT_LE(peak, 1.0);
            EXPECT_TRUE(monotonic);
        }
    }
    // One closed-form anchor: critical damping, response 1 s, half a second in.
    EXPECT_NEAR(Spring(1.0, 1.0).value(0.5), 1 - std::exp(-std::numbers::pi) * (1 + std::numbers::pi), 1e-12);
}

TEST(SpringTest, SettlesWithinTheToleranceAfterItsDurationAndNotLongBefore) {
    for (const Spring& spring : kSprings) {
        SCOPED_TRACE(testing::Message() << spring.response() << " / " << spring.dampingFraction());
        const double settle = spring.settlingDuration();
        ASSERT_GT(settle, 0);
        ASSERT_LE(settle, Spring::maxSettlingSeconds);
        for (double t = settle; t < settle + 2; t += 0.001)
            ASSERT_NEAR(spring.value(t), 1, 0.001 + 1e-12) << "t " << t;
        double worst = 0;
        for (double t = 0.8 * settle; t < settle; t += 0.0005)
            worst = std::max(worst, std::abs(spring.value(t) - 1));
        EXPECT_GT(worst, 0.0003) << "settling duration is far too long";
    }
    // The views' springs end well within a second, so an animation never lingers.
    for (const Spring& spring : {Spring(0.5, 1.0), Spring(0.5, 0.85), Spring(0.45, 0.6), Spring(0.4, 1.0)})
        EXPECT_LT(spring.settlingDuration(), 1.0);
}

TEST(SpringTest, DegenerateParametersStayFiniteAndEnd) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double response;
        double damping;
        double settling; // negative: only bounded
    };
    const Case cases[] = {
        {0, 0.85, 0},
        {-1, 0.85, 0},
        {nan, 1, 0},
        {inf, 1, 0},
        {0.5, 0, Spring::maxSettlingSeconds},  // never settles on its own
        {0.5, -3, Spring::maxSettlingSeconds}, // negative damping is treated as none, not as growth
        {0.5, nan, -1},
        {0.5, inf, Spring::maxSettlingSeconds},
        {0.5, 1e9, Spring::maxSettlingSeconds},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.response << " / " << c.damping);
        const Spring spring(c.response, c.damping);
        if (c.settling >= 0) {
            EXPECT_DOUBLE_EQ(spring.settlingDuration(), c.settling);
        }
        EXPECT_TRUE(std::isfinite(spring.settlingDuration()));
        for (double t : {-1.0, 0.0, 0.01, 0.2, 1.0, 20.0, inf, nan}) {
            const double x = spring.value(t);
            EXPECT_TRUE(std::isfinite(x)) << "t " << t;
            EXPECT_LE(std::abs(x), 2.0) << "t " << t;
        }
        EXPECT_EQ(spring.progress(0), 0);
        EXPECT_EQ(spring.progress(1), 1);
    }
    // A spring without a usable response is a jump.
    EXPECT_EQ(Spring(0, 1).value(0.001), 1);
}

TEST(SpringTest, ProgressMapsTheLinearFractionOntoTheSpringAndEndsExactlyOnOne) {
    const Spring spring(0.45, 0.6);
    const double settle = spring.settlingDuration();
    struct Case {
        double fraction;
        double expected;
    };
    const Case cases[] = {
        {-0.5, 0},
        {0, 0},
        {0.25, spring.value(0.25 * settle)},
        {0.5, spring.value(0.5 * settle)},
        {0.999, spring.value(0.999 * settle)},
        {1, 1},
        {1.5, 1},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(spring.progress(c.fraction), c.expected) << "fraction " << c.fraction;
}
