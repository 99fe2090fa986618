#include "devices/flows/DeviceFlows.h"

#include "devices/core/DeviceContainerWorld.h"
#include "devices/core/DeviceSnapshotStore.h"
#include "devices/core/PhysicalDevices.h"
#include "storage/files/Cleanup.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "support/QtPrinters.h"
#include "support/RecordingWorkspace.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"
#include "ui/ByteCountFormatter.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

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
    }
    void TearDown() override {
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
    DeviceFlows m_flows{m_inventory,
                        [this] {
                            return DeviceFlows::ScreenshotChoices{m_shots, false, false};
                        },
                        m_workspace};
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

TEST_F(DeviceFlowsTest, NamesFollowTheScreenshotRules) {
    EXPECT_EQ(DeviceFlows::safeDeviceName("A/B:C"), "A-B-C");
    EXPECT_EQ(DeviceFlows::safeDeviceName("  "), "Device");
    EXPECT_EQ(DeviceFlows::safeDeviceName(""), "Device");
    EXPECT_EQ(DeviceFlows::safeDeviceName("//"), "--");
    EXPECT_EQ(DeviceFlows::safeDeviceName("  Pad"), "  Pad");
    EXPECT_EQ(DeviceFlows::timestamp(QDateTime(QDate(2026, 12, 9), QTime(9, 5, 7))),
              "09.12.2026 at 09.05.07");
    const fs::path folder = m_folder.path().toStdString();
    fs::create_directories(folder / "Maps Data");
    EXPECT_EQ(DeviceFlows::freeName(folder, "Maps Data").filename(), "Maps Data 2");
    std::ofstream(folder / "Shot 2.png") << "";
    std::ofstream(folder / "Shot.png") << "";
    EXPECT_EQ(DeviceFlows::freeName(folder, "Shot", ".png").filename(), "Shot 3.png");
}

TEST_F(DeviceFlowsTest, ScreenshotsGoToTheChosenFolderAndCleanTheStatusBarOnlyWhenAsked) {
    m_xcrun.rule({{"args", Args{"devicectl", "device", "capture", "screenshot", "--device", "D1",
                                "--destination", "*", "-q"}},
                  {"effects", {{{"create", 7}, {"content", "png"}}}}});
    QSignalSpy spy(&m_flows, &DeviceFlows::flowFinished);
    m_flows.screenshot(kDevice, false);
    ASSERT_TRUE(finished(spy));
    EXPECT_EQ(m_toasts.messages().back().title, "Screenshot saved");
    ASSERT_EQ(m_xcrun.argumentLists().size(), 1u); // clean status bar is off here
    const fs::path saved = m_xcrun.argumentLists()[0][7];
    EXPECT_EQ(saved.parent_path(), m_shots);
    EXPECT_TRUE(saved.filename().string().starts_with("Screenshot Ana’s iPhone "));
    EXPECT_TRUE(fs::exists(saved));
}

} // namespace
} // namespace quorvex
