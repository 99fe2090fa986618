#include "app/MenuRenderer.h"
#include "app/RowMenu.h"

#include <QMenu>
#include <QWidgetAction>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

QAction* actionTitled(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

TEST(MenuRendererTest, EveryKindOfRowBecomesItsMenuItem) {
    int fired = 0;
    MenuRows rows;
    rows.push_back(MenuRow::header("Tools"));
    rows.push_back(MenuRow::info("Nothing here", "info.circle"));
    rows.push_back(
        MenuRow::tool("Simulators", "iphone.gen3", Qt::blue, {MenuRow::action("Inner", "", {}, {})}));
    rows.back().withBadge(3);
    rows.push_back(MenuRow::separator());
    MenuRow toggle = MenuRow::action("Show Side Panel", "sidebar.right", Qt::cyan, [&] { ++fired; });
    toggle.checked = true;
    toggle.withSubtitle("Next to Simulator’s window");
    rows.push_back(toggle);
    MenuRow quit = MenuRow::action("Quit & Leave", "power", {}, [&] { fired += 10; });
    quit.shortcut = QKeySequence(Qt::CTRL | Qt::Key_Q);
    quit.withSubtitle("ignored next to a key");
    rows.push_back(quit);
    MenuRow disabled = MenuRow::action("Add Host…", "plus", {}, [&] { fired += 100; });
    disabled.enabled = false;
    rows.push_back(disabled);
    rows.push_back(MenuRow::custom([] {
        auto* view = new QWidget;
        view->setObjectName("customRow");
        return view;
    }));

    QMenu menu;
    MenuRenderer::render(rows, menu);
    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 8);
    EXPECT_TRUE(qobject_cast<QWidgetAction*>(actions[0]) && !actions[0]->isEnabled());
    EXPECT_TRUE(qobject_cast<QWidgetAction*>(actions[1]) && !actions[1]->isEnabled());
    ASSERT_NE(actions[2]->menu(), nullptr);
    EXPECT_EQ(actions[2]->text(), "Simulators");
    EXPECT_EQ(actions[2]->property(RowMenu::badgeProperty).toString(), "3");
    EXPECT_EQ(actions[2]->menu()->actions().size(), 1);
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[4]->text(), "Show Side Panel");
    EXPECT_EQ(actions[4]->property(RowMenu::subtitleProperty).toString(), "Next to Simulator’s window");
    EXPECT_TRUE(actions[4]->isCheckable() && actions[4]->isChecked());
    EXPECT_EQ(actions[5]->text(), "Quit && Leave") << "an ampersand is no mnemonic";
    EXPECT_EQ(actions[5]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_FALSE(actions[6]->isEnabled());
    EXPECT_EQ(static_cast<QWidgetAction*>(actions[7])->defaultWidget()->objectName(), "customRow");

    actions[4]->trigger();
    actions[5]->trigger();
    actions[6]->trigger(); // disabled: Qt does not fire it
    EXPECT_EQ(fired, 11);
}

TEST(MenuRendererTest, ALazySubmenuIsFilledAtItsFirstOpeningOnlyAndNotAfterItsFillerIsGone) {
    int builds = 0;
    auto filler = std::make_shared<LazySubmenuFiller>([&](MenuRows& rows) {
        ++builds;
        rows.push_back(MenuRow::action("Launch", "play.fill", {}, {}));
    });
    QMenu menu;
    MenuRenderer::render({MenuRow::lazy("Maps Demo", filler)}, menu);
    QMenu* submenu = actionTitled(menu, "Maps Demo")->menu();
    ASSERT_NE(submenu, nullptr);
    EXPECT_TRUE(submenu->actions().isEmpty());
    emit submenu->aboutToShow();
    emit submenu->aboutToShow();
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(submenu->actions().size(), 1);
    EXPECT_TRUE(filler->hasFilled());

    auto unused = std::make_shared<LazySubmenuFiller>([&](MenuRows&) { ++builds; });
    QMenu other;
    MenuRenderer::render({MenuRow::lazy("Notes", unused)}, other);
    unused.reset(); // the controller dropped its fillers (a rebuild)
    emit other.actions().front()->menu()->aboutToShow();
    EXPECT_EQ(builds, 1);
}

TEST(MenuRendererTest, ActionItemsAndPopupActionsRunTheirClosures) {
    int runs = 0;
    ActionItem item("Go", [&] { ++runs; });
    item.trigger();
    item.fire();
    PopupAction popup([&] { runs += 10; });
    popup.fire();
    EXPECT_EQ(runs, 12);
    ActionItem empty("Nothing", {});
    empty.fire(); // no handler, no crash
}

} // namespace
} // namespace quorvex
