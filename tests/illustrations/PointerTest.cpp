#include "illustrations/Pointer.h"

#include "illustrations/Curves.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cstdlib>

#include <gtest/gtest.h>

#include <vector>

namespace quorvex {
namespace {

TEST(PointerTest, PressAndRingAroundAClick) {
    struct Case {
        const char* name;
        std::vector<double> clicks;
        double t;
        bool pressed;
        std::optional<double> ring;
    };
    const Case cases[] = {
        {"no clicks", {}, 1, false, std::nullopt},
        {"before the click", {1}, 0.99, false, std::nullopt},
        {"at the click: pressed, no ring yet", {1}, 1, true, std::nullopt},
        {"just after: ring grows", {1}, 1.1, true, smooth(1.1, 1, 1.45)},
        {"released at 0.15 s", {1}, 1.15, false, smooth(1.15, 1, 1.45)},
        {"ring gone at 0.45 s", {1}, 1.45, false, std::nullopt},
        {"later click", {1, 3}, 3.2, false, smooth(3.2, 3, 3.45)},
        {"overlapping: first in the list wins", {1, 1.2}, 1.3, true, smooth(1.3, 1, 1.45)},
        {"overlapping listed later-first", {1.2, 1}, 1.3, true, smooth(1.3, 1.2, 1.65)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Pointer::pressed(c.clicks, c.t), c.pressed);
        const auto ring = Pointer::ringProgress(c.clicks, c.t);
        ASSERT_EQ(ring.has_value(), c.ring.has_value());
        if (ring) {
            EXPECT_DOUBLE_EQ(*ring, *c.ring);
        }
    }
}

TEST(PointerTest, TipMovesUpAndLeftWhileTheRingIsLarger) {
    const QPointF at(100, 50);
    EXPECT_EQ(Pointer::tip(at, std::nullopt), QPointF(99.5, 49.5));
    EXPECT_EQ(Pointer::tip(at, 0.0), QPointF(99.5, 49.5)); // ring of 6 inside the arrow
    EXPECT_EQ(Pointer::tip(at, 1.0), QPointF(86, 39));     // ring of 40
    EXPECT_DOUBLE_EQ(Pointer::ringDiameter(0.5), 23);
}

TEST(PointerTest, PaintsTheArrowAtTheTip) {
    QImage image(60, 60, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        Pointer::paint(painter, QPointF(20, 20), {}, 0, 1);
    }
    // Inside the arrow, a little below and right of its tip, the fill is black.
    EXPECT_EQ(image.pixelColor(22, 27).rgb(), QColor(Qt::black).rgb());
    // Right of the wing nothing is drawn.
    EXPECT_EQ(image.pixelColor(40, 22).alpha(), 0);
}

// Under a translation the arrow is blitted from a picture, under any other transform it is
// filled; at rest on whole points, pressed or not, at either pixel ratio, both must look the same.
TEST(PointerTest, ArrowPictureMatchesTheFilledArrowAtRest) {
    auto largestDifference = [](const QImage& a, const QImage& b) {
        int largest = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
                largest = std::max({largest, std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                                    std::abs(p.blue() - q.blue()), std::abs(p.alpha() - q.alpha())});
            }
        return largest;
    };
    const std::array<double, 1> clicks{1.0};
    for (qreal dpr : {1.0, 2.0}) {
        for (double t : {0.0, 1.05}) {
            SCOPED_TRACE(testing::Message() << "ratio " << dpr << " at " << t);
            auto draw = [&](bool filled) {
                QImage image(QSize(60, 60) * dpr, QImage::Format_ARGB32_Premultiplied);
                image.setDevicePixelRatio(dpr);
                image.fill(Qt::white);
                QPainter painter(&image);
                painter.translate(7, 3);
                if (filled)
                    painter.scale(1.000001, 1.000001);
                Pointer::paint(painter, QPointF(20, 20), clicks, t, 1);
                return image;
            };
            EXPECT_LE(largestDifference(draw(false), draw(true)), 2);
        }
    }
}

} // namespace
} // namespace quorvex
