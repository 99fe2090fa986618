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

#include <gtest/gtest.h>

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
    QTest::keyClick(&row, Qt::Key_Return); // a second copy restarts the period
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

TEST(PermissionRowViewTest, EachButtonPerformsTheActionOfItsTagAndTheLastActionIsChecked) {
    std::vector<PermissionAction> performed;
    PermissionRowView row("Camera", "camera", PermissionAction::revoke,
                          [&](PermissionAction action) { performed.push_back(action); });
    ASSERT_EQ(row.buttons().size(), 3);
    EXPECT_TRUE(row.buttons()[1]->isChecked());
    EXPECT_FALSE(row.buttons()[0]->isChecked());
    QStringList titles;
    for (QAbstractButton* button : row.buttons()) {
        titles << button->text();
        button->click();
    }
    EXPECT_EQ(titles, QStringList({"Grant", "Revoke", "Reset"}));
    EXPECT_EQ(performed, std::vector<PermissionAction>(
                             {PermissionAction::grant, PermissionAction::revoke, PermissionAction::reset}));
    EXPECT_EQ(row.buttons()[0]->property("tag").toInt(), 0);
    EXPECT_TRUE(row.buttons()[2]->isChecked()) << "the button pressed last is the current choice";
    EXPECT_FALSE(row.buttons()[1]->isChecked());

    performed.clear();
    row.setFocus();
    QTest::keyClick(&row, Qt::Key_Right);
    QTest::keyClick(&row, Qt::Key_Right);
    QTest::keyClick(&row, Qt::Key_Return);
    row.tapped(7); // no such tag: nothing
    EXPECT_EQ(performed, std::vector<PermissionAction>{PermissionAction::reset});
}

TEST(PermissionRowViewTest, OnlyOneRowIsHighlightedAndLeavingARowClearsIt) {
    QMenu menu;
    std::vector<PermissionRowView*> rows;
    for (const char* title : {"Camera", "Contacts"}) {
        auto* row = new PermissionRowView(title, "camera", std::nullopt, [](PermissionAction) {});
        auto* action = new QWidgetAction(&menu);
        action->setDefaultWidget(row);
        menu.addAction(action);
        rows.push_back(row);
    }
    menu.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    // The pointer over the first row, which a click left with the keyboard focus.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(rows[0], &enter);
    rows[0]->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(rows[0]->isHighlighted());

    // The pointer moves on to the next row.
    QEvent leaveFirst(QEvent::Leave);
    QApplication::sendEvent(rows[0], &leaveFirst);
    QApplication::sendEvent(rows[1], &enter);
    EXPECT_TRUE(rows[1]->isHighlighted());
    EXPECT_FALSE(rows[0]->isHighlighted()) << "moving on takes the highlight along";

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(rows[1], &leave);
    EXPECT_FALSE(rows[1]->isHighlighted());
    EXPECT_FALSE(rows[0]->isHighlighted());
}

} // namespace
} // namespace quorvex
