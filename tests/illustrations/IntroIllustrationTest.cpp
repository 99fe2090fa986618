#include "illustrations/IntroIllustration.h"

#include "support/FakeClock.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

QList<IntroIllustration::Profile> guideProfiles() {
    return {{"wifi", "Wi-Fi", "wifi"},
            {"5g", "5G", "antenna.radiowaves.left.and.right"},
            {"lte", "LTE", "antenna.radiowaves.left.and.right"},
            {"3g", "3G", "cellularbars"},
            {"edge", "Edge", "cellularbars"},
            {"very-slow", "Very Slow", "tortoise"}};
}

TEST(IntroIllustrationTest, LoopAndStillFrameFollowTheSegment) {
    test::FakeClock clock;
    IntroIllustration intro(clock, guideProfiles(), 2.2);
    EXPECT_NEAR(intro.duration(), 13.2, 1e-12);
    EXPECT_NEAR(intro.stillFrame(), 10.3, 1e-12);
}

TEST(IntroIllustrationTest, StillFrameShowsTheLoadingPhoneBesideTheComputer) {
    test::FakeClock clock;
    IntroIllustration intro(clock, guideProfiles(), 2.2);
    intro.setReduceMotion(true);
    intro.resize(360, 240);
    const QImage image = intro.grab().toImage();
    // The phone's load bar: its accent part covers about a fifth of the bar ("Edge", 1.5 s in).
    const QColor accent = intro.palette().color(QPalette::Highlight);
    const int barY = (240 - 224) / 2 + 30 + 2;
    const int barLeft = (360 - 340) / 2 + 12;
    const double dpr = image.devicePixelRatio();
    auto at = [&](double x, double y) {
        return image.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
    };
    EXPECT_EQ(at(barLeft + 5, barY).rgb(), accent.rgb());
    EXPECT_NE(at(barLeft + 40, barY).rgb(), accent.rgb());
}

TEST(IntroIllustrationTest, ThePillChangesProfileThroughInBetweenFramesButNotOnFirstShow) {
    test::FakeClock clock;
    IntroIllustration intro(clock, guideProfiles(), 2.2);
    intro.setReduceMotion(false);
    intro.resize(360, 240);
    const double shown = clock.now();
    intro.show();
    // The phone's pill, under the phone (the scene is centred, 340 × 224).
    const QRect pill(0, (240 - 224) / 2 + 190 + 8, 170, 36);
    auto shot = [&](double at) {
        clock.advance(shown + at - clock.now());
        return intro.grab(pill).toImage();
    };
    const QImage appeared = shot(0.05);
    const QImage wifi = shot(1.0);
    EXPECT_EQ(appeared, wifi) << "the first profile has nothing to change from";
    const QImage changing = shot(2.2 + 0.08);
    const QImage fiveG = shot(2.2 + 1.0);
    EXPECT_NE(wifi, fiveG);
    EXPECT_NE(changing, wifi);
    EXPECT_NE(changing, fiveG);
    // After the loop comes round, Wi-Fi follows Very Slow through the same change.
    EXPECT_NE(shot(13.2 + 0.08), shot(13.2 + 1.0));
}

TEST(IntroIllustrationTest, NoProfilesDrawsWithoutFailing) {
    test::FakeClock clock;
    IntroIllustration intro(clock, {}, 2.2);
    intro.setReduceMotion(false);
    intro.resize(360, 240);
    intro.show();
    clock.advance(1);
    EXPECT_FALSE(intro.grab().isNull());
}

} // namespace
} // namespace quorvex
