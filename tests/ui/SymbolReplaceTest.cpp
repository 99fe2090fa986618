#include "ui/SymbolReplace.h"

#include "support/FakeClock.h"
#include "ui/Animator.h"
#include "ui/ReplacingSymbol.h"
#include "ui/ScaleFade.h"
#include "ui/Spring.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const QString kOld = QStringLiteral("circle");
const QString kNew = QStringLiteral("checkmark.circle.fill");

TEST(ScaleFadeTest, ABadgeGrowsFromNothingAboutItsCentreAndFadesInWithIt) {
    struct Case {
        double amount;
        double scale, opacity;
        bool visible;
    };
    const Case cases[] = {
        {-0.1, 0, 0, false}, {0, 0, 0, false},      {0.5, 0.5, 0.5, true},
        {1, 1, 1, true},     {1.08, 1.08, 1, true}, // a spring's overshoot swells it, the opacity stays whole
    };
    for (const Case& c : cases) {
        const ScaleFade look = ScaleFade::appearing(c.amount);
        EXPECT_DOUBLE_EQ(look.scale, c.scale) << c.amount;
        EXPECT_DOUBLE_EQ(look.opacity, c.opacity) << c.amount;
        EXPECT_EQ(look.visible(), c.visible) << c.amount;
    }
    // Applied, the centre stays where it is, the corners come halfway in, the opacity multiplies.
    QImage canvas(100, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    painter.setOpacity(0.8);
    const QRectF badge(20, 40, 40, 20);
    ScaleFade::appearing(0.5).apply(painter, badge);
    EXPECT_EQ(painter.transform().map(badge.center()), badge.center());
    EXPECT_EQ(painter.transform().map(badge.topLeft()), QPointF(30, 45));
    EXPECT_DOUBLE_EQ(painter.opacity(), 0.4);
}

TEST(SymbolReplaceTest, TheOldSymbolShrinksAwayWhileTheNewOneGrowsIn) {
    struct Shown {
        QString symbol;
        double scale, opacity;
    };
    struct Frame {
        double progress;
        std::vector<Shown> layers;
    };
    const Frame frames[] = {
        {0, {{kOld, 1, 1}}},
        {0.3, {{kOld, 0.625, 0.5}, {kNew, 0.3, 0.05 / 0.75}}},
        {0.6, {{kNew, 0.6, 0.35 / 0.75}}},
        {1, {{kNew, 1, 1}}},
        {1.06, {{kNew, 1.06, 1}}}, // overshoot: the new symbol swells a little and settles
    };
    const SymbolReplace replace(kOld, kNew);
    for (const Frame& f : frames) {
        SCOPED_TRACE(testing::Message() << "at " << f.progress);
        const auto layers = replace.layers(f.progress);
        ASSERT_EQ(layers.size(), f.layers.size());
        for (size_t i = 0; i < layers.size(); ++i) {
            EXPECT_EQ(layers[i].symbol, f.layers[i].symbol);
            EXPECT_NEAR(layers[i].look.scale, f.layers[i].scale, 1e-12);
            EXPECT_NEAR(layers[i].look.opacity, f.layers[i].opacity, 1e-12);
        }
    }
    // From nothing only the new symbol shows; a symbol at rest is one plain layer.
    const auto fromNothing = SymbolReplace(QString(), kNew).layers(0.6);
    ASSERT_EQ(fromNothing.size(), 1u);
    EXPECT_EQ(fromNothing[0].symbol, kNew);
    const auto still = SymbolReplace(kNew).layers(0.3);
    ASSERT_EQ(still.size(), 1u);
    EXPECT_DOUBLE_EQ(still[0].look.scale, 1);
    EXPECT_TRUE(SymbolReplace().layers(0.5).empty());
}

QImage painted(const SymbolReplace& replace, double progress) {
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    replace.paint(painter, progress, QRectF(10, 10, 20, 20), Qt::black);
    painter.end();
    return image;
}

TEST(SymbolReplaceTest, PaintingEndsOnTheNewSymbolAloneAndShowsBothOnTheWay) {
    const SymbolReplace replace(kOld, kNew);
    EXPECT_EQ(painted(replace, 0), painted(SymbolReplace(kOld), 1));
    EXPECT_EQ(painted(replace, 1), painted(SymbolReplace(kNew), 1));
    const QImage midway = painted(replace, 0.3);
    EXPECT_NE(midway, painted(replace, 0));
    EXPECT_NE(midway, painted(replace, 1));
}

TEST(SymbolReplaceTest, AReplacingSymbolPlaysOnItsSpringAndThenRests) {
    test::FakeClock clock;
    Animator animator(clock);
    animator.setReduceMotion(false);
    ReplacingSymbol box(animator, kOld);
    EXPECT_EQ(clock.pendingCount(), 0u);
    box.setSymbol(kNew, Motion::spring(0.5, 0.85));
    clock.advance(0.12);
    EXPECT_NEAR(box.progress(), Spring(0.5, 0.85).value(0.12), 1e-9);
    EXPECT_EQ(box.layers().size(), 2u);
    clock.advance(2);
    EXPECT_FALSE(box.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
    ASSERT_EQ(box.layers().size(), 1u);
    EXPECT_EQ(box.layers()[0].symbol, kNew);

    // Under Reduce Motion the new symbol is there at once.
    animator.setReduceMotion(true);
    box.setSymbol(QStringLiteral("lock.fill"), Motion::spring(0.5, 0.85));
    EXPECT_EQ(clock.pendingCount(), 0u);
    ASSERT_EQ(box.layers().size(), 1u);
    EXPECT_EQ(box.layers()[0].symbol, QStringLiteral("lock.fill"));
}

} // namespace
} // namespace quorvex
