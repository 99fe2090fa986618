#include "panel/sections/ScreenshotOptions.h"

#include "panel/sections/PanelViewWorld.h"
#include "support/FakeDialogs.h"
#include "tools/Environment.h"
#include "windows/ScreenshotSettings.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

struct ScreenshotOptionsFixture : ::testing::Test {
    test::PanelViewWorld world;
    void SetUp() override {
        for (const QString& key : {ScreenshotSettings::kFrameKey, ScreenshotSettings::kCleanStatusBarKey,
                                   ScreenshotSettings::kCopyKey, ScreenshotSettings::kFolderKey})
            sharedDefaults().remove(key);
    }
    static QAction* action(QMenu& menu, const QString& text) {
        for (QAction* candidate : menu.actions())
            if (candidate->text() == text)
                return candidate;
        return nullptr;
    }
};

TEST_F(ScreenshotOptionsFixture, AFreshInstallShowsEverySwitchOnAndTheDesktop) {
    ScreenshotOptions menu(*world.services);
    QStringList texts;
    for (QAction* item : menu.actions())
        texts << (item->isSeparator() ? QStringLiteral("—") : item->text());
    EXPECT_EQ(texts, (QStringList{"Take Screenshot", "Copy Screenshot", "—", "Device Frame",
                                  "Clean Status Bar", "Copy to Clipboard", "—", "Screenshot Folder: Desktop…",
                                  "Show Screenshots in File Manager"}));
    for (const char* name : {"Device Frame", "Clean Status Bar", "Copy to Clipboard"}) {
        ASSERT_TRUE(action(menu, name)->isCheckable());
        EXPECT_TRUE(action(menu, name)->isChecked()) << name;
    }
}

TEST_F(ScreenshotOptionsFixture, SwitchesWriteBooleansThatTheNextOpeningShows) {
    sharedDefaults().setValue(ScreenshotSettings::kCleanStatusBarKey, QStringLiteral("yes please"));
    ScreenshotOptions menu(*world.services);
    EXPECT_TRUE(action(menu, "Clean Status Bar")->isChecked()) << "a value of another type reads as on";
    action(menu, "Copy to Clipboard")->trigger();
    EXPECT_EQ(sharedDefaults().value(ScreenshotSettings::kCopyKey), QVariant(false));
    action(menu, "Clean Status Bar")->trigger();
    action(menu, "Clean Status Bar")->trigger();
    EXPECT_EQ(sharedDefaults().value(ScreenshotSettings::kCleanStatusBarKey), QVariant(true))
        << "switching replaced the text with a Boolean";
    EXPECT_FALSE(ScreenshotSettings::copyToClipboard());

    menu.rebuild();
    EXPECT_FALSE(action(menu, "Copy to Clipboard")->isChecked());
    EXPECT_TRUE(action(menu, "Device Frame")->isChecked());
}

TEST_F(ScreenshotOptionsFixture, TheCommandsTakeAndCopyAndTheFolderCanBeChosenAndOpened) {
    test::FakeDialogs dialogs;
    ScreenshotOptions menu(*world.services);
    action(menu, "Take Screenshot")->trigger();
    action(menu, "Copy Screenshot")->trigger();
    EXPECT_EQ(world.screenshots, (std::vector<bool>{false, true}));

    const std::filesystem::path chosen = std::filesystem::path(world.folder.path().toStdString()) / "Shots";
    dialogs.queuePanelAnswer({chosen});
    action(menu, "Screenshot Folder: Desktop…")->trigger();
    menu.rebuild();
    ASSERT_NE(action(menu, "Screenshot Folder: Shots…"), nullptr);
    action(menu, "Show Screenshots in File Manager")->trigger();
    ASSERT_EQ(world.workspace.requests().size(), 1u);
    EXPECT_EQ(world.workspace.requests().front().path, chosen);
    EXPECT_FALSE(std::filesystem::exists(chosen)) << "opening does not make the folder";
}

} // namespace
} // namespace quorvex
