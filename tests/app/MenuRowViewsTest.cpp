#include "app/CopyRowView.h"

#include "app/EntitlementRowView.h"
#include "app/PermissionRowView.h"
#include "support/FakeClock.h"
#include "ui/Palette.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QWidgetAction>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace quorvex {
namespace {

TEST(CopyRowViewTest, AClickCopiesEveryValueAndShowsCopiedUntilTheClockRestoresTheFirstValue) {
    test::FakeClock clock;
    CopyRowView row("App Groups", {"group.a", "group.b", "group.c"}, true, "person.crop.square", clock);
    EXPECT_EQ(row.height(), 22 + 17 * 2);
    EXPECT_EQ(row.toolTip(), "group.a\ngroup.b\ngroup.c");
    QApplication::clipboard()->clear();

    QTest::mouseClick(&row, Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_EQ(QApplication::clipboard()->text(), "group.a\ngroup.b\ngroup.c");
    EXPECT_EQ(row.valueText(0), "Copied");
    EXPECT_EQ(row.iconTint(), Palette::green());
    clock.advance(1.0);
    QTest::mouseClick(&row, Qt::LeftButton, {}, QPoint(100, 10)); // a second copy restarts the period
    clock.advance(1.0);
    EXPECT_EQ(row.valueText(0), "Copied") << "the first click's restore gave way to the second's";
    clock.advance(0.3);
    EXPECT_EQ(row.valueText(0), "group.a");
    EXPECT_NE(row.iconTint(), Palette::green());
}

TEST(CopyRowViewTest, ARowWithoutValuesHasOneEmptyLineAndANonCopyableRowIgnoresClicks) {
    test::FakeClock clock;
    CopyRowView row("Team ID", {}, false, "person.text.rectangle", clock);
    EXPECT_EQ(row.height(), 22);
    EXPECT_EQ(row.values(), QStringList{QString()});
    EXPECT_TRUE(row.toolTip().isEmpty());
    QApplication::clipboard()->setText("before");
    QTest::mouseClick(&row, Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_EQ(QApplication::clipboard()->text(), "before");
    EXPECT_EQ(clock.pendingCount(), 0u);
    EXPECT_FALSE(row.isHighlighted());
}

TEST(CopyRowViewTest, TheRowIsHighlightedWhileTheMenuGivesItTheKeyboardOrThePointerIsOverIt) {
    test::FakeClock clock;
    QMenu menu;
    auto* row = new CopyRowView("Bundle ID", {"com.demo.maps"}, true, "tag", clock);
    auto* action = new QWidgetAction(&menu);
    action->setDefaultWidget(row);
    menu.addAction(new QAction("Before", &menu));
    menu.addAction(action);
    menu.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    EXPECT_FALSE(row->isHighlighted());
    const QColor plain = row->titleColor();

    row->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(row->isHighlighted());
    EXPECT_EQ(row->titleColor(), row->palette().color(QPalette::HighlightedText));
    EXPECT_NE(row->titleColor(), plain);
    row->clearFocus();
    EXPECT_FALSE(row->isHighlighted());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(row, &enter);
    EXPECT_TRUE(row->isHighlighted());
    EXPECT_EQ(menu.activeAction(), action) << "the pointer makes it the menu's active row";
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(row, &leave);
    EXPECT_FALSE(row->isHighlighted() && !row->hasFocus());
}

TEST(EntitlementRowViewTest, ShowsTwelveValuesAndCountsTheRest) {
    test::FakeClock clock;
    QStringList values;
    for (int i = 1; i <= 15; ++i)
        values << QString("group.demo.%1").arg(i);
    EntitlementRowView many(
        AppDetails::Entitlement{"com.apple.security.application-groups", "App Groups", values}, clock);
    const QStringList lines = many.lineTexts();
    ASSERT_EQ(lines.size(), 2 + 12 + 1);
    EXPECT_EQ(lines[0], "App Groups");
    EXPECT_EQ(lines[2], "•  group.demo.1");
    EXPECT_EQ(lines[13], "•  group.demo.12");
    EXPECT_EQ(lines[14], "…and 3 more");
    EXPECT_EQ(many.toolTip(), "Click to copy");

    EntitlementRowView one(AppDetails::Entitlement{"aps-environment", "Push Notifications", {"development"}},
                           clock);
    EXPECT_EQ(one.lineTexts(), QStringList({"Push Notifications", "aps-environment", "development"}));
    EXPECT_EQ(one.copyText(), "aps-environment = development");
    QTest::mouseClick(&one, Qt::LeftButton, {}, QPoint(40, 8));
    EXPECT_EQ(QApplication::clipboard()->text(), "aps-environment = development");
    EXPECT_EQ(one.lineTexts().first(), "Copied ✓");
    clock.advance(EntitlementRowView::kCopiedDuration);
    EXPECT_EQ(one.lineTexts().first(), "Push Notifications");
}

// The colour that most opaque pixels of a button's icon have, and how many there are.
struct IconInk {
    QColor color;
    int pixels = 0;
};

IconInk iconInk(QAbstractButton* button) {
    const QImage image = button->icon().pixmap(QSize(15, 15), 2.0).toImage();
    std::map<QRgb, int> counts;
    IconInk ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200) {
                ++ink.pixels;
                ++counts[image.pixel(x, y) | 0xff000000u];
            }
    if (!counts.empty())
        ink.color = QColor::fromRgb(std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                                        return a.second < b.second;
                                    })->first);
    return ink;
}

TEST(PermissionRowViewTest, TheRecordedActionShowsFilledInItsColourAndTheOthersAsOutlines) {
    struct Case {
        std::optional<PermissionAction> state;
        QStringList symbols;
    };
    const Case cases[] = {
        {std::nullopt, {"checkmark.circle", "xmark.circle", "arrow.counterclockwise.circle"}},
        {PermissionAction::grant, {"checkmark.circle.fill", "xmark.circle", "arrow.counterclockwise.circle"}},
        {PermissionAction::revoke,
         {"checkmark.circle", "xmark.circle.fill", "arrow.counterclockwise.circle"}},
        {PermissionAction::reset, {"checkmark.circle", "xmark.circle", "arrow.counterclockwise.circle.fill"}},
    };
    const QColor colours[] = {Palette::green(), Palette::red(), Palette::blue()};
    PermissionRowView row("Camera", "camera", std::nullopt, [](PermissionAction) {});
    EXPECT_EQ(row.size(), QSize(300, 26));
    ASSERT_EQ(row.buttons().size(), 3);
    const IconInk outline = iconInk(row.buttons()[2]);
    for (const Case& c : cases) {
        row.setState(c.state);
        for (int tag = 0; tag < 3; ++tag) {
            SCOPED_TRACE(c.symbols[tag].toStdString());
            QAbstractButton* button = row.buttons()[tag];
            const auto action = static_cast<PermissionAction>(tag);
            EXPECT_EQ(row.shownSymbol(action), c.symbols[tag]);
            EXPECT_EQ(button->toolTip(), QStringList({"Grant", "Revoke", "Reset"})[tag]);
            EXPECT_EQ(button->accessibleName(), button->toolTip());
            EXPECT_FALSE(button->isCheckable()) << "the state is in the symbol, not a pressed look";
            const IconInk ink = iconInk(button);
            if (c.state == action) {
                EXPECT_EQ(ink.color.rgb(), colours[tag].rgb());
                EXPECT_EQ(button->accessibleDescription(), "Applied last");
            } else {
                EXPECT_EQ(ink.color.rgb(), row.palette().color(QPalette::PlaceholderText).rgb());
                EXPECT_TRUE(button->accessibleDescription().isEmpty());
            }
        }
    }
    // The reset symbol has no filled icon of its own: the filled one is still a solid disc.
    EXPECT_GT(iconInk(row.buttons()[2]).pixels, 2 * outline.pixels);
}

TEST(PermissionRowViewTest, EachButtonPerformsTheActionOfItsTagAndTheKeyboardMovesAFocusRing) {
    std::vector<PermissionAction> performed;
    PermissionRowView row("Camera", "camera", PermissionAction::revoke,
                          [&](PermissionAction action) { performed.push_back(action); });
    for (QAbstractButton* button : row.buttons())
        button->click();
    EXPECT_EQ(performed, std::vector<PermissionAction>(
                             {PermissionAction::grant, PermissionAction::revoke, PermissionAction::reset}));
    EXPECT_EQ(row.state(), PermissionAction::revoke)
        << "the recorded state comes from the model, not the click";
    performed.clear();
    QLabel* title = row.findChild<QLabel*>("title");
    QTest::mouseClick(&row, Qt::LeftButton, {}, title->geometry().center());
    EXPECT_TRUE(performed.empty()) << "a click on the title changes no permission";

    performed.clear();
    row.show();
    QApplication::setActiveWindow(&row);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&row));
    // Whatever focus showing gave it, the keyboard takes over now.
    row.clearFocus();
    row.setFocus(Qt::TabFocusReason);
    EXPECT_EQ(row.focusRingButton(), 0);
    QTest::keyClick(&row, Qt::Key_Right);
    QTest::keyClick(&row, Qt::Key_Right);
    EXPECT_EQ(row.focusRingButton(), 2);
    for (QAbstractButton* button : row.buttons())
        EXPECT_FALSE(button->isDown()) << "the keyboard's choice is a ring, never a pressed button";
    QTest::keyClick(&row, Qt::Key_Right);
    QTest::keyClick(&row, Qt::Key_Left);
    QTest::keyClick(&row, Qt::Key_Return);
    row.tapped(7); // no such tag: nothing
    EXPECT_EQ(performed, std::vector<PermissionAction>{PermissionAction::reset});

    // The pointer's focus highlights the row but draws no ring.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&row, &enter);
    EXPECT_TRUE(row.isHighlighted());
    EXPECT_EQ(row.focusRingButton(), -1);
}

TEST(PermissionRowViewTest, ClickingOneRowAndMovingToTheNextLeavesOnlyTheNextHighlighted) {
    QMenu menu;
    std::vector<PermissionRowView*> rows;
    int clicks = 0;
    for (const char* title : {"Camera", "Contacts", "Photos"}) {
        auto* row = new PermissionRowView(title, "camera", std::nullopt, [&](PermissionAction) { ++clicks; });
        auto* action = new QWidgetAction(&menu);
        action->setDefaultWidget(row);
        menu.addAction(action);
        rows.push_back(row);
    }
    menu.popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    // Through the window, as the pointer does: Qt then finds the row under it and sends the
    // enter and leave events itself.
    QWindow* window = menu.windowHandle();
    auto highlighted = [&] {
        QList<int> result;
        for (int i = 0; i < int(rows.size()); ++i)
            if (rows[i]->isHighlighted())
                result << i;
        return result;
    };
    auto pointAt = [&](QWidget* widget) { return widget->mapTo(&menu, widget->rect().center()); };

    QTest::mouseMove(window, pointAt(rows[0]));
    EXPECT_EQ(highlighted(), QList<int>{0});
    QAbstractButton* grant = rows[0]->buttons()[0];
    QTest::mouseMove(window, pointAt(grant));
    QTest::mouseClick(window, Qt::LeftButton, {}, pointAt(grant));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(highlighted(), QList<int>{0}) << "the row under the pointer stays highlighted after a click";

    QTest::mouseMove(window, pointAt(rows[1]));
    EXPECT_EQ(highlighted(), QList<int>{1}) << "moving on takes the highlight along";
    for (QAbstractButton* button : rows[0]->buttons())
        EXPECT_FALSE(button->isDown());

    // The arrows take over from the row under the pointer: still one highlighted row.
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_EQ(highlighted(), QList<int>{0}) << "the row under the pointer gives the highlight up";
    QTest::mouseMove(window, pointAt(rows[1]) + QPoint(0, 2));
    EXPECT_EQ(highlighted(), QList<int>{1}) << "moving the pointer takes it back";

    // Leaving every row clears the highlight.
    QTest::mouseMove(window, QPoint(menu.width() / 2, menu.height() + 40));
    EXPECT_EQ(highlighted(), QList<int>{});

    // The arrows still reach the menu from there (it had no current row left, so Up comes in
    // from the bottom) instead of closing it.
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(highlighted(), QList<int>{2});
    EXPECT_EQ(rows[2]->focusRingButton(), 0) << "reached by the keyboard: the ring shows";
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(clicks, 2) << "Return presses the ringed button";
}

} // namespace
} // namespace quorvex
