#include "app/RowMenu.h"
#include "app/CopyRowView.h"
#include "app/MenuRenderer.h"
#include "app/MenuRowStyle.h"
#include "support/FakeClock.h"
#include "ui/Fonts.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidgetAction>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const QString longSubtitle = QStringLiteral("Repeat for Shop Assistant Preview on iPhone 15 Pro Max");

MenuRow plainRow(const QString& title) {
    return MenuRow::action(title, "gear", {}, [] {});
}

// A menu of the rows given, laid out (sizeHint lays out the action rectangles) but not shown.
struct LaidOutMenu {
    explicit LaidOutMenu(const MenuRows& rows) {
        MenuRenderer::render(rows, menu);
        menu.ensurePolished();
        size = menu.sizeHint();
    }
    QRect geometry(int index) { return menu.actionGeometry(menu.actions().at(index)); }
    RowMenu menu;
    QSize size;
};

TEST(RowMenuTest, ASubtitleGoesUnderTheTitleAndTheMenuIsAsWideAsItsText) {
    MenuRow withSubtitle = plainRow("Quick Repeat");
    withSubtitle.withSubtitle(longSubtitle);
    LaidOutMenu menu({plainRow("Settings"), withSubtitle});

    EXPECT_GT(menu.geometry(1).height(), menu.geometry(0).height() + 5);
    // The subtitle, not a right-hand column, sets the width: its text plus the icon column and
    // the margins, nothing more.
    const int subtitleWidth = QFontMetrics(Fonts::caption()).horizontalAdvance(longSubtitle);
    EXPECT_GE(menu.geometry(1).width(), subtitleWidth);
    EXPECT_LE(menu.geometry(1).width(), subtitleWidth + 64);
}

TEST(RowMenuTest, ALongSubtitleAndABadgeKeepTheMenuNarrow) {
    MenuRow repeat = plainRow("Quick Repeat");
    repeat.withSubtitle(longSubtitle);
    MenuRow simulators = MenuRow::tool("Simulators", "iphone", std::nullopt, {plainRow("iPhone 15")});
    simulators.withBadge(12);
    LaidOutMenu menu({repeat, simulators, plainRow("Quit Quorvex")});
    EXPECT_LT(menu.size.width(), 480);
    EXPECT_GT(menu.geometry(1).width(), QFontMetrics(menu.menu.font()).horizontalAdvance("Simulators") + 40)
        << "the badge takes room of its own";
}

TEST(RowMenuTest, TheBadgeIsACapsuleImageDrawnAtTheRowsRight) {
    const QImage badge = MenuRowStyle::badgeImage("12", Qt::black);
    ASSERT_FALSE(badge.isNull());
    EXPECT_GT(badge.width(), badge.height()) << "a capsule, wider than tall";
    EXPECT_EQ(qAlpha(badge.pixel(0, 0)), 0) << "rounded ends leave the corners clear";
    EXPECT_GT(qAlpha(badge.pixel(2, badge.height() / 2)), 0);

    MenuRow simulators = MenuRow::tool("Simulators", "iphone", std::nullopt, {plainRow("iPhone 15")});
    simulators.withBadge(12);
    MenuRow without = MenuRow::tool("Simulators", "iphone", std::nullopt, {plainRow("iPhone 15")});
    LaidOutMenu counted({simulators});
    LaidOutMenu plain({without});
    counted.menu.resize(counted.size);
    plain.menu.resize(counted.size);
    const QImage withBadge = counted.menu.grab().toImage();
    const QImage withoutBadge = plain.menu.grab().toImage();
    // Right half of the row: only the arrow in the plain menu, the capsule as well in the other.
    const QRect row = counted.geometry(0);
    int differing = 0;
    for (int x = row.center().x(); x < row.right() - 20; ++x)
        for (int y = row.top(); y < row.bottom(); ++y)
            differing += withBadge.pixel(x, y) != withoutBadge.pixel(x, y);
    EXPECT_GT(differing, 20);
}

TEST(RowMenuTest, ArrowsSkipDisabledRowsAndReturnRunsTheCheckedRow) {
    int fired = 0;
    MenuRow first = plainRow("Show Side Panel");
    first.withSubtitle("Next to Simulator’s window");
    first.checked = true;
    MenuRow disabled = MenuRow::action("Add Host…", "plus", {}, [&] { fired += 100; });
    disabled.withSubtitle("Not available");
    disabled.enabled = false;
    MenuRow last = MenuRow::action("Quit", "power", {}, [&] { fired += 1; });
    last.withBadge(3);
    LaidOutMenu menu({first, disabled, last});
    EXPECT_TRUE(menu.menu.actions().at(0)->isChecked());

    menu.menu.popup(QPoint(0, 0));
    QTest::keyClick(&menu.menu, Qt::Key_Down);
    EXPECT_EQ(menu.menu.activeAction(), menu.menu.actions().at(0));
    QTest::keyClick(&menu.menu, Qt::Key_Down);
    EXPECT_EQ(menu.menu.activeAction(), menu.menu.actions().at(2)) << "the disabled row is stepped over";
    QTest::keyClick(&menu.menu, Qt::Key_Return);
    EXPECT_EQ(fired, 1);
}

TEST(RowMenuTest, ACopyRowTakesItsOwnWidthAndFillsAWiderMenu) {
    test::FakeClock clock;
    MenuRows rows{MenuRow::custom([&clock] {
        return new CopyRowView("Team ID", {"ABCDE12345"}, true, "person.text.rectangle", clock);
    })};
    LaidOutMenu narrow(rows);
    EXPECT_LT(narrow.size.width(), 330) << "no fixed width for a short value";

    MenuRow wide = plainRow("Quick Repeat");
    wide.withSubtitle(longSubtitle);
    rows.push_back(wide);
    LaidOutMenu menu(rows);
    menu.menu.popup(QPoint(0, 0));
    const auto* view = static_cast<QWidgetAction*>(menu.menu.actions().at(0))->defaultWidget();
    EXPECT_EQ(view->width(), menu.geometry(0).width()) << "the copy row and its highlight span the menu";
    EXPECT_EQ(menu.geometry(0).width(), menu.geometry(1).width());
}

// An indented row (an app's location under its group) moves its icon and its text together; with
// leading spaces only the text moved and the icon stayed in the column of the rows above.
TEST(RowMenuTest, AnIndentedRowMovesItsIconAndTitleTogether) {
    // The first column whose colour differs from the row's background, left to right.
    const auto leftmostInk = [](const QImage& image, const QRect& row) {
        const QRgb background = image.pixel(row.right() - 2, row.top() + 1);
        for (int x = row.left() + 1; x < row.right(); ++x)
            for (int y = row.top() + 1; y < row.bottom(); ++y)
                if (image.pixel(x, y) != background)
                    return x - row.left();
        return -1;
    };
    struct Laid {
        int width;
        int ink;
    };
    const auto lay = [&](int level) {
        MenuRow row = plainRow("Documents");
        row.indentation = level;
        LaidOutMenu menu({row});
        menu.menu.resize(menu.size);
        EXPECT_EQ(menu.menu.actions().at(0)->text(), "Documents") << "no spaces stand in for the level";
        return Laid{menu.size.width(), leftmostInk(menu.menu.grab().toImage(), menu.geometry(0))};
    };
    const Laid flat = lay(0);
    const Laid one = lay(1);
    const Laid two = lay(2);
    ASSERT_GE(flat.ink, 0);
    // Within a pixel: the base style and this one round the icon's centre each their own way.
    EXPECT_NEAR(one.ink - flat.ink, MenuRowStyle::indentStep, 1) << "the icon moved with the text";
    EXPECT_EQ(two.ink - one.ink, MenuRowStyle::indentStep);
    EXPECT_EQ(two.width - one.width, MenuRowStyle::indentStep);
}

} // namespace
} // namespace quorvex
