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

namespace {

int alphaAt(const QPixmap& pixmap, int x, int y) {
    return qAlpha(pixmap.toImage().pixel(x, y));
}

} // namespace

// The set has only the outline glyph of the circular arrow: the filled form is a disc with the
// glyph cut out of it, the outline form the glyph inside a ring, both in the given colour.
TEST(SymbolsTest, CircledNamesWithoutAnIconOfTheirOwnAreDrawnAroundTheGlyph) {
    const QColor blue(0, 122, 255);
    // 24 logical pixels at ratio 2: one unit of the set's 24-unit grid is two pixels.
    const QPixmap filled =
        Symbols::pixmap(QStringLiteral("arrow.counterclockwise.circle.fill"), {24, 24}, blue);
    const QPixmap outline = Symbols::pixmap(QStringLiteral("arrow.counterclockwise.circle"), {24, 24}, blue);
    ASSERT_EQ(filled.size(), QSize(48, 48));

    EXPECT_GT(alphaAt(filled, 24, 24), 200) << "the middle of the disc is filled";
    EXPECT_GT(alphaAt(filled, 24, 5), 200) << "so is its edge";
    EXPECT_LT(alphaAt(filled, 14, 24), 60) << "the arrow's arc is cut out of the disc";
    EXPECT_LT(alphaAt(filled, 1, 1), 10) << "outside the disc stays clear";
    QColor sample;
    opaquePixels(filled, &sample);
    EXPECT_EQ(sample.rgb(), blue.rgb());

    EXPECT_LT(alphaAt(outline, 24, 24), 10) << "the outline form is hollow";
    EXPECT_GT(alphaAt(outline, 24, 6), 200) << "with a ring around";
    EXPECT_GT(alphaAt(outline, 14, 24), 200) << "and the arrow inside";
    EXPECT_GT(opaquePixels(filled), 2 * opaquePixels(outline));

    // A glyph known only without the suffix gets the same treatment instead of the fallback.
    EXPECT_TRUE(Symbols::contains(QStringLiteral("hammer.circle.fill")));
    EXPECT_TRUE(Symbols::contains(QStringLiteral("questionmark.circle")));
    EXPECT_GT(alphaAt(Symbols::pixmap(QStringLiteral("hammer.circle.fill"), {24, 24}, blue), 24, 6), 200);
    EXPECT_FALSE(Symbols::contains(QStringLiteral("no.such.circle.fill")));
}

// Names the set has a filled icon for are drawn from it, not from a disc of ours.
TEST(SymbolsTest, FilledIconsOfTheSetAreUsedAsTheyAre) {
    const QPixmap check = Symbols::pixmap(QStringLiteral("checkmark.circle.fill"), {24, 24}, Qt::black);
    EXPECT_GT(alphaAt(check, 24, 5), 200);
    EXPECT_LT(alphaAt(check, 1, 1), 10);
    EXPECT_NE(check.toImage(),
              Symbols::pixmap(QStringLiteral("checkmark.circle"), {24, 24}, Qt::black).toImage());
}
