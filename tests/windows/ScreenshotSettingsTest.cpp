#include "windows/ScreenshotSettings.h"

#include "support/FakeDialogs.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>

#include <fstream>

using namespace quorvex;

namespace {

void clearSettings() {
    for (const QString& key : {ScreenshotSettings::kFrameKey, ScreenshotSettings::kCleanStatusBarKey,
                               ScreenshotSettings::kCopyKey, ScreenshotSettings::kFolderKey})
        sharedDefaults().remove(key);
}

QDateTime morning() {
    return QDateTime(QDate(2026, 12, 9), QTime(9, 5, 7));
}

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(ScreenshotSettingsTest, NothingStoredMeansDesktopAndEverySwitchOn) {
    clearSettings();
    EXPECT_EQ(ScreenshotSettings::folder(), homeDirectoryURL() / "Desktop");
    EXPECT_TRUE(ScreenshotSettings::frame());
    EXPECT_TRUE(ScreenshotSettings::cleanStatusBar());
    EXPECT_TRUE(ScreenshotSettings::copyToClipboard());

    sharedDefaults().setValue(ScreenshotSettings::kFrameKey, false);
    sharedDefaults().setValue(ScreenshotSettings::kCopyKey, QStringLiteral("false")); // not a Boolean
    sharedDefaults().setValue(ScreenshotSettings::kFolderKey, QStringLiteral("/nowhere/Shots"));
    EXPECT_FALSE(ScreenshotSettings::frame());
    EXPECT_TRUE(ScreenshotSettings::copyToClipboard());
    EXPECT_EQ(ScreenshotSettings::folder(), std::filesystem::path("/nowhere/Shots"));
    clearSettings();
}

TEST(ScreenshotSettingsTest, ChosenFolderIsStoredAndACancelKeepsTheOldOne) {
    clearSettings();
    test::FakeDialogs dialogs;
    ScreenshotSettings::chooseFolder();
    EXPECT_FALSE(sharedDefaults().contains(ScreenshotSettings::kFolderKey));
    dialogs.queuePanelAnswer({"/tmp/New Shots"});
    ScreenshotSettings::chooseFolder();
    EXPECT_EQ(ScreenshotSettings::folder(), std::filesystem::path("/tmp/New Shots"));
    ASSERT_EQ(dialogs.panels().size(), 2u);
    EXPECT_EQ(dialogs.panels()[1].prompt, "Save Here");
    EXPECT_TRUE(dialogs.panels()[1].chooseFolders);
    clearSettings();
}

TEST(ScreenshotSettingsTest, FileNamesFollowTheDeviceAndTheTime) {
    struct Case {
        QString device;
        QString name;
    };
    const std::vector<Case> cases = {
        {"Test Phone", "Screenshot Test Phone 09.12.2026 at 09.05.07.png"},
        {"A/B:C", "Screenshot A-B-C 09.12.2026 at 09.05.07.png"},
        {"A\\B", "Screenshot A-B 09.12.2026 at 09.05.07.png"},
        {"///", "Screenshot --- 09.12.2026 at 09.05.07.png"}, // a dash is no whitespace
        {"   ", "Screenshot Device 09.12.2026 at 09.05.07.png"},
        {" \t", "Screenshot Device 09.12.2026 at 09.05.07.png"},
        {"", "Screenshot Device 09.12.2026 at 09.05.07.png"},
        {"  Pad ", "Screenshot   Pad  09.12.2026 at 09.05.07.png"}, // spaces are kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device.toStdString());
        EXPECT_EQ(ScreenshotSettings::fileName(c.device, morning(), 1), c.name);
    }
    EXPECT_EQ(ScreenshotSettings::timestamp(QDateTime(QDate(2026, 1, 2), QTime(23, 4, 5))),
              "02.01.2026 at 23.04.05");
    EXPECT_EQ(ScreenshotSettings::fileName("X", morning(), 3), "Screenshot X 09.12.2026 at 09.05.07 3.png");
}

TEST(ScreenshotSettingsTest, TakenNamesGetTwoThenThree) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const auto name = [&](int n) {
        return folder / ScreenshotSettings::fileName("Test Phone", morning(), n).toStdString();
    };
    EXPECT_EQ(ScreenshotSettings::fileURL("Test Phone", morning(), folder), name(1));
    EXPECT_FALSE(std::filesystem::exists(name(1))) << "naming creates nothing";
    std::ofstream(name(1)) << "x";
    EXPECT_EQ(ScreenshotSettings::fileURL("Test Phone", morning(), folder), name(2));
    std::ofstream(name(2)) << "x";
    EXPECT_EQ(ScreenshotSettings::fileURL("Test Phone", morning(), folder), name(3));
    EXPECT_EQ(name(2).filename().string(), "Screenshot Test Phone 09.12.2026 at 09.05.07 2.png");
}

TEST(ScreenshotSettingsTest, TwoShotsInOneSecondNeverOverwriteEachOther) {
    QTemporaryDir dir;
    const std::filesystem::path folder = std::filesystem::path(dir.path().toStdString()) / "new" / "Shots";
    // Both names are worked out before either is written, as two quick screenshots would.
    const auto planned = ScreenshotSettings::fileURL("Test Phone", morning(), folder);
    EXPECT_EQ(ScreenshotSettings::fileURL("Test Phone", morning(), folder), planned);

    const auto first = ScreenshotSettings::writeNewFile("first", "Test Phone", morning(), folder);
    const auto second = ScreenshotSettings::writeNewFile("second", "Test Phone", morning(), folder);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(*first, planned);
    EXPECT_EQ(second->filename().string(), "Screenshot Test Phone 09.12.2026 at 09.05.07 2.png");
    EXPECT_EQ(readAll(*first), "first");
    EXPECT_EQ(readAll(*second), "second");

    // A dangling link holds its name too: nothing is written through it.
    const auto third = folder / ScreenshotSettings::fileName("Test Phone", morning(), 3).toStdString();
    std::filesystem::create_symlink(folder / "elsewhere.png", third);
    const auto fourth = ScreenshotSettings::writeNewFile("fourth", "Test Phone", morning(), folder);
    ASSERT_TRUE(fourth);
    EXPECT_EQ(fourth->filename().string(), "Screenshot Test Phone 09.12.2026 at 09.05.07 4.png");
    EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere.png"));
}

TEST(ScreenshotSettingsTest, AFolderThatCannotBeMadeWritesNothing) {
    QTemporaryDir dir;
    const std::filesystem::path blocker = std::filesystem::path(dir.path().toStdString()) / "file";
    std::ofstream(blocker) << "x";
    EXPECT_FALSE(ScreenshotSettings::writeNewFile("png", "Phone", morning(), blocker / "Shots"));
}
