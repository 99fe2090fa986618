#include "illustrations/SettingsFrame.h"

#include "illustrations/Curves.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

SettingsTargets guideTargets(double dialogDuration = 3.0) {
    return {{373, 170}, {345, 123}, {340, 161}, {290, 175}, {300, 238}, 175, {200, 196}, dialogDuration};
}

TEST(SettingsFrameTest, StillFrameShowsTheOpenSheetWithTheSwitchOn) {
    const SettingsFrame f = SettingsFrame::at(SettingsFrame::kStillFrame, guideTargets());
    EXPECT_DOUBLE_EQ(f.dialogOpacity, 0);
    EXPECT_DOUBLE_EQ(f.windowOpacity, 1);
    EXPECT_DOUBLE_EQ(f.windowScale, 1);
    EXPECT_DOUBLE_EQ(f.scroll, 1);
    EXPECT_DOUBLE_EQ(f.scrollOffset, 175);
    EXPECT_FALSE(f.scrolling);
    EXPECT_DOUBLE_EQ(f.indicatorOpacity, 0);
    EXPECT_DOUBLE_EQ(f.highlight, 1);
    EXPECT_DOUBLE_EQ(f.sheetScale, 1);
    EXPECT_DOUBLE_EQ(f.sheetOpacity, 1);
    EXPECT_DOUBLE_EQ(f.dimming, 0.12);
    EXPECT_DOUBLE_EQ(f.toggleOn, 1);
    EXPECT_FALSE(f.donePressed);
    EXPECT_EQ(f.pointer, QPointF(345, 123));
    EXPECT_DOUBLE_EQ(f.pointerOpacity, 1);
}

TEST(SettingsFrameTest, LoopStartsAndEndsWithNothingButTheWindow) {
    const SettingsFrame start = SettingsFrame::at(0, guideTargets());
    EXPECT_DOUBLE_EQ(start.dialogScale, 0.85);
    EXPECT_DOUBLE_EQ(start.dialogOpacity, 0);
    EXPECT_DOUBLE_EQ(start.windowScale, 0.94);
    EXPECT_DOUBLE_EQ(start.windowOpacity, 0);
    EXPECT_EQ(start.pointer, QPointF(300, 238));
    EXPECT_DOUBLE_EQ(start.pointerOpacity, 0);

    const SettingsFrame end = SettingsFrame::at(12.95, guideTargets());
    EXPECT_EQ(end.pointer, QPointF(300, 238));
    EXPECT_DOUBLE_EQ(end.pointerOpacity, 0);
    EXPECT_DOUBLE_EQ(end.scroll, 0);
    EXPECT_DOUBLE_EQ(end.highlight, 0);
    EXPECT_DOUBLE_EQ(end.sheetOpacity, 0);
    EXPECT_DOUBLE_EQ(end.dialogOpacity, 0);
    EXPECT_DOUBLE_EQ(end.windowOpacity, 1);
}

TEST(SettingsFrameTest, PressedAndScrollingFlagsAreStrictAtTheirBounds) {
    struct Case {
        double t;
        bool dialogPressed, scrolling, donePressed;
    };
    const Case cases[] = {
        {1.8, false, false, false},    {1.8001, true, false, false}, {1.9499, true, false, false},
        {1.95, false, false, false},   {3.95, false, false, false},  {3.9501, false, true, false},
        {5.2999, false, true, false},  {5.3, false, false, false},   {11.55, false, false, false},
        {11.5501, false, true, false}, {12.55, false, false, false}, {9.7, false, false, false},
        {9.7001, false, false, true},  {9.8499, false, false, true}, {9.85, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t=" << c.t);
        const SettingsFrame f = SettingsFrame::at(c.t, guideTargets());
        EXPECT_EQ(f.dialogButtonPressed, c.dialogPressed);
        EXPECT_EQ(f.scrolling, c.scrolling);
        EXPECT_EQ(f.donePressed, c.donePressed);
    }
}

TEST(SettingsFrameTest, ScrollIndicatorFadesWhereItStands) {
    struct Case {
        double t;
        double y, opacity;
    };
    const Case cases[] = {
        {3.95, 4, 0},   // the fade-in starts before the pane moves
        {4.0, 4, -1},   // part way in, still at the top
        {4.25, -1, 1},  // fully shown while scrolling
        {5.3, 144, 1},  // scrolled by the full distance; the fade-out starts here
        {5.6, 144, 0},  // gone, where it stood
        {8.6, 144, 0},  // the still frame shows none
        {11.85, -1, 1}, // back on while scrolling up
        {12.85, 4, 0},  // off at the top again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t=" << c.t);
        const SettingsFrame f = SettingsFrame::at(c.t, guideTargets());
        if (c.y >= 0) {
            EXPECT_NEAR(f.indicatorY, c.y, 1e-9);
        }
        if (c.opacity >= 0) {
            EXPECT_NEAR(f.indicatorOpacity, c.opacity, 1e-9);
        } else {
            EXPECT_GT(f.indicatorOpacity, 0);
            EXPECT_LT(f.indicatorOpacity, 1);
        }
    }
}

TEST(SettingsFrameTest, PopsOvershootWhileOpacitiesStayWithinOne) {
    double dialogPeak = 0;
    double sheetPeak = 0;
    for (double t = 0; t < SettingsFrame::kDuration; t += 0.005) {
        const SettingsFrame f = SettingsFrame::at(t, guideTargets());
        dialogPeak = std::max(dialogPeak, f.dialogScale);
        sheetPeak = std::max(sheetPeak, f.sheetScale);
        ASSERT_LE(f.dialogOpacity, 1) << t;
        ASSERT_LE(f.sheetOpacity, 1) << t;
        ASSERT_LE(f.dimming, 0.12) << t;
    }
    EXPECT_NEAR(dialogPeak, 1.015, 0.001);
    EXPECT_NEAR(sheetPeak, 1.01, 0.001);
    // The fading dialog and the appearing window overlap between 2.1 and 2.2 s.
    const SettingsFrame overlap = SettingsFrame::at(2.15, guideTargets());
    EXPECT_GT(overlap.dialogOpacity, 0);
    EXPECT_GT(overlap.windowOpacity, 0);
}

TEST(SettingsFrameTest, PointerRestsOnEachTargetAtItsClick) {
    const SettingsTargets targets = guideTargets();
    const QPointF atClick[] = {targets.openSettingsButton, targets.infoButton, targets.toggle,
                               targets.doneButton};
    for (size_t i = 0; i < SettingsFrame::kClicks.size(); ++i) {
        const double click = SettingsFrame::kClicks[i];
        SCOPED_TRACE(testing::Message() << "click " << click);
        for (double t : {click - 0.05, click, click + 0.2})
            EXPECT_EQ(SettingsFrame::at(t, targets).pointer, atClick[i]) << "t=" << t;
    }
    // Each click starts the effect it causes.
    EXPECT_TRUE(SettingsFrame::at(1.81, targets).dialogButtonPressed);
    EXPECT_DOUBLE_EQ(SettingsFrame::at(6.4, targets).sheetOpacity, 0);
    EXPECT_GT(SettingsFrame::at(6.45, targets).sheetOpacity, 0);
    EXPECT_DOUBLE_EQ(SettingsFrame::at(7.8, targets).toggleOn, 0);
    EXPECT_GT(SettingsFrame::at(7.85, targets).toggleOn, 0);
    EXPECT_TRUE(SettingsFrame::at(9.71, targets).donePressed);
}

TEST(SettingsFrameTest, DialogDurationShiftsOnlyTheWindowsEvents) {
    const SettingsTargets early = guideTargets(2.0);
    for (double t : {0.3, 1.8, 2.5, 4.2, 6.5, 8.6, 10.0, 12.7}) {
        SCOPED_TRACE(testing::Message() << "t=" << t);
        const SettingsFrame shifted = SettingsFrame::at(t, early);
        const SettingsFrame guide = SettingsFrame::at(t + 1.0, guideTargets());
        EXPECT_DOUBLE_EQ(shifted.scroll, guide.scroll);
        EXPECT_DOUBLE_EQ(shifted.highlight, guide.highlight);
        EXPECT_DOUBLE_EQ(shifted.sheetOpacity, guide.sheetOpacity);
        EXPECT_DOUBLE_EQ(shifted.toggleOn, guide.toggleOn);
        const SettingsFrame sameT = SettingsFrame::at(t, guideTargets());
        EXPECT_EQ(shifted.pointer, sameT.pointer);
        EXPECT_DOUBLE_EQ(shifted.pointerOpacity, sameT.pointerOpacity);
        EXPECT_DOUBLE_EQ(shifted.dialogOpacity, sameT.dialogOpacity);
    }
}

} // namespace
} // namespace quorvex
