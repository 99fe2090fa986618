#include "illustrations/IntroFrame.h"

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
