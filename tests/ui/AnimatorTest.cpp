#include "ui/Animator.h"

#include "support/FakeClock.h"
#include "ui/AnimatedValue.h"
#include "ui/Motion.h"

#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace quorvex {
namespace {

struct AnimatorTest : testing::Test {
    AnimatorTest() { animator.setReduceMotion(false); }

    // Moves the fake clock to `seconds` after `start`.
    void advanceTo(double start, double seconds) { clock.advance(start + seconds - clock.now()); }

    test::FakeClock clock;
    Animator animator{clock};
};

TEST_F(AnimatorTest, FrameValuesAtGivenTimesFollowEachMotionAndEndExactlyOnTheTarget) {
    // From 10 to 30. Springs are read against the unit spring (tested on its own equation); the
    // Bézier curves against values worked out by bisection on their control points, within what
    // Qt's curve solver gives (a few ten-thousandths of the move).
    const Spring selection(0.5, 0.85);
    const Spring content(0.5, 1.0);
    struct Frame {
        double at;
        double value;
    };
    struct Case {
        const char* name;
        Motion motion;
        std::vector<Frame> frames;
        double tolerance = 1e-9;
    };
    auto springFrames = [](const Spring& spring, double delay = 0) {
        std::vector<Frame> frames;
        if (delay > 0)
            frames.push_back({delay / 2, 10});
        for (double t : {0.0, 0.05, 0.1, 0.2, 0.3, 0.45, 0.6})
            frames.push_back({delay + t, 10 + 20 * spring.value(t)});
        frames.push_back({delay + spring.settlingDuration() + 0.02, 30});
        return frames;
    };
    const Case cases[] = {
        {"selection spring", Motion::spring(0.5, 0.85), springFrames(selection)},
        {"content spring", Motion::spring(0.5, 1.0), springFrames(content)},
        {"check mark spring after 0.15 s", Motion::spring(0.6, 0.6).delayed(0.15),
         springFrames({0.6, 0.6}, 0.15)},
        {"button colours, ease-out 0.2 s",
         Motion::easeOut(0.2),
         {{0, 10},
          {0.05, 10 + 20 * 0.37813813082510966},
          {0.1, 10 + 20 * 0.6846431874274606},
          {0.15, 10 + 20 * 0.9065353492811752},
          {0.2, 30},
          {0.5, 30}},
         0.01},
        {"hover, ease-out 0.15 s",
         Motion::easeOut(0.15),
         {{0.1, 10 + 20 * 0.8438360790071567}, {0.15, 30}},
         0.01},
        {"ease-in-out 0.2 s",
         Motion::easeInOut(0.2),
         {{0.05, 10 + 20 * 0.1291619310473198}, {0.1, 20}, {0.15, 10 + 20 * 0.8708380689526802}, {0.2, 30}},
         0.01},
        {"linear 0.4 s after 0.3 s",
         Motion::linear(0.4).delayed(0.3),
         {{0.2, 10}, {0.3, 10}, {0.4, 15}, {0.5, 20}, {0.7, 30}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnimatedValue value(animator, 10);
        const double start = clock.now();
        value.animateTo(30, c.motion);
        for (const Frame& f : c.frames) {
            // Read ahead of time, then at that time: a pure function of time gives the same.
            const double ahead = value.valueAt(start + f.at);
            advanceTo(start, f.at);
            EXPECT_NEAR(value.value(), f.value, c.tolerance) << "at " << f.at;
            EXPECT_DOUBLE_EQ(value.value(), ahead) << "at " << f.at;
        }
        // It lands on the first frame from its end on, and the frames stop.
        clock.advance(Animator::kFrameInterval);
        EXPECT_EQ(value.value(), 30);
        EXPECT_FALSE(value.isAnimating());
        EXPECT_EQ(clock.pendingCount(), 0u);
    }
    // The success mark's spring passes its target on the way and swings back.
    AnimatedValue bouncy(animator, 0);
    bouncy.animateTo(1, Motion::spring(0.5, 0.55));
    double peak = 0;
    for (int i = 0; i < 60; ++i) {
        clock.advance(1.0 / 60);
        peak = std::max(peak, bouncy.value());
    }
    EXPECT_GT(peak, 1.1);
}

// A delayed motion is over at its duration: 1.15 − 0.35 rounds to just below 0.8, which once
// left a delayed curve a hair short of its end at the time it should stand on it.
TEST(MotionTest, ADelayedMotionStandsOnItsEndAtItsDuration) {
    const Motion motions[] = {Motion::easeOut(0.8).delayed(0.35), Motion::linear(0.5).delayed(0.3),
                              Motion::easeInOut(0.7).delayed(0.1), Motion::spring(0.5, 0.55).delayed(0.25)};
    for (const Motion& motion : motions) {
        SCOPED_TRACE(motion.duration());
        EXPECT_EQ(motion.progress(motion.duration()), 1.0);
        EXPECT_LT(motion.progress(motion.delay() + 0.01), 1.0);
    }
}

TEST_F(AnimatorTest, NoTimerRunsAtRestAndAFinishedAnimationStopsIt) {
    AnimatedValue total(animator, 5);
    AnimatedValue slice(animator, 0);
    QSignalSpy totalChanges(&total, &AnimatedValue::changed);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);

    // Landing at once, or a target it already has, schedules nothing.
    total.setValue(8);
    total.animateTo(8, Motion::spring(0.5, 1.0));
    EXPECT_EQ(totalChanges.count(), 1);
    EXPECT_EQ(clock.pendingCount(), 0u);

    // Two values moving share one frame.
    total.animateTo(20, Motion::spring(0.5, 1.0));
    slice.animateTo(1, Motion::easeOut(0.15));
    EXPECT_TRUE(animator.isRunning());
    EXPECT_EQ(clock.pendingCount(), 1u);
    clock.advance(0.2);
    EXPECT_FALSE(slice.isAnimating());
    EXPECT_EQ(slice.value(), 1);
    EXPECT_EQ(clock.pendingCount(), 1u);

    // The last to land ends the frames; nothing is left scheduled.
    clock.advance(1.0);
    EXPECT_FALSE(total.isAnimating());
    EXPECT_EQ(total.value(), 20);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
    // About one change a frame while it moved, and one as it landed.
    const int frames = static_cast<int>(totalChanges.count()) - 1;
    EXPECT_NEAR(frames, Motion::spring(0.5, 1.0).duration() * 60, 3);
    clock.advance(5);
    EXPECT_EQ(totalChanges.count(), frames + 1);
}

TEST_F(AnimatorTest, ANewTargetWhileMovingContinuesFromTheCurrentValueAndSpeed) {
    const Motion spring = Motion::spring(0.5, 0.85);
    AnimatedValue value(animator, 0);
    value.animateTo(100, spring);
    clock.advance(0.1);
    const double there = value.value();
    const double speed = value.velocity();
    ASSERT_GT(speed, 100);

    value.animateTo(40, spring);
    EXPECT_DOUBLE_EQ(value.value(), there);
    EXPECT_NEAR(value.velocity(), speed, 1e-6 * speed);
    // A frame later it has gone on the way it was going, not started again from rest.
    clock.advance(1.0 / 60);
    EXPECT_GT(value.value(), there + speed / 60 * 0.8);
    clock.advance(2);
    EXPECT_EQ(value.value(), 40);
    EXPECT_EQ(clock.pendingCount(), 0u);

    // The same target again while moving keeps the motion as it is.
    value.animateTo(0, spring);
    clock.advance(0.2);
    const double midway = value.value();
    value.animateTo(0, spring);
    EXPECT_DOUBLE_EQ(value.value(), midway);
    EXPECT_DOUBLE_EQ(value.valueAt(clock.now() + 0.1), value.valueAt(clock.now() + 0.1));

    // A timing curve runs again from where the value stands.
    AnimatedValue hover(animator, 0);
    hover.animateTo(100, Motion::easeOut(0.2));
    clock.advance(0.1);
    const double half = hover.value();
    EXPECT_NEAR(half, 68.46431874274606, 0.05);
    hover.animateTo(0, Motion::easeOut(0.2));
    clock.advance(0.1);
    EXPECT_NEAR(hover.value(), half * (1 - 0.6846431874274606), 0.05);
    clock.advance(0.1);
    EXPECT_EQ(hover.value(), 0);
}

TEST_F(AnimatorTest, ReduceMotionLandsEveryChangeAtOnce) {
    AnimatedValue moving(animator, 0);
    moving.animateTo(1, Motion::spring(0.5, 0.85));
    clock.advance(0.05);
    QSignalSpy changes(&moving, &AnimatedValue::changed);

    // Turned on mid-flight: the change under way lands and the frames stop.
    animator.setReduceMotion(true);
    EXPECT_EQ(moving.value(), 1);
    EXPECT_FALSE(moving.isAnimating());
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(clock.pendingCount(), 0u);

    // While on: every motion is a jump, with one change and no frame.
    moving.animateTo(-3, Motion::easeOut(0.2).delayed(0.5));
    EXPECT_EQ(moving.value(), -3);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(AnimatorTest, ReduceMotionStartsFromTheUsersPreference) {
    qputenv("QUORVEX_REDUCE_MOTION", "1");
    EXPECT_TRUE(Animator(clock).reduceMotion());
    qputenv("QUORVEX_REDUCE_MOTION", "0");
    EXPECT_FALSE(Animator(clock).reduceMotion());
    qunsetenv("QUORVEX_REDUCE_MOTION");
    QSettings().setValue(QStringLiteral("reduceMotion"), true);
    EXPECT_TRUE(Animator(clock).reduceMotion());
    QSettings().remove(QStringLiteral("reduceMotion"));
    EXPECT_FALSE(Animator(clock).reduceMotion());
}

TEST_F(AnimatorTest, ValuesThatGoAwayMidFlightLeaveNoFrameBehind) {
    // A view closed while its numbers move; another deleted by a listener during a frame.
    auto doomed = std::make_unique<AnimatedValue>(animator, 0);
    auto other = std::make_unique<AnimatedValue>(animator, 0);
    doomed->animateTo(1, Motion::spring(0.5, 1.0));
    other->animateTo(1, Motion::spring(0.5, 1.0));
    QObject::connect(other.get(), &AnimatedValue::changed, [&] { doomed.reset(); });
    clock.advance(1.0 / 60);
    EXPECT_EQ(doomed, nullptr);
    EXPECT_TRUE(animator.isRunning());
    other.reset();
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
    clock.advance(1);
}

TEST_F(AnimatorTest, TargetsThatAreNotNumbersAndMotionsOfNoLengthDoNotAnimate) {
    AnimatedValue value(animator, 2);
    value.animateTo(std::numeric_limits<double>::quiet_NaN(), Motion::spring(0.5, 1.0));
    value.animateTo(std::numeric_limits<double>::infinity(), Motion::easeOut(0.2));
    EXPECT_EQ(value.value(), 2);
    value.animateTo(7, Motion::none());
    value.animateTo(8, Motion::easeOut(0));
    value.animateTo(9, Motion::spring(0, 0.85));
    EXPECT_EQ(value.value(), 9);
    EXPECT_EQ(clock.pendingCount(), 0u);
}

} // namespace
} // namespace quorvex
