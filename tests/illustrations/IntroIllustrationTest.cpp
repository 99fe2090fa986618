#include "illustrations/IntroIllustration.h"

#include "support/FakeClock.h"
#include "ui/Palette.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include <cmath>

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
    EXPECT_FALSE(intro.accessibleName().isEmpty()); // the guide's backdrop reads it out
}

// Where the scene's parts lie in a 360 × 240 drawing (the scene, 340 × 224, is centred in it).
constexpr QPointF kOrigin{(360 - 340) / 2, (240 - 224) / 2};
constexpr double kPhoneBarY = kOrigin.y() + 30 + 2;    // the middle of the phone's 4-high load bar
constexpr double kPhoneBarLeft = kOrigin.x() + 12;     // the bar spans 72 from here
constexpr double kComputerBarY = kOrigin.y() + 84 + 2; // the computer's full-speed bar
constexpr double kComputerLeft = kOrigin.x() + 169;    // its screen's content spans 142 from here

class ShownIntro final {
public:
    explicit ShownIntro(QList<IntroIllustration::Profile> profiles)
        : m_intro(m_clock, std::move(profiles), 2.2) {
        m_intro.setReduceMotion(false);
        m_intro.resize(360, 240);
        m_intro.show();
        m_shownAt = m_clock.now();
    }
    /// The drawing `t` seconds into its loop.
    QImage at(double t) {
        m_clock.advance(m_shownAt + t - m_clock.now());
        m_image = m_intro.grab().toImage();
        return m_image;
    }
    QColor pixel(double x, double y) const {
        const double dpr = m_image.devicePixelRatio();
        return m_image.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
    }
    QColor accent() const { return m_intro.palette().color(QPalette::Highlight); }
    /// How far along the phone's load bar the accent reaches, as a share of the bar.
    double loaded() const {
        int last = -1;
        for (int x = 0; x < 72; ++x)
            if (pixel(kPhoneBarLeft + x + 0.5, kPhoneBarY).rgb() == accent().rgb())
                last = x;
        return (last + 1) / 72.0;
    }

private:
    test::FakeClock m_clock;
    IntroIllustration m_intro;
    double m_shownAt = 0;
    QImage m_image;
};

TEST(IntroIllustrationTest, StillFrameShowsTheLoadingPhoneBesideTheComputer) {
    test::FakeClock clock;
    IntroIllustration intro(clock, guideProfiles(), 2.2);
    intro.setReduceMotion(true);
    intro.resize(360, 240);
    const QImage image = intro.grab().toImage();
    // The phone's load bar: its accent part covers about a fifth of the bar ("Edge", 1.5 s in).
    const QColor accent = intro.palette().color(QPalette::Highlight);
    const double dpr = image.devicePixelRatio();
    auto at = [&](double x, double y) {
        return image.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
    };
    EXPECT_EQ(at(kPhoneBarLeft + 5, kPhoneBarY).rgb(), accent.rgb());
    EXPECT_NE(at(kPhoneBarLeft + 40, kPhoneBarY).rgb(), accent.rgb());
}

// Shown, the phone loads its page at the speed of the profile it names while the computer's bar
// stays full and its bars keep moving.
TEST(IntroIllustrationTest, ThePhoneLoadsAtEachProfilesSpeedAndTheComputerKeepsFullSpeed) {
    ShownIntro intro(guideProfiles());
    intro.at(0.05);
    EXPECT_LT(intro.loaded(), 0.1) << "a segment starts with an empty bar";
    intro.at(1.1); // Wi-Fi, half its segment in: loaded long ago
    EXPECT_GT(intro.loaded(), 0.95);
    intro.at(8.8 + 1.1); // Edge, half its segment in: 15 %
    EXPECT_NEAR(intro.loaded(), 0.15, 0.05);
    intro.at(11.0 + 1.1); // Very Slow, half its segment in: 6 %
    EXPECT_NEAR(intro.loaded(), 0.06, 0.04);
    intro.at(13.2 + 1.1); // the loop starts again with Wi-Fi
    EXPECT_GT(intro.loaded(), 0.95);

    for (const double t : {0.3, 4.0, 9.0, 12.0})
        for (const double x : {8.0, 70.0, 134.0}) {
            intro.at(t);
            EXPECT_EQ(intro.pixel(kComputerLeft + x, kComputerBarY).rgb(), Palette::green().rgb())
                << "at " << t << " s, " << x << " along the computer's bar";
        }

    // The first of the computer's bars is at its tallest at 3t = π/2 and its shortest at 3t = 3π/2;
    // just under its tallest top the one shows the bar and the other the screen behind it.
    const QPointF underTallestTop(kComputerLeft + 20, kOrigin.y() + 94 + 4);
    intro.at(M_PI / 6);
    const QColor tallest = intro.pixel(underTallestTop.x(), underTallestTop.y());
    intro.at(M_PI / 2);
    const QColor shortest = intro.pixel(underTallestTop.x(), underTallestTop.y());
    EXPECT_NE(tallest.rgb(), shortest.rgb());
}

// The caller must pass profiles; without any the drawing still draws its scene rather than fail:
// the phone waits with an empty bar, the computer keeps full speed.
TEST(IntroIllustrationTest, WithoutProfilesThePhoneWaitsAndTheComputerKeepsFullSpeed) {
    ShownIntro intro({});
    for (const double t : {0.0, 1.0, 7.5}) {
        intro.at(t);
        EXPECT_EQ(intro.loaded(), 0.0) << t;
        EXPECT_EQ(intro.pixel(kComputerLeft + 70, kComputerBarY).rgb(), Palette::green().rgb()) << t;
    }
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

} // namespace
} // namespace quorvex
