#include "panel/sections/AppActionsSection.h"

#include "panel/sections/AppPanelWorld.h"
#include "panel/sections/MenuFlows.h"
#include "panel/widgets/SettingsRow.h"
#include "support/RecordingWorkspace.h"
#include "windows/ActionWindowsService.h"

#include <QMenu>

#include <gtest/gtest.h>

#include <fstream>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using World = test::AppPanelWorld;

class RecordingWindows final : public ActionWindowsService {
public:
    void openDeepLinkWindow(const SimulatorApp& app) override { calls << "deep link " + app.id; }
    void openPushWindow(const SimulatorApp& app) override { calls << "push " + app.id; }
    void showStatusBarWindow(const std::vector<SimulatorDevice>&, const SimulatorDevice&) override {}
    void screenshot(const QString&, bool) override {}
    QStringList calls;
};

class RecordingMenuFlows final : public MenuFlows {
public:
    QFuture<void> confirmSaveSnapshot(const SimulatorApp& app, const SimulatorInstall& install) override {
        calls << "snapshot " + app.id + " " + install.udid;
        return QtFuture::makeReadyFuture();
    }
    QFuture<void> addSampleMedia(const SimulatorDevice&) override { return QtFuture::makeReadyFuture(); }
    QFuture<void> chooseMediaToAdd(const SimulatorDevice&) override { return QtFuture::makeReadyFuture(); }
    QStringList calls;
};

TEST(AppActionsSectionRulesTest, IndentedEntriesGetAnEmSpaceAndMissingOnesAreGreyedOut) {
    const std::vector<AppDataLocation> locations = {
        {"User Data Sandbox", "person.crop.square", fs::path("/c"), false},
        {"Documents", "folder", fs::path("/c/Documents"), true},
        {"Caches", "folder", fs::path("/c/Library/Caches"), true},
        {"User Defaults", "doc.text", std::nullopt, true},
    };
    const auto entries = AppActionsSection::dataEntries(
        locations, [](const fs::path& path) { return path != fs::path("/c/Library/Caches"); });
    using Entry = AppActionsSection::DataEntry;
    EXPECT_EQ(entries, (std::vector<Entry>{{"User Data Sandbox", true},
                                           {QStringLiteral("\u2003Documents"), true},
                                           {QStringLiteral("\u2003Caches"), false},
                                           {QStringLiteral("\u2003User Defaults"), false}}));
}

class AppActionsSectionTest : public ::testing::Test {
protected:
    void make(MenuFlows* flows) {
        m_section = std::make_unique<AppActionsSection>(*m_world.panel, m_world.panel->app().value(),
                                                        m_windows, flows, m_workspace);
    }
    void click(const char* row) {
        auto* widget = m_section->findChild<SettingsRow*>(row);
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() / 2));
    }

    World m_world;
    RecordingWindows m_windows;
    RecordingMenuFlows m_flows;
    test::RecordingWorkspace m_workspace;
    std::unique_ptr<AppActionsSection> m_section;
};

TEST_F(AppActionsSectionTest, RowsOpenTheAppsWindowsAndSaveASnapshotOfItsInstall) {
    m_world.apps = {World::app("org.demo.notes", "Notes")};
    make(&m_flows);
    click("openURLRow");
    click("pushRow");
    EXPECT_EQ(m_windows.calls, (QStringList{"deep link org.demo.notes", "push org.demo.notes"}));
    click("snapshotRow");
    EXPECT_EQ(m_flows.calls, QStringList{"snapshot org.demo.notes U1"});
}

TEST_F(AppActionsSectionTest, ASnapshotNeedsTheStatusMenuAndAnInstallOnTheTarget) {
    m_world.apps = {World::app("org.demo.notes", "Notes")};
    make(nullptr);
    click("snapshotRow"); // no status menu: nothing, and nothing breaks

    // An app the target simulator does not have (the panel moved on) has no install there.
    SimulatorApp elsewhere = World::app("org.demo.maps", "Maps");
    elsewhere.devices = {"U9"};
    elsewhere.installs[0].udid = "U9";
    m_section =
        std::make_unique<AppActionsSection>(*m_world.panel, elsewhere, m_windows, &m_flows, m_workspace);
    click("snapshotRow");
    EXPECT_TRUE(m_flows.calls.isEmpty());
    emit m_section->dataMenu()->aboutToShow();
    EXPECT_TRUE(m_section->dataMenu()->actions().isEmpty());
}

TEST_F(AppActionsSectionTest, TheDataMenuListsTheFoldersAsTheyAreWhenItOpens) {
    const fs::path container = fs::path(m_world.folder.path().toStdString()) / "container";
    fs::create_directories(container / "Documents");
    m_world.apps = {World::app("org.demo.notes", "Notes", std::nullopt, container)};
    make(&m_flows);
    QMenu* menu = m_section->dataMenu();
    const auto entries = [menu] {
        emit menu->aboutToShow();
        QStringList result;
        for (QAction* action : menu->actions())
            result << (action->isEnabled() ? "" : "(off) ") + action->text();
        return result;
    };
    const QString em = QStringLiteral("\u2003");
    EXPECT_EQ(entries(), (QStringList{"User Data Sandbox", "(off) " + em + "Application Support",
                                      "(off) " + em + "Caches", em + "Documents", "(off) " + em + "Library",
                                      "(off) " + em + "Temp", "(off) " + em + "User Defaults"}));

    fs::create_directories(container / "Library/Caches");
    EXPECT_EQ(entries()[2], em + "Caches") << "a folder made since is offered the next time";

    menu->actions()[3]->trigger();
    ASSERT_EQ(m_workspace.requests().size(), 1u);
    EXPECT_EQ(m_workspace.requests()[0].path, container / "Documents");
}

} // namespace
} // namespace quorvex
