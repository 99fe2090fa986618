#include "illustrations/LoopingTimeline.h"

#include "support/FakeClock.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

namespace quorvex {
namespace {

class RecordingTimeline final : public LoopingTimeline {
public:
    using LoopingTimeline::LoopingTimeline;
    std::vector<double> frames;

    double drawn() {
        grab();
        return frames.back();
    }

protected:
    void paintFrame(QPainter&, double t) override { frames.push_back(t); }
};

struct LoopingTimelineTest : testing::Test {
    test::FakeClock clock;
};

TEST_F(LoopingTimelineTest, StartsAtZeroOnShowAndWraps) {
    clock.advance(100);
    RecordingTimeline widget(clock, 4, 1.5);
    widget.setReduceMotion(false);
    clock.advance(7); // time before the show does not count
    widget.show();
    EXPECT_TRUE(widget.isAnimating());
    EXPECT_DOUBLE_EQ(widget.drawn(), 0);
    clock.advance(2.5);
    EXPECT_NEAR(widget.drawn(), 2.5, 1e-9);
    clock.advance(2.5);
    EXPECT_NEAR(widget.drawn(), 1.0, 1e-9);
}

TEST_F(LoopingTimelineTest, HidingStopsTheFramesAndShowingRestarts) {
    RecordingTimeline widget(clock, 4, 1.5);
    widget.setReduceMotion(false);
    widget.show();
    clock.advance(1);
    widget.hide();
    EXPECT_FALSE(widget.isAnimating());
    EXPECT_EQ(clock.pendingCount(), 0u);
    clock.advance(2);
    widget.show();
    EXPECT_DOUBLE_EQ(widget.drawn(), 0);
}

TEST_F(LoopingTimelineTest, ReduceMotionDrawsTheStillFrameAndSchedulesNothing) {
    RecordingTimeline widget(clock, 4, 1.5);
    widget.setReduceMotion(true);
    widget.show();
    EXPECT_FALSE(widget.isAnimating());
    EXPECT_EQ(clock.pendingCount(), 0u);
    clock.advance(3);
    EXPECT_DOUBLE_EQ(widget.drawn(), 1.5);

    // Turning it off resumes the loop from the show, not from zero.
    widget.setReduceMotion(false);
    EXPECT_TRUE(widget.isAnimating());
    EXPECT_NEAR(widget.drawn(), 3, 1e-9);
}

TEST_F(LoopingTimelineTest, ReduceMotionFollowsTheEnvironment) {
    qputenv("QUORVEX_REDUCE_MOTION", "1");
    RecordingTimeline still(clock, 4, 1.5);
    qputenv("QUORVEX_REDUCE_MOTION", "0");
    RecordingTimeline moving(clock, 4, 1.5);
    qunsetenv("QUORVEX_REDUCE_MOTION");
    EXPECT_TRUE(still.reduceMotion());
    EXPECT_FALSE(moving.reduceMotion());
}

TEST_F(LoopingTimelineTest, ZeroDurationDrawsTheFirstFrame) {
    RecordingTimeline widget(clock, 0, 1.5);
    widget.setReduceMotion(false);
    widget.show();
    clock.advance(1);
    EXPECT_DOUBLE_EQ(widget.drawn(), 0);
}

} // namespace
} // namespace quorvex
