#include "app/MenuIcons.h"

#include "ui/Palette.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// The colour at a point given in logical pixels (the device pixel whose corner it is).
QColor at(const QImage& image, qreal x, qreal y) {
    return image.pixelColor(int(x * MenuIcons::devicePixelRatio), int(y * MenuIcons::devicePixelRatio));
}

bool isClear(const QColor& c) {
    return c.alpha() < 16;
}

TEST(MenuIconsTest, TheStatusGlyphIsEighteenPointsAtDoubleDensityWithCutLinesAndAnActiveDot) {
    for (const bool active : {false, true}) {
        SCOPED_TRACE(active ? "active" : "inactive");
        const QImage glyph = MenuIcons::statusItemImage(active, Qt::black);
        EXPECT_EQ(glyph.size(), QSize(36, 36));
        EXPECT_EQ(glyph.devicePixelRatio(), 2.0);
        EXPECT_TRUE(isClear(at(glyph, 0, 0)));
        EXPECT_GT(at(glyph, 3, 9.5).alpha(), 128) << "middle line";
        EXPECT_TRUE(isClear(at(glyph, 6, 9.5))) << "the knob must cut the line it sits on";
        EXPECT_GT(at(glyph, 8, 9.5).alpha(), 128) << "knob ring";
        EXPECT_GT(at(glyph, 13.6, 4.4).alpha(), 200) << "sparkle";
        // Below the third line, where only the active dot reaches.
        EXPECT_EQ(at(glyph, 15.5, 16).alpha() > 128, active);
    }
    EXPECT_EQ(at(MenuIcons::statusItemImage(false, Qt::white), 3, 9.5).rgb(), QColor(Qt::white).rgb());
    EXPECT_EQ(MenuIcons::statusItemDescription(false), "Quorvex");
    EXPECT_EQ(MenuIcons::statusItemDescription(true), "Quorvex, network changes active");
}

TEST(MenuIconsTest, ATileIsARoundedSquareOfItsColourWithTheWhiteSymbolInTheMiddle) {
    const QImage tile = MenuIcons::menuImage("trash", Palette::orange());
    EXPECT_EQ(tile.size(), QSize(32, 32));
    EXPECT_EQ(tile.devicePixelRatio(), 2.0);
    EXPECT_TRUE(isClear(at(tile, 0, 0))) << "rounded corner";
    EXPECT_EQ(at(tile, 1.5, 8), Palette::orange());
    EXPECT_EQ(at(tile, 8, 1.5), Palette::orange());

    // Somewhere in the symbol's square the tile is white.
    bool white = false;
    for (qreal x = 3; x < 13; x += 0.5)
        for (qreal y = 3; y < 13; y += 0.5)
            white = white || at(tile, x, y) == QColor(Qt::white);
    EXPECT_TRUE(white);

    const QImage unknown = MenuIcons::menuImage("no.such.symbol", Palette::blue());
    EXPECT_EQ(at(unknown, 8, 8), Palette::blue()) << "an unknown symbol gives the plain square";
}

TEST(MenuIconsTest, TilesAreCachedBySymbolAndColour) {
    const int before = MenuIcons::menuImageCacheSize();
    const QImage red = MenuIcons::menuImage("nosign", Palette::red());
    const QImage again = MenuIcons::menuImage("nosign", Palette::red());
    const QImage gray = MenuIcons::menuImage("nosign", Palette::gray());
    EXPECT_EQ(red.cacheKey(), again.cacheKey());
    EXPECT_NE(red.cacheKey(), gray.cacheKey());
    EXPECT_EQ(MenuIcons::menuImageCacheSize(), before + 2);
}

TEST(MenuIconsTest, BadgesAreCapsulesAtLeastTwentyWideAndGrowWithTheirText) {
    const QSizeF one = MenuIcons::badgeSize("7");
    EXPECT_EQ(one, QSizeF(20, 16));
    EXPECT_EQ(MenuIcons::badgeImage("7").size(), QSize(40, 32));
    const QSizeF many = MenuIcons::badgeSize("1000");
    EXPECT_GT(many.width(), 20);
    EXPECT_GT(MenuIcons::badgeSize("100000").width(), many.width());
    EXPECT_EQ(MenuIcons::badgeImage("1000").width(), int(many.width() * 2));
}

TEST(MenuIconsTest, TheBadgeFillFollowsTheAppearance) {
    struct Case {
        MenuIcons::Appearance appearance;
        int red;
        double alpha;
    };
    for (const Case& c :
         {Case{MenuIcons::Appearance::light, 0, 0.09}, Case{MenuIcons::Appearance::dark, 255, 0.16}}) {
        const QImage badge = MenuIcons::badgeImage("3", c.appearance);
        EXPECT_TRUE(isClear(at(badge, 0, 0))) << "capsule end";
        const QColor fill = at(badge, 3, 8);
        EXPECT_EQ(fill.red(), c.red);
        EXPECT_NEAR(fill.alphaF(), c.alpha, 0.01);
        int strongest = 0; // the text, drawn over the fill in the middle
        for (qreal x = 7; x < 13; x += 0.5)
            for (qreal y = 4; y < 12; y += 0.5)
                strongest = std::max(strongest, at(badge, x, y).alpha());
        EXPECT_GT(strongest, fill.alpha() + 40);
    }
}

TEST(MenuIconsTest, TheStatusGlyphTakesTheColourThatStandsOutOnItsPanel) {
    struct Case {
        const char* name;
        QColor panel;
        QColor glyph;
    };
    const std::vector<Case> cases = {
        {"a dark panel", QColor(0x2b, 0x2b, 0x2b), Qt::white},
        {"a black panel", Qt::black, Qt::white},
        {"a saturated blue panel", QColor(0x1e, 0x40, 0xaf), Qt::white},
        {"a light panel", QColor(0xee, 0xee, 0xee), QColor(0x1d, 0x1d, 0x1f)},
        {"a white panel", Qt::white, QColor(0x1d, 0x1d, 0x1f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MenuIcons::statusGlyphColor(c.panel), c.glyph);
    }
    // On both variants the active glyph still differs from the inactive one.
    for (const QColor& glyph : {QColor(Qt::white), QColor(0x1d, 0x1d, 0x1f)})
        EXPECT_NE(MenuIcons::statusItemImage(true, glyph), MenuIcons::statusItemImage(false, glyph));
}

TEST(MenuIconsTest, APanelColourIsReadOnlyWhereThereIsAScreen) {
    EXPECT_FALSE(MenuIcons::panelColorAt(QRect()).has_value());
    EXPECT_FALSE(MenuIcons::panelColorAt(QRect(-5000, -5000, 22, 22)).has_value());
}

} // namespace
} // namespace quorvex
