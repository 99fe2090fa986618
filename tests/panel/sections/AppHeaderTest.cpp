#include "panel/sections/AppHeader.h"

#include "panel/sections/AppPanelWorld.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using World = test::AppPanelWorld;

TEST(AppHeaderRulesTest, TheStatusLineSaysRunningElseTheVersionElseTheBundleID) {
    struct Case {
        const char* name;
        std::optional<QString> version;
        std::set<QString> running;
        QString status;
    };
    const std::vector<Case> cases = {
        {"running with a version", QString("2.1 (45)"), {"org.demo.notes"}, "Running"},
        {"a version", QString("2.1 (45)"), {"org.demo.maps"}, "Version 2.1 (45)"},
        {"neither", std::nullopt, {}, "org.demo.notes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AppHeader::statusLine(World::app("org.demo.notes", "Notes", c.version), c.running),
                  c.status);
    }
}

TEST(AppHeaderRulesTest, TheMenuNeedsTwoAppsAndMarksTheRunningOnes) {
    EXPECT_FALSE(AppHeader::offersMenu(0));
    EXPECT_FALSE(AppHeader::offersMenu(1));
    EXPECT_TRUE(AppHeader::offersMenu(2));
    const std::vector<SimulatorApp> apps = {World::app("org.demo.maps", "Maps"),
                                            World::app("org.demo.notes", "Notes")};
    EXPECT_EQ(AppHeader::menuTitles(apps, {"org.demo.notes"}), (QStringList{"Maps", "Notes (running)"}));
    EXPECT_EQ(AppHeader::titleText(std::nullopt), "No App");
    EXPECT_EQ(AppHeader::titleText(apps[0]), "Maps");
}

class AppHeaderTest : public ::testing::Test {
protected:
    QLabel* label(const char* name) const { return m_header->findChild<QLabel*>(name); }
    QAbstractButton* menuButton() const { return m_header->findChild<QAbstractButton*>("appMenu"); }
    bool shown(QWidget* widget) const { return widget->isVisibleTo(m_header.get()); }

    World m_world;
    std::unique_ptr<AppHeader> m_header;
};

TEST_F(AppHeaderTest, OneAppShowsItsNameWithoutAMenu) {
    m_world.apps = {World::app("org.demo.notes", "Notes", QString("1.0"))};
    m_header = std::make_unique<AppHeader>(*m_world.panel, m_world.simulators);
    EXPECT_TRUE(shown(label("appTitle")));
    EXPECT_EQ(label("appTitle")->text(), "Notes");
    EXPECT_FALSE(shown(menuButton()));
    EXPECT_EQ(label("appStatus")->text(), "Version 1.0");
    EXPECT_TRUE(shown(label("appIcon")));
    EXPECT_EQ(label("appIcon")->pixmap().deviceIndependentSize(), QSizeF(30, 30));
}

TEST_F(AppHeaderTest, TwoAppsMakeTheNameAMenuThatSwitchesTheApp) {
    m_world.apps = {World::app("org.demo.maps", "Maps"), World::app("org.demo.notes", "Notes")};
    m_header = std::make_unique<AppHeader>(*m_world.panel, m_world.simulators);
    ASSERT_TRUE(m_world.probe({"org.demo.notes"}));
    ASSERT_TRUE(shown(menuButton()));
    EXPECT_FALSE(shown(label("appTitle")));
    const QString first = m_world.panel->app()->name;
    EXPECT_EQ(menuButton()->text(), first);

    QStringList titles;
    for (QAction* action : m_header->appMenu()->actions())
        titles << action->text();
    EXPECT_EQ(titles, (QStringList{"Maps", "Notes (running)"}));

    m_header->appMenu()->actions()[0]->trigger();
    EXPECT_EQ(m_world.panel->app()->id, "org.demo.maps");
    EXPECT_EQ(menuButton()->text(), "Maps");
    EXPECT_EQ(label("appStatus")->text(), "org.demo.maps");
    m_header->appMenu()->actions()[1]->trigger();
    EXPECT_EQ(m_world.panel->app()->id, "org.demo.notes");
    EXPECT_EQ(label("appStatus")->text(), "Running");
}

TEST_F(AppHeaderTest, NoAppShowsNoIconAndNoStatus) {
    m_header = std::make_unique<AppHeader>(*m_world.panel, m_world.simulators);
    EXPECT_EQ(label("appTitle")->text(), "No App");
    EXPECT_FALSE(shown(label("appIcon")));
    EXPECT_FALSE(shown(label("appStatus")));
}

} // namespace
} // namespace quorvex
