#include "illustrations/IntroFrame.h"

#include "ui/Spring.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quorvex {
namespace {

const QString kIds[] = {"wifi", "5g", "lte", "3g", "edge", "very-slow"};
constexpr double kSegment = 2.2;
constexpr int kCount = 6;

IntroFrame frameAt(double t) {
    const int index = IntroFrame::indexAt(t, kSegment, kCount);
    return IntroFrame::at(t, kSegment, kCount, kIds[index]);
}

TEST(IntroFrameTest, ProfileAndLocalTimeAgreeOnSegmentBoundaries) {
    // 6.6 / 2.2 falls just below 3 in floating point: the segment must still start at 6.6, with
    // its own local time at 0, not the previous profile with its local time wrapped.
    struct Case {
        double t;
        int index;
        double local;
    };
    const Case cases[] = {
        {0, 0, 0},    {1.0, 0, 1.0}, {2.2, 1, 0},   {4.4, 2, 0},   {6.6, 3, 0},    {8.8, 4, 0},
        {11.0, 5, 0}, {13.2, 0, 0},  {6.5, 2, 2.1}, {9.9, 4, 1.1}, {13.1, 5, 2.1}, {-1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "t=" << c.t);
        const IntroFrame frame = frameAt(c.t);
        EXPECT_EQ(frame.index, c.index);
        EXPECT_NEAR(frame.local, c.local, 1e-9);
        EXPECT_GE(frame.local, 0);
        EXPECT_LE(frame.local, kSegment);
    }
}

TEST(IntroFrameTest, LoadProgressByProfile) {
    struct Case {
        const char* id;
        double local, progress;
    };
    const Case cases[] = {
        {"wifi", 0, 0},      {"wifi", 1.1, 1}, {"5g", 2.2 / 6, 0.5},           {"lte", 1.1, 0.7},
        {"lte", 2.2, 1},     {"3g", 2.2, 0.6}, {"edge", 1.5, 1.5 / 2.2 * 0.3}, {"very-slow", 2.2, 0.12},
        {"WiFi", 2.2, 0.12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_NEAR(introLoadProgress(c.id, c.local, kSegment), c.progress, 1e-12);
    }
}

TEST(IntroFrameTest, StillFrameValues) {
    const IntroFrame still = frameAt(kSegment * 4 + 1.5);
    EXPECT_EQ(still.index, 4); // "Edge"
    EXPECT_NEAR(still.local, 1.5, 1e-9);
    EXPECT_NEAR(still.loadProgress, 0.2045, 1e-4);
    EXPECT_NEAR(still.pictureOpacity, 1, 1e-12);
    for (double line : still.lineOpacity)
        EXPECT_EQ(line, 0);
    EXPECT_NEAR(still.macBarScale[0], 0.85 + 0.15 * std::sin(3 * 10.3), 1e-12);
}

TEST(IntroFrameTest, ThePillChangesProfileOnItsSpringAfterEachSegmentStarts) {
    // The pill's symbol and name change with a spring of response 0.4 and damping 1 keyed on the
    // profile: for about 0.6 s after each segment starts it shows the change from the previous
    // profile. The first segment after the drawing appears has nothing to change from; after the
    // loop comes round, Wi-Fi follows Very Slow.
    const Spring spring(0.4, 1.0);
    struct Case {
        double t;
        bool looped;
        int previous;
        double progress;
    };
    const Case cases[] = {
        {0.1, false, -1, 1},
        {2.2, false, 0, 0},
        {2.3, false, 0, spring.value(0.1)},
        {2.5, false, 0, spring.value(0.3)},
        {2.2 + spring.settlingDuration() + 0.01, false, -1, 1},
        {6.65, false, 2, spring.value(0.05)},
        {0.1, true, 5, spring.value(0.1)},
        {1.0, true, -1, 1},
        {kSegment * 4 + 1.5, false, -1, 1}, // the still frame rests
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t=" << c.t << (c.looped ? " looped" : ""));
        const int index = IntroFrame::indexAt(c.t, kSegment, kCount);
        const IntroFrame frame = IntroFrame::at(c.t, kSegment, kCount, kIds[index], c.looped);
        EXPECT_EQ(frame.previousIndex, c.previous);
        EXPECT_NEAR(frame.pillProgress, c.progress, 1e-9);
    }
    // One profile has nothing to change to.
    EXPECT_EQ(IntroFrame::at(2.3, kSegment, 1, "wifi", true).previousIndex, -1);
}

TEST(IntroFrameTest, NothingToCycleGivesTheFirstFrame) {
    struct Case {
        double segment;
        int count;
    };
    const Case cases[] = {{0, 6}, {-2.2, 6}, {NAN, 6}, {2.2, 0}, {2.2, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.segment << " x " << c.count);
        EXPECT_EQ(IntroFrame::indexAt(5, c.segment, c.count), 0);
        const IntroFrame frame = IntroFrame::at(5, c.segment, c.count, "wifi");
        EXPECT_EQ(frame.index, 0);
        EXPECT_EQ(frame.local, 0);
        EXPECT_EQ(frame.loadProgress, 0);
    }
}

} // namespace
} // namespace quorvex
