#include "illustrations/ProxyAlertFrame.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const QPointF kAllow(252, 196);
const QPointF kRest(330, 240);

ProxyAlertFrame frameAt(double t) {
    return ProxyAlertFrame::at(t, kAllow, kRest);
}

TEST(ProxyAlertFrameTest, FramesThroughTheLoop) {
    struct Case {
        double t;
        double alertOpacity, alertScale, blur, badgeOpacity, badgeScale, pointerOpacity;
        QPointF pointer;
        bool pressed;
    };
    const Case cases[] = {
        {0, 0, 0.85, 0, 0, 0.8, 0, kRest, false},
        {0.3, 0, 0.85, 0, 0, 0.8, 0, kRest, false},
        {0.9, 1, 1, 1.5, 0, 0.8, 1, kRest, false},
        {ProxyAlertFrame::kStillFrame, 1, 1, 1.5, 0, 0.8, 1, kAllow, false},
        {2.3, 1, 1, 1.5, 0, 0.8, 1, kAllow, false},
        {2.3001, 1, 1, 1.5, 0, 0.8, 1, kAllow, true},
        {2.4, 1, 1, 1.5, 0, 0.8, 1, kAllow, true},
        {2.4999, 1, 1, 1.5, 0, 0.8, 1, kAllow, true},
        {2.5, 1, 1, 1.5, 0, 0.8, 1, kAllow, false},
        {2.85, 0, 1, 0, 0, 0.8, 1, QPointF(-1, -1), false},
        {3.3, 0, 1, 0, 1, 1, 1, QPointF(-1, -1), false},
        {4.1, 0, 1, 0, 1, 1, 0, kRest, false},
        {5.4, 0, 1, 0, 1, 1, 0, kRest, false},
        {5.8, 0, 1, 0, 0, 0.8, 0, kRest, false},
        {6.49, 0, 1, 0, 0, 0.8, 0, kRest, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t=" << c.t);
        const ProxyAlertFrame f = frameAt(c.t);
        EXPECT_NEAR(f.alertOpacity, c.alertOpacity, 1e-9);
        EXPECT_NEAR(f.alertScale, c.alertScale, 1e-9);
        EXPECT_NEAR(f.windowBlur, c.blur, 1e-9);
        EXPECT_NEAR(f.badgeOpacity, c.badgeOpacity, 1e-9);
        EXPECT_NEAR(f.badgeScale, c.badgeScale, 1e-9);
        EXPECT_NEAR(f.pointerOpacity, c.pointerOpacity, 1e-9);
        if (c.pointer.x() >= 0) {
            EXPECT_EQ(f.pointer, c.pointer);
        }
        EXPECT_EQ(f.allowPressed, c.pressed);
    }
}

TEST(ProxyAlertFrameTest, OvershootScalesAndBlursButOpacityStopsAtOne) {
    double alertPeak = 0, badgePeak = 0, blurPeak = 0;
    for (double t = 0; t < ProxyAlertFrame::kDuration; t += 0.002) {
        const ProxyAlertFrame f = frameAt(t);
        alertPeak = std::max(alertPeak, f.alertScale);
        badgePeak = std::max(badgePeak, f.badgeScale);
        blurPeak = std::max(blurPeak, f.windowBlur);
        ASSERT_LE(f.alertOpacity, 1) << t;
        ASSERT_LE(f.badgeOpacity, 1) << t;
    }
    EXPECT_NEAR(alertPeak, 1.015, 0.001);
    EXPECT_NEAR(badgePeak, 1.02, 0.001);
    EXPECT_NEAR(blurPeak, 1.65, 0.002);
}

TEST(ProxyAlertFrameTest, PointerGlidesBetweenItsKeys) {
    const QPointF mid = frameAt(1.45).pointer;
    EXPECT_NEAR(mid.x(), (kRest.x() + kAllow.x()) / 2, 1e-9);
    EXPECT_NEAR(mid.y(), (kRest.y() + kAllow.y()) / 2, 1e-9);
    // Just off the key times the pointer has only started to move.
    const QPointF leaving = frameAt(2.81).pointer;
    EXPECT_GT(leaving.x(), kAllow.x());
    EXPECT_LT(leaving.x(), kAllow.x() + 0.1);
}

} // namespace
} // namespace quorvex
