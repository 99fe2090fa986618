#include "devices/flows/DeviceFlows.h"

#include "devices/core/DeviceContainerWorld.h"
#include "devices/core/DeviceSnapshotStore.h"
#include "devices/core/PhysicalDevices.h"
#include "storage/files/Cleanup.h"
#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "support/QtPrinters.h"
#include "support/RecordingWorkspace.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"
#include "ui/ByteCountFormatter.h"
#include "windows/ChromeFixture.h"
#include "windows/DeviceScreen.h"
#include "windows/DeviceScreenshot.h"
#include "windows/ScreenshotSettings.h"
#include "windows/ScreenshotThumbnail.h"

#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const PhysicalDevice& kDevice = test::kContainerDevice;
const DeviceApp& kApp = test::kContainerApp;

Args copyFrom() {
    return test::containerCopyFromArgs();
}

class DeviceFlowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_container = fs::path(m_folder.path().toStdString()) / "container";
        fs::create_directories(m_container / "Documents");
        std::ofstream(m_container / "Documents/notes.txt") << std::string(3000, 'x');
        sharedDefaults().setValue(ScreenshotSettings::kFolderKey, QString::fromStdString(m_shots.string()));
        sharedDefaults().setValue(ScreenshotSettings::kCleanStatusBarKey, false);
        sharedDefaults().setValue(ScreenshotSettings::kCopyKey, false);
    }
    void TearDown() override {
        for (const QString& key : {ScreenshotSettings::kFolderKey, ScreenshotSettings::kCleanStatusBarKey,
                                   ScreenshotSettings::kCopyKey})
            sharedDefaults().remove(key);
        Cleanup::shared().setWorking(false);
        fs::remove_all(DeviceSnapshot::rootFolder());
        fs::remove_all(homeDirectoryURL() / "Downloads");
    }
    void deviceCopiesOut() {
        m_xcrun.rule({{"args", copyFrom()}, {"effects", {{{"copy", {m_container.string(), 13}}}}}});
    }
    // Waits for the asynchronous flow that was just started.
    bool finished(QSignalSpy& spy) { return spy.count() > 0 || spy.wait(20'000); }

    QTemporaryDir m_folder;
    fs::path m_container;
    test::FakeXcrun m_xcrun;
    test::FakeDialogs m_dialogs;
    test::ToastLog m_toasts;
    test::RecordingWorkspace m_workspace;
    test::FakeClock m_clock;
    PhysicalDevices m_inventory{m_clock};
    test::FakeClipboard m_clipboard;
    ScreenshotThumbnail m_thumbnail{m_clock, m_workspace};
    DeviceScreenshot m_screenshots{m_clock, m_clipboard, DeviceScreenshot::systemTools(m_thumbnail)};
    DeviceFlows m_flows{m_inventory, m_screenshots, m_workspace};
    fs::path m_shots = fs::path(m_folder.path().toStdString()) / "shots";
};

TEST_F(DeviceFlowsTest, SaveReportsTheSizeAndFailuresAndAlwaysClearsTheBusyFlag) {
    QSignalSpy spy(&m_flows, &DeviceFlows::flowFinished);
    deviceCopiesOut();
    const QFuture<void> flow = m_flows.saveSnapshotFlow(kDevice, kApp, "First");
    EXPECT_TRUE(Cleanup::shared().isWorking());
    EXPECT_FALSE(flow.isFinished());
    ASSERT_TRUE(finished(spy));
    EXPECT_TRUE(flow.isFinished()) << "the flow's future ends with its toast";
    EXPECT_FALSE(Cleanup::shared().isWorking());
    const auto snapshots = DeviceSnapshot::list("com.demo.maps");
    ASSERT_EQ(snapshots.size(), 1u);
    EXPECT_EQ(m_toasts.messages().back(),
              (ToastMessage{"Saved “First”", ByteCountFormatter::file(snapshots[0].size),
                            "clock.arrow.circlepath", false}));

    spy.clear();
    m_xcrun.clearRules();
    m_flows.saveSnapshotFlow(kDevice, kApp, "Second");
    ASSERT_TRUE(finished(spy));
    EXPECT_FALSE(Cleanup::shared().isWorking());
    EXPECT_EQ(m_toasts.messages().back(),
              (ToastMessage{"Couldn’t save the snapshot",
                            QStringLiteral("Couldn’t copy the app’s data from Ana’s iPhone."),
                            "exclamationmark.triangle", true}));
}

TEST_F(DeviceFlowsTest, LongTasksWaitForEachOther) {
    Cleanup::shared().setWorking(true);
    const DeviceSnapshot snapshot{
        QUuid::createUuid(), "S", "com.demo.maps", "Ana’s iPhone", QDateTime::currentDateTimeUtc(), 0, {}};
    // Refused flows end at once, so a caller waiting for its flow is not left busy.
    EXPECT_TRUE(m_flows.saveSnapshotFlow(kDevice, kApp, "x").isFinished());
    EXPECT_TRUE(m_flows.restoreSnapshotFlow(snapshot, kApp, kDevice).isFinished());
    EXPECT_TRUE(m_flows.downloadAppDataFlow(kDevice, kApp).isFinished());
    ASSERT_EQ(m_toasts.messages().size(), 3u);
    for (const ToastMessage& message : m_toasts.messages())
        EXPECT_EQ(message, (ToastMessage{Cleanup::kBusyTitle, Cleanup::kBusyDetail, "hourglass", true}));
    EXPECT_TRUE(m_xcrun.calls().empty());
    EXPECT_TRUE(Cleanup::shared().isWorking());
}

TEST_F(DeviceFlowsTest, RestoreToastsByOutcome) {
    deviceCopiesOut();
    const DeviceSnapshot saved = DeviceSnapshotStore::save("com.demo.maps", kDevice, "Clean");
    QSignalSpy spy(&m_flows, &DeviceFlows::flowFinished);
    m_xcrun.on({"devicectl", "device", "copy", "to", "**"});
    m_flows.restoreSnapshotFlow(saved, kApp, kDevice);
    ASSERT_TRUE(finished(spy));
    EXPECT_EQ(m_toasts.messages().back(),
              (ToastMessage{"Restored “Clean”", QStringLiteral("Open Maps to see it."),
                            "arrow.uturn.backward.circle", false}));

    spy.clear();
    m_xcrun.clearRules();
    m_flows.restoreSnapshotFlow(saved, kApp, kDevice);
    ASSERT_TRUE(finished(spy));
    EXPECT_EQ(m_toasts.messages().back().detail,
              "Nothing was changed. Is Ana’s iPhone unlocked and connected?");
    EXPECT_FALSE(Cleanup::shared().isWorking());
}

TEST_F(DeviceFlowsTest, PromptGivesTheTrimmedNameOrSnapshotOrNothing) {
    const auto answer = [this](const QString& text, int button) {
        m_dialogs.queueAnswer([text, button](const Alert& alert) {
            alert.accessory->findChild<QLineEdit*>("snapshotName")->setText(text);
            return button;
        });
    };
    answer("  Logged in \t", Dialogs::kFirstButton);
    EXPECT_EQ(m_flows.promptSnapshotName(kApp, kDevice), "Logged in");
    answer("", Dialogs::kFirstButton);
    EXPECT_EQ(m_flows.promptSnapshotName(kApp, kDevice), "Snapshot");
    answer("ignored", Dialogs::kFirstButton + 1);
    EXPECT_FALSE(m_flows.promptSnapshotName(kApp, kDevice));
    EXPECT_EQ(m_dialogs.alerts().back().message, "Save a snapshot of Maps");
    EXPECT_EQ(m_dialogs.alerts().back().informativeText,
              "Copies the app’s documents, settings, and caches from " + kDevice.name + ".");
    EXPECT_EQ(m_dialogs.alerts().back().buttons, (QStringList{"Save", "Cancel"}));
}

TEST_F(DeviceFlowsTest, DeleteAsksFirstRunsOffTheGuiThreadAndIgnoresTheBusyFlag) {
    deviceCopiesOut();
    DeviceSnapshotStore::save("com.demo.maps", kDevice, "Old");
    const DeviceSnapshot listed = DeviceSnapshot::list("com.demo.maps").front();
    m_dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    EXPECT_TRUE(m_flows.deleteSnapshotFlow(listed, kApp, kDevice).isFinished());
    EXPECT_TRUE(fs::exists(listed.folder));
    EXPECT_TRUE(m_toasts.messages().empty());
    EXPECT_EQ(m_dialogs.alerts().back().informativeText,
              "The saved copy on this computer is deleted. The app’s data on Ana’s iPhone isn’t affected.");

    // Another long task runs (a cleanup, say): deleting a snapshot does not wait for it.
    Cleanup::shared().setWorking(true);
    m_dialogs.queueAnswer(Dialogs::kFirstButton);
    QFuture<void> deleted = m_flows.deleteSnapshotFlow(listed, kApp, kDevice);
    ASSERT_TRUE(QTest::qWaitFor([&] { return deleted.isFinished(); }, 10'000));
    EXPECT_FALSE(fs::exists(listed.folder));
    EXPECT_EQ(m_toasts.messages().back(), (ToastMessage{"Deleted “Old”", std::nullopt, "trash", false}));
}

TEST_F(DeviceFlowsTest, ACopyCanBeCancelledAndFreesTheBusyFlag) {
    deviceCopiesOut();
    const DeviceSnapshot saved = DeviceSnapshotStore::save("com.demo.maps", kDevice, "Clean");
    struct Case {
        const char* what;
        std::function<QFuture<void>()> start;
        Args stalled; // the copy that never ends by itself
        ToastMessage toast;
    };
    Args copyTo = {"devicectl", "device", "copy", "to", "**"};
    const Case cases[] = {
        {"save",
         [&] { return m_flows.saveSnapshotFlow(kDevice, kApp, "Never"); },
         copyFrom(),
         {"Snapshot cancelled", QStringLiteral("Nothing was saved."), "clock.arrow.circlepath", false}},
        {"download",
         [&] { return m_flows.downloadAppDataFlow(kDevice, kApp); },
         copyFrom(),
         {"Download cancelled", std::nullopt, "arrow.down.circle", false}},
        {"restore",
         [&] { return m_flows.restoreSnapshotFlow(saved, kApp, kDevice); },
         copyTo,
         {"Restore cancelled", QStringLiteral("Maps’s data was put back as it was."),
          "arrow.uturn.backward.circle", false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_xcrun.clearRules();
        m_xcrun.clearLog();
        if (c.stalled != copyFrom())
            deviceCopiesOut();
        m_xcrun.on({"devicectl", "device", "copy", "to", "**", "--source", "*/.backup-*/*", "**"});
        m_xcrun.rule({{"args", c.stalled}, {"delay", 300}});
        QFuture<void> flow = c.start();
        const auto stalledStarted = [&] {
            for (const auto& args : m_xcrun.argumentLists())
                if (args.size() > 3 && args[3] == c.stalled[3])
                    return true;
            return false;
        };
        ASSERT_TRUE(QTest::qWaitFor(stalledStarted, 10'000));
        EXPECT_TRUE(Cleanup::shared().isWorking());
        m_flows.cancelCopy();
        ASSERT_TRUE(QTest::qWaitFor([&] { return flow.isFinished(); }, 10'000));
        EXPECT_FALSE(Cleanup::shared().isWorking());
        EXPECT_EQ(m_toasts.messages().back(), c.toast);
        // Nothing half copied stays: no staging folder, no partial download.
        EXPECT_EQ(DeviceSnapshot::list("com.demo.maps").size(), 1u);
        EXPECT_FALSE(fs::exists(homeDirectoryURL() / "Downloads") &&
                     !fs::is_empty(homeDirectoryURL() / "Downloads"));
        for (const auto& entry : fs::directory_iterator(DeviceSnapshot::rootFolder()))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
    }
}

TEST_F(DeviceFlowsTest, AtStartTheDataFromBeforeAnInterruptedRestoreIsKeptAndTheUserTold) {
    const fs::path backup = DeviceSnapshot::rootFolder() / ".backup-1";
    fs::create_directories(backup / "data/Documents");
    std::ofstream(backup / "data/Documents/before.txt") << "before";
    std::ofstream(backup / "restore.json")
        << R"({"phase":"pushing","bundleID":"com.demo.maps","deviceName":"Ana’s iPhone",)"
           R"("snapshotName":"Launch","started":"2026-03-01T10:00:00Z"})";
    QFuture<void> recovered = m_flows.recoverInterruptedCopies();
    EXPECT_TRUE(Cleanup::shared().isWorking()) << "no save or restore may start meanwhile";
    ASSERT_TRUE(QTest::qWaitFor([&] { return recovered.isFinished(); }, 10'000));
    EXPECT_FALSE(Cleanup::shared().isWorking());
    EXPECT_EQ(m_toasts.messages().back(),
              (ToastMessage{"A restore was interrupted",
                            QStringLiteral("The data of com.demo.maps from before it is kept as the snapshot "
                                           "“Before restoring “Launch””; restore that to put it back."),
                            "arrow.uturn.backward.circle", true}));
    ASSERT_EQ(DeviceSnapshot::list("com.demo.maps").size(), 1u);
}

TEST_F(DeviceFlowsTest, DownloadsGetFreeNamesAndAreRevealed) {
    deviceCopiesOut();
    QSignalSpy spy(&m_flows, &DeviceFlows::flowFinished);
    m_flows.downloadAppDataFlow(kDevice, kApp);
    ASSERT_TRUE(finished(spy));
    m_flows.downloadAppDataFlow(kDevice, kApp);
    ASSERT_TRUE(spy.count() > 1 || spy.wait(20'000));
    ASSERT_EQ(m_workspace.requests().size(), 2u);
    const fs::path first = m_workspace.requests()[0].path;
    const fs::path second = m_workspace.requests()[1].path;
    EXPECT_EQ(first.parent_path(), homeDirectoryURL() / "Downloads");
    EXPECT_TRUE(first.filename().string().starts_with("Maps Data "));
    // Within the same second the second one is numbered; a second later it has its own time.
    if (second.filename().string().size() > first.filename().string().size()) {
        EXPECT_EQ(second.filename().string(), first.filename().string() + " 2");
    }
    EXPECT_TRUE(fs::exists(second / "Documents/notes.txt"));

    // The tool wrote part of the container, then failed: no partial folder is left to look like
    // a download.
    spy.clear();
    m_xcrun.clearRules().rule(
        {{"args", copyFrom()}, {"effects", {{{"copy", {m_container.string(), 13}}}}}, {"exit", 1}});
    m_flows.downloadAppDataFlow(kDevice, kApp);
    ASSERT_TRUE(finished(spy));
    EXPECT_EQ(m_toasts.messages().back(),
              (ToastMessage{"Couldn’t download the app’s data", std::nullopt, "arrow.down.circle", true}));
    EXPECT_FALSE(Cleanup::shared().isWorking());
    size_t downloads = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(homeDirectoryURL() / "Downloads"))
        ++downloads;
    EXPECT_EQ(downloads, 2u);
}

// The menu's screenshot of a connected device goes through the program's one screenshot flow:
// framed through the device type of its model, checked for a dark screen, shown as a thumbnail,
// and named when written.
class DeviceScreenshotFlowTest : public DeviceFlowsTest {
protected:
    void SetUp() override {
        DeviceFlowsTest::SetUp();
        DeviceScreen::forgetDeviceTypes();
        const fs::path type = m_chrome.addFramedPhone();
        m_xcrun.on({"simctl", "list", "devicetypes", "-j"},
                   nlohmann::json{{"devicetypes",
                                   {{{"identifier", "type.phone"},
                                     {"modelIdentifier", "iPhone17,1"},
                                     {"bundlePath", type.string()}}}}}
                       .dump());
        screen(Qt::green);
    }
    void TearDown() override {
        DeviceScreen::forgetDeviceTypes();
        DeviceFlowsTest::TearDown();
    }
    // What the device's screen shows, copied to the capture's destination after `delay`.
    void screen(QColor colour, double delay = 0) {
        const fs::path source = fs::path(m_folder.path().toStdString()) / "screen.png";
        test::ChromeFixture::writePng(source, {300, 600}, colour);
        m_xcrun.rule({{"args", Args{"devicectl", "device", "capture", "screenshot", "--device", "D1",
                                    "--destination", "*", "-q"}},
                      {"delay", delay},
                      {"effects", {{{"copy", {source.string(), 7}}}}}});
    }
    std::vector<fs::path> shots() const {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(m_shots, error))
            files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        return files;
    }

    test::ChromeFixture m_chrome{m_folder.path().toStdString()};
    const PhysicalDevice m_phone{"D1", "Ana’s iPhone", "iPhone", "iPhone17,1", {}};
};

TEST_F(DeviceScreenshotFlowTest, AMenuScreenshotIsFramedNamedAndShown) {
    QSignalSpy spy(&m_flows, &DeviceFlows::flowFinished);
    m_flows.screenshot(m_phone, false);
    ASSERT_TRUE(finished(spy));
    const auto files = shots();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].filename().string().starts_with("Screenshot Ana’s iPhone "));
    EXPECT_EQ(QImage(QString::fromStdString(files[0].string())).size(), QSize(360, 660)) << "framed";
    ASSERT_TRUE(m_thumbnail.file());
    EXPECT_EQ(*m_thumbnail.file(), files[0]);
    EXPECT_TRUE(m_toasts.messages().empty());

    // Copied instead of saved: the framed picture on the clipboard, no file.
    spy.clear();
    m_flows.screenshot(m_phone, true);
    ASSERT_TRUE(finished(spy));
    EXPECT_EQ(QImage::fromData(m_clipboard.png(), "PNG").size(), QSize(360, 660));
    EXPECT_EQ(m_toasts.messages().back(),
              (ToastMessage{"Screenshot copied", QStringLiteral("Ana’s iPhone"), "doc.on.clipboard", false}));
    EXPECT_EQ(shots().size(), 1u);
}

TEST_F(DeviceScreenshotFlowTest, ADarkScreenIsReportedAndNothingSaved) {
    m_xcrun.clearRules();
    screen(Qt::black);
    QSignalSpy spy(&m_flows, &DeviceFlows::flowFinished);
    m_flows.screenshot(m_phone, false);
    ASSERT_TRUE(finished(spy));
    EXPECT_EQ(
        m_toasts.messages().back(),
        (ToastMessage{"The screen is off", QStringLiteral("Wake the device, then take the screenshot again."),
                      "camera", true}));
    EXPECT_TRUE(shots().empty());
}

TEST_F(DeviceScreenshotFlowTest, TwoScreenshotsFromTheMenuInOneSecondLeaveTwoFiles) {
    // The capture is slow: both are taken before either is written.
    m_xcrun.clearRules();
    screen(Qt::green, 0.5);
    QSignalSpy spy(&m_flows, &DeviceFlows::flowFinished);
    m_flows.screenshot(m_phone, false);
    m_flows.screenshot(m_phone, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() == 2; }, 20'000));
    EXPECT_EQ(shots().size(), 2u);
}

} // namespace
} // namespace quorvex
