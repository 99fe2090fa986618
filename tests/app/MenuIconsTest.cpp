#include "app/MenuIcons.h"

#include "ui/Palette.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

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
    const qsizetype before = MenuIcons::imageCache().size();
    const QImage red = MenuIcons::menuImage("nosign", Palette::red());
    const QImage again = MenuIcons::menuImage("nosign", Palette::red());
    const QImage gray = MenuIcons::menuImage("nosign", Palette::gray());
    EXPECT_EQ(red.cacheKey(), again.cacheKey());
    EXPECT_NE(red.cacheKey(), gray.cacheKey());
    EXPECT_EQ(MenuIcons::imageCache().size(), before + 2);
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
}

// WCAG contrast ratio of two opaque colours.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& color) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
               0.0722 * channel(color.blueF());
    };
    const double x = luminance(a);
    const double y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// Each panel gets its variant, and on each the active dot is a colour of its own that still
// stands out from the panel: the active state is told apart by colour, not only by a shorter line.
TEST(MenuIconsTest, BothVariantsShowTheActiveDotInAColourThatStandsOutOnTheirPanel) {
    struct Case {
        const char* name;
        QColor panel;
        MenuIcons::PanelShade shade;
    };
    const Case cases[] = {
        {"light panel", QColor(0xee, 0xee, 0xee), MenuIcons::PanelShade::light},
        {"white panel", Qt::white, MenuIcons::PanelShade::light},
        {"dark panel", QColor(0x2b, 0x2b, 0x2b), MenuIcons::PanelShade::dark},
        {"black panel", Qt::black, MenuIcons::PanelShade::dark},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(MenuIcons::panelShade(c.panel), c.shade);
        const QColor glyph = MenuIcons::statusGlyphColor(c.shade);
        EXPECT_GE(contrast(glyph, c.panel), 4.5);
        const QImage active = MenuIcons::statusItemImage(true, glyph);
        const QImage idle = MenuIcons::statusItemImage(false, glyph);
        const QColor dot = at(active, 15.5, 14.5);
        EXPECT_GT(dot.alpha(), 250);
        EXPECT_NEAR(dot.hslHue(), 30, 12) << "orange";
        EXPECT_GE(contrast(dot, c.panel), 3.0) << dot.name().toStdString();
        EXPECT_GE(contrast(dot, glyph), 1.5) << "not the glyph's own colour";
        EXPECT_NE(at(idle, 15.5, 14.5).rgb(), dot.rgb());
    }
}

// Hosts that draw icons by name get our themed icon; its drawing is the same glyph, so the two
// kinds of tray show one picture.
TEST(MenuIconsTest, TheThemedIconsDrawTheSameGlyphAsThePainter) {
    for (const bool active : {false, true}) {
        SCOPED_TRACE(active ? "active" : "idle");
        const QIcon themed = MenuIcons::statusIcon(active, MenuIcons::PanelShade::dark, true);
        EXPECT_EQ(themed.name(), MenuIcons::statusIconName(active));
        EXPECT_FALSE(themed.pixmap(QSize(22, 22)).isNull()) << "pixels for hosts that do not look names up";
        EXPECT_TRUE(MenuIcons::statusIcon(active, MenuIcons::PanelShade::dark, false).name().isEmpty());

        QSvgRenderer svg(QStringLiteral(":/icons/tray/%1.svg").arg(MenuIcons::statusIconName(active)));
        ASSERT_TRUE(svg.isValid());
        QImage drawn(36, 36, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QImage painted = MenuIcons::statusItemImage(active, Qt::black);
        int differing = 0;
        for (int y = 0; y < 36; ++y)
            for (int x = 0; x < 36; ++x)
                if ((qAlpha(drawn.pixel(x, y)) > 128) != (painted.pixelColor(x, y).alpha() > 128))
                    ++differing;
        EXPECT_LT(differing, 36 * 36 / 50) << "the same shape, give or take the antialiased edges";
        if (active) {
            EXPECT_NEAR(drawn.pixelColor(31, 29).hslHue(), 30, 12) << "the dot is orange there too";
        }
    }
}

TEST(MenuIconsTest, APanelColourIsReadOnlyWhereThereIsAScreen) {
    EXPECT_FALSE(MenuIcons::panelColorAt(QRect()).has_value());
    EXPECT_FALSE(MenuIcons::panelColorAt(QRect(-5000, -5000, 22, 22)).has_value());
}

} // namespace
} // namespace quorvex
