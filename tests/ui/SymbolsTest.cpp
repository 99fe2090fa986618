#include "ui/Symbols.h"

#include <gtest/gtest.h>

#include <QImage>

using namespace quorvex;

namespace {

int opaquePixels(const QPixmap& pixmap, QColor* sample = nullptr) {
    const QImage image = pixmap.toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200) {
                if (sample && count == 0)
                    *sample = image.pixelColor(x, y);
                ++count;
            }
    return count;
}

} // namespace

TEST(SymbolsTest, KnownNamesDrawTintedIcons) {
    for (const char* name : {"bell.badge", "link", "exclamationmark.triangle", "hourglass", "app.dashed"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Symbols::contains(QString::fromLatin1(name)));
        QColor sample;
        const QPixmap pixmap =
            Symbols::pixmap(QString::fromLatin1(name), QSize(16, 16), QColor(255, 0, 0), 2.0);
        EXPECT_EQ(pixmap.size(), QSize(32, 32));
        EXPECT_GT(opaquePixels(pixmap, &sample), 10);
        EXPECT_GT(sample.red(), 200);
        EXPECT_LT(sample.green(), 60);
    }
}

TEST(SymbolsTest, UnknownNameDrawsTheFallback) {
    EXPECT_FALSE(Symbols::contains(QStringLiteral("no.such.symbol")));
    const QPixmap fallback = Symbols::pixmap(QStringLiteral("no.such.symbol"), QSize(16, 16), Qt::black);
    EXPECT_GT(opaquePixels(fallback), 10);
    EXPECT_EQ(fallback.toImage(),
              Symbols::pixmap(QStringLiteral("other.unknown"), QSize(16, 16), Qt::black).toImage());
}
