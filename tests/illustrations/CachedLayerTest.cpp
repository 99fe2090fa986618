#include "illustrations/CachedLayer.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

int largestChannelDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return largest;
}

// Translucent antialiased shapes that cross several bands of rows, inside a transparent margin.
void paintShapes(QPainter& p) {
    p.setPen(QPen(QColor(20, 40, 200, 160), 1.5));
    p.setBrush(QColor(200, 30, 30, 90));
    p.drawRoundedRect(QRectF(10.5, 10.25, 150, 230), 14, 14);
    p.setBrush(QColor(10, 160, 60, 120));
    p.drawEllipse(QRectF(40.3, 50.7, 100, 170));
}

// A layer painted and blitted in bands of rows must give the pixels one pass gives: no row lost
// or blended twice where bands meet, at either pixel ratio, moved or scaled.
TEST(CachedLayerTest, BandsGiveTheSamePixelsAsOnePass) {
    struct Case {
        const char* name;
        qreal dpr;
        double scale;
    };
    const Case cases[] = {
        {"moved", 1, 1},
        {"moved, ratio 2", 2, 1},
        {"scaled", 1, 0.9},
        {"scaled, ratio 2", 2, 0.93},
    };
    const QRectF rect(0, 0, 170, 250);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto canvas = [&] {
            QImage image(QSize(220, 300) * c.dpr, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(c.dpr);
            image.fill(Qt::white);
            return image;
        };
        auto place = [&](QPainter& p) {
            p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
            p.translate(12, 9);
            p.scale(c.scale, c.scale);
        };

        QPixmap onePass(QSize(170, 250) * c.dpr);
        onePass.setDevicePixelRatio(c.dpr);
        onePass.fill(Qt::transparent);
        {
            QPainter p(&onePass);
            p.setRenderHint(QPainter::Antialiasing);
            paintShapes(p);
        }
        QImage expected = canvas();
        {
            QPainter p(&expected);
            place(p);
            p.drawPixmap(rect.topLeft(), onePass);
        }

        QImage banded = canvas();
        CachedLayer layer;
        {
            QPainter p(&banded);
            place(p);
            layer.draw(p, rect, c.dpr, 0, paintShapes);
        }
        EXPECT_LE(largestChannelDifference(banded, expected), 1);
    }
}

} // namespace
} // namespace quorvex
