#include "ui/AnimatedColor.h"

#include "support/FakeClock.h"
#include "ui/Animator.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

void expectColor(const QColor& got, const QColor& expected, double tolerance = 1.5 / 255) {
    EXPECT_NEAR(got.redF(), expected.redF(), tolerance);
    EXPECT_NEAR(got.greenF(), expected.greenF(), tolerance);
    EXPECT_NEAR(got.blueF(), expected.blueF(), tolerance);
    EXPECT_NEAR(got.alphaF(), expected.alphaF(), tolerance);
}

TEST(AnimatedColorTest, MixingWeighsColoursByTheirAlpha) {
    struct Case {
        QColor from, to;
        double amount;
        QColor expected;
    };
    const QColor clear(0, 0, 0, 0);
    const Case cases[] = {
        {Qt::white, Qt::black, 0.25, QColor::fromRgbF(0.75, 0.75, 0.75)},
        // Fading in from nothing keeps the hue: half-transparent red, not a dark red.
        {clear, Qt::red, 0.5, QColor::fromRgbF(1, 0, 0, 0.5)},
        {QColor::fromRgbF(0, 0, 0, 0.08), QColor::fromRgbF(0, 0.48, 1), 0.5,
         QColor::fromRgbF(0, 0.444, 0.925, 0.54)},
        {Qt::red, Qt::blue, 1.3, Qt::blue}, // past the end (a spring's overshoot) stays on the target
        {QColor(), Qt::green, 0.2, Qt::green},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.name(QColor::HexArgb).toStdString() << " → "
                                        << c.to.name(QColor::HexArgb).toStdString() << " at " << c.amount);
        expectColor(AnimatedColor::mix(c.from, c.to, c.amount), c.expected, 0.002);
    }
}

TEST(AnimatedColorTest, AFadeEasesOutToItsColourAndANewColourFadesOnFromWhereItStands) {
    test::FakeClock clock;
    Animator animator(clock);
    animator.setReduceMotion(false);
    const QColor grey = QColor::fromRgbF(0, 0, 0, 0.08);
    const QColor accent(0, 122, 255);
    AnimatedColor fill(animator, grey);
    fill.animateTo(accent, Motion::easeOut(0.2));
    clock.advance(0.1);
    const QColor midway = fill.color();
    expectColor(midway, AnimatedColor::mix(grey, accent, 0.6846431874274606), 0.01);

    fill.animateTo(grey, Motion::easeOut(0.2));
    expectColor(fill.color(), midway);
    clock.advance(0.25);
    expectColor(fill.color(), grey);
    EXPECT_FALSE(fill.isAnimating());
    EXPECT_EQ(clock.pendingCount(), 0u);

    animator.setReduceMotion(true);
    fill.animateTo(accent, Motion::easeOut(0.2));
    expectColor(fill.color(), accent);
    EXPECT_EQ(clock.pendingCount(), 0u);
}

} // namespace
} // namespace quorvex
