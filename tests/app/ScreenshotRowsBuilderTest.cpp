#include "app/ScreenshotRowsBuilder.h"

#include "app/MenuTestWorld.h"
#include "support/FakeDialogs.h"
#include "support/QtPrinters.h"
#include "tools/Environment.h"
#include "windows/ScreenshotSettings.h"

#include <QSettings>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using test::outline;

void clearScreenshotSettings() {
    for (const QString& key : {ScreenshotSettings::kFrameKey, ScreenshotSettings::kCleanStatusBarKey,
                               ScreenshotSettings::kCopyKey, ScreenshotSettings::kFolderKey})
        sharedDefaults().remove(key);
}

TEST(ScreenshotRowsBuilderTest, ScreenshotSummaryAndOptionsFollowTheStoredSwitches) {
    struct Case {
        const char* name;
        std::map<QString, QVariant> stored;
        QString summary;
        QStringList toggles;
    };
    const std::vector<Case> cases = {
        {"nothing stored: everything on",
         {},
         "Device frame · saved to Desktop · copied",
         {"Device Frame (Around the screen, like the real device) ✓",
          "Clean Status Bar (9:41, full battery and signal) ✓", "Copy to Clipboard ✓"}},
        {"frame and copy off: the folder part takes the capital",
         {{ScreenshotSettings::kFrameKey, false}, {ScreenshotSettings::kCopyKey, false}},
         "Saved to Desktop",
         {"Device Frame (Around the screen, like the real device) ○",
          "Clean Status Bar (9:41, full battery and signal) ✓", "Copy to Clipboard ○"}},
        {"a text where a Boolean belongs reads as on",
         {{ScreenshotSettings::kFrameKey, QStringLiteral("false")},
          {ScreenshotSettings::kFolderKey, "/tmp/Shots"}},
         "Device frame · saved to Shots · copied",
         {"Device Frame (Around the screen, like the real device) ✓",
          "Clean Status Bar (9:41, full battery and signal) ✓", "Copy to Clipboard ✓"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearScreenshotSettings();
        for (const auto& [key, value] : c.stored)
            sharedDefaults().setValue(key, value);
        test::MenuTestWorld world;
        EXPECT_EQ(ScreenshotRowsBuilder(world.neighbours.deviceHub).summary(), c.summary);
        MenuRows rows;
        ScreenshotRowsBuilder(world.neighbours.deviceHub).fillOptions(rows);
        EXPECT_EQ(outline(rows).mid(0, 3), c.toggles);
        // A switch writes the opposite of what it showed, as a Boolean.
        const bool frameShown = *rows[0].checked;
        rows[0].handler();
        const QVariant written = sharedDefaults().value(ScreenshotSettings::kFrameKey);
        EXPECT_EQ(written.typeId(), QMetaType::Bool);
        EXPECT_EQ(written.toBool(), !frameShown);
    }
    clearScreenshotSettings();
}

TEST(ScreenshotRowsBuilderTest, ScreenshotFolderIsChosenInAnOpenPanelAndACancelKeepsIt) {
    clearScreenshotSettings();
    test::FakeDialogs dialogs;
    test::MenuTestWorld world;
    MenuRows rows;
    ScreenshotRowsBuilder(world.neighbours.deviceHub).fillOptions(rows);
    const MenuRow* folder = test::findRow(rows, "Screenshot Folder: Desktop…");
    ASSERT_NE(folder, nullptr);
    folder->handler(); // cancelled
    EXPECT_FALSE(sharedDefaults().contains(ScreenshotSettings::kFolderKey));
    dialogs.queuePanelAnswer({"/tmp/Shots"});
    folder->handler();
    ASSERT_EQ(dialogs.panels().size(), 2u);
    EXPECT_TRUE(dialogs.panels()[1].chooseFolders);
    EXPECT_EQ(dialogs.panels()[1].prompt, "Save Here");
    EXPECT_EQ(ScreenshotSettings::folderDisplayName(), "Shots");
    clearScreenshotSettings();
}

} // namespace
} // namespace quorvex
