#include "devices/core/DeviceSnapshotStore.h"

#include "devices/core/DeviceContainerWorld.h"
#include "devices/core/UserFacingError.h"
#include "storage/files/Cleanup.h"
#include "support/FakeXcrun.h"
#include "tools/ToolCancellation.h"

#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <future>
#include <sys/resource.h>
#include <thread>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const PhysicalDevice& kDevice = test::kContainerDevice;
const DeviceApp& kApp = test::kContainerApp;

Args copyFrom() {
    return test::containerCopyFromArgs();
}

class DeviceSnapshotStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        // What the device holds: a container with documents and settings.
        m_container = fs::path(m_folder.path().toStdString()) / "container";
        fs::create_directories(m_container / "Documents");
        fs::create_directories(m_container / "Library/Preferences");
        std::ofstream(m_container / "Documents/notes.txt") << std::string(5000, 'x');
    }
    void TearDown() override { fs::remove_all(DeviceSnapshot::rootFolder()); }

    // The device answers copies off it with its container.
    void deviceCopiesOut() {
        m_xcrun.rule({{"args", copyFrom()}, {"effects", {{{"copy", {m_container.string(), 13}}}}}});
    }
    void pushes(const std::string& sourcePattern, int exit) {
        m_xcrun.on({"devicectl", "device", "copy", "to", "--device", "D1", "--domain-type",
                    "appDataContainer", "--domain-identifier", "com.demo.maps", "--source", sourcePattern,
                    "--destination", "*", "--remove-existing-content", "true", "-q"},
                   "", exit);
    }
    std::vector<std::string> pushedSources() const {
        std::vector<std::string> sources;
        for (const auto& args : m_xcrun.argumentLists())
            if (args.size() > 3 && args[2] == "copy" && args[3] == "to")
                sources.push_back(fs::path(args[11]).parent_path().filename().string() + "/" +
                                  fs::path(args[11]).filename().string());
        return sources;
    }
    // The hidden folders of the root: staging, backups, removals and downloads in progress.
    std::vector<fs::path> hiddenEntries() const {
        std::vector<fs::path> found;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(DeviceSnapshot::rootFolder(), error))
            if (entry.path().filename().string().starts_with("."))
                found.push_back(entry.path());
        return found;
    }
    // Ends a restore left running by a failed assertion: each cancel kills the step in progress.
    template <typename Future> static void drain(Future& running, ToolCancellation& cancellation) {
        while (running.valid() &&
               running.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
            cancellation.cancel();
    }
    // Waits until the fake xcrun was called with `argument` at `index`; false after 10 s.
    bool waitForCall(size_t index, const std::string& pattern) const {
        for (int i = 0; i < 1000; ++i) {
            for (const auto& args : m_xcrun.argumentLists())
                if (args.size() > index && args[index].find(pattern) != std::string::npos)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    QTemporaryDir m_folder;
    fs::path m_container;
    test::FakeXcrun m_xcrun;
};

TEST_F(DeviceSnapshotStoreTest, SaveListRestoreDeleteRoundTrip) {
    deviceCopiesOut();
    pushes("*", 0);
    const DeviceSnapshot saved = DeviceSnapshotStore::save("com.demo.maps", kDevice, "Before login");
    EXPECT_EQ(saved.deviceName, "Ana’s iPhone");
    EXPECT_GE(saved.size, 5000);
    const std::vector<DeviceSnapshot> listed = DeviceSnapshot::list("com.demo.maps");
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0], saved);
    EXPECT_TRUE(fs::exists(listed[0].folder / "data/Documents/notes.txt"));

    m_xcrun.clearLog();
    const auto result = DeviceSnapshotStore::restore(listed[0], kApp, kDevice);
    EXPECT_EQ(result.outcome, DeviceSnapshotStore::RestoreOutcome::restored);
    EXPECT_EQ(pushedSources(), (std::vector<std::string>{"data/Documents", "data/Library"}));
    EXPECT_TRUE(hiddenEntries().empty());

    DeviceSnapshotStore::remove(listed[0]);
    EXPECT_FALSE(fs::exists(DeviceSnapshot::rootFolder() / "com.demo.maps"));
}

TEST_F(DeviceSnapshotStoreTest, AFailedCopyOrManifestLeavesNothingBehind) {
    m_xcrun.on(copyFrom(), "", 1);
    try {
        DeviceSnapshotStore::save("com.demo.maps", kDevice, "x");
        ADD_FAILURE() << "the copy failed";
    } catch (const UserFacingError& error) {
        EXPECT_EQ(error.message(), "Couldn’t copy the app’s data from Ana’s iPhone.");
    }
    EXPECT_TRUE(fs::is_empty(DeviceSnapshot::rootFolder()));

    // The copy arrives but the manifest cannot be written (files are capped below its size):
    // the folder with the app's data must not stay behind unlisted.
    fs::remove_all(m_container);
    fs::create_directories(m_container / "Documents");
    std::ofstream(m_container / "Documents/a") << "tiny";
    m_xcrun.clearRules();
    deviceCopiesOut();
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit capped = previous;
    capped.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &capped);
    EXPECT_THROW(DeviceSnapshotStore::save("com.demo.maps", kDevice, QString(200, QLatin1Char('n'))),
                 UserFacingError);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(fs::is_empty(DeviceSnapshot::rootFolder()));
}

TEST_F(DeviceSnapshotStoreTest, RestoreOutcomes) {
    struct Case {
        const char* what;
        bool backupCopies;
        int snapshotPush;
        int backupPush;
        DeviceSnapshotStore::RestoreOutcome outcome;
        bool backupKept;
    };
    using Outcome = DeviceSnapshotStore::RestoreOutcome;
    const Case cases[] = {
        {"backup fails", false, 0, 0, Outcome::notStarted, false},
        {"push succeeds", true, 0, 0, Outcome::restored, false},
        {"push fails, rollback succeeds", true, 1, 0, Outcome::rolledBack, false},
        {"both fail", true, 1, 1, Outcome::failed, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_xcrun.clearRules();
        deviceCopiesOut();
        const DeviceSnapshot snapshot = DeviceSnapshotStore::save("com.demo.maps", kDevice, "s");
        m_xcrun.clearRules();
        if (c.backupCopies)
            deviceCopiesOut();
        pushes("*/com.demo.maps/*/data/*", c.snapshotPush);
        pushes("*/.backup-*/*", c.backupPush);
        const auto result = DeviceSnapshotStore::restore(snapshot, kApp, kDevice);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_FALSE(result.cancelled);
        EXPECT_EQ(result.keptSnapshot.has_value(), c.backupKept);
        EXPECT_FALSE(result.keptFolder);
        // The data from before a failed restore may be the only copy left: it stays, listed with
        // the app's snapshots, never in a hidden folder nothing mentions again.
        EXPECT_TRUE(hiddenEntries().empty());
        if (result.keptSnapshot) {
            EXPECT_EQ(result.keptSnapshot->name, "Before restoring “s”");
            EXPECT_EQ(result.keptSnapshot->deviceName, "Ana’s iPhone");
            EXPECT_TRUE(fs::exists(result.keptSnapshot->folder / "data/Documents/notes.txt"));
            const auto listed = DeviceSnapshot::list("com.demo.maps");
            EXPECT_NE(std::find(listed.begin(), listed.end(), *result.keptSnapshot), listed.end());
        }
        fs::remove_all(DeviceSnapshot::rootFolder());
    }
}

TEST_F(DeviceSnapshotStoreTest, ACancelledRestorePutsTheAppsDataBack) {
    deviceCopiesOut();
    const DeviceSnapshot snapshot = DeviceSnapshotStore::save("com.demo.maps", kDevice, "s");
    struct Case {
        const char* what;
        size_t index; // where the stalled call shows its step
        std::string pattern;
        DeviceSnapshotStore::RestoreOutcome outcome;
        bool backupPushed;
    };
    using Outcome = DeviceSnapshotStore::RestoreOutcome;
    const Case cases[] = {
        // Stopped while the app's data is copied aside: the device was never touched.
        {"during the copy aside", 13, ".backup-", Outcome::notStarted, false},
        // Stopped while the snapshot goes on: the copy goes back.
        {"during the push", 11, "/com.demo.maps/", Outcome::rolledBack, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_xcrun.clearRules();
        m_xcrun.clearLog();
        // The stalled step never ends by itself; only the cancel can stop it.
        if (c.index == 13)
            m_xcrun.rule({{"args", copyFrom()}, {"delay", 300}});
        else
            deviceCopiesOut();
        pushes("*/.backup-*/*", 0);
        m_xcrun.rule({{"args", {"devicectl", "device", "copy", "to", "**"}}, {"delay", 300}});
        ToolCancellation cancellation;
        auto restore = std::async(std::launch::async, [&] {
            return DeviceSnapshotStore::restore(snapshot, kApp, kDevice, &cancellation);
        });
        const auto guard = qScopeGuard([&] { drain(restore, cancellation); });
        ASSERT_TRUE(waitForCall(c.index, c.pattern));
        cancellation.cancel();
        ASSERT_EQ(restore.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        const auto result = restore.get();
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_TRUE(result.cancelled);
        bool backupPushed = false;
        for (const auto& args : m_xcrun.argumentLists())
            backupPushed |=
                args.size() > 11 && args[3] == "to" && args[11].find(".backup-") != std::string::npos;
        EXPECT_EQ(backupPushed, c.backupPushed);
        EXPECT_TRUE(hiddenEntries().empty());
    }
}

TEST_F(DeviceSnapshotStoreTest, ASnapshotBeingRestoredCannotBeDeletedButOthersCanDuringLongTasks) {
    deviceCopiesOut();
    const DeviceSnapshot restoring = DeviceSnapshotStore::save("com.demo.maps", kDevice, "restoring");
    const DeviceSnapshot other = DeviceSnapshotStore::save("com.demo.maps", kDevice, "other");
    pushes("*/.backup-*/*", 0);
    m_xcrun.rule({{"args", {"devicectl", "device", "copy", "to", "**"}}, {"delay", 300}});
    ToolCancellation cancellation;
    auto restore = std::async(std::launch::async, [&] {
        return DeviceSnapshotStore::restore(restoring, kApp, kDevice, &cancellation);
    });
    const auto guard = qScopeGuard([&] { drain(restore, cancellation); });
    ASSERT_TRUE(waitForCall(3, "to"));
    // The program's busy flag is set while a restore runs; a delete does not wait for it.
    Cleanup::shared().setWorking(true);
    try {
        DeviceSnapshotStore::remove(restoring);
        ADD_FAILURE() << "the snapshot being restored was deleted";
    } catch (const UserFacingError& error) {
        EXPECT_EQ(error.message(), "“restoring” is being restored. Delete it once the restore has finished.");
    }
    EXPECT_TRUE(fs::exists(restoring.folder / "info.json"));
    DeviceSnapshotStore::remove(other);
    EXPECT_FALSE(fs::exists(other.folder));
    Cleanup::shared().setWorking(false);
    cancellation.cancel();
    drain(restore, cancellation);
    DeviceSnapshotStore::remove(restoring);
    EXPECT_FALSE(fs::exists(restoring.folder));
}

TEST_F(DeviceSnapshotStoreTest, RestoreOfAnotherAppRunsNothing) {
    deviceCopiesOut();
    const DeviceSnapshot snapshot = DeviceSnapshotStore::save("com.demo.maps", kDevice, "s");
    m_xcrun.clearLog();
    const DeviceApp other{"com.demo.other", "Other", std::nullopt, std::nullopt};
    EXPECT_EQ(DeviceSnapshotStore::restore(snapshot, other, kDevice).outcome,
              DeviceSnapshotStore::RestoreOutcome::notStarted);
    EXPECT_TRUE(m_xcrun.calls().empty());
}

TEST_F(DeviceSnapshotStoreTest, PushSendsOnlyRealFoldersInOrderAndStopsAtTheFirstFailure) {
    const fs::path local = fs::path(m_folder.path().toStdString()) / "local";
    fs::create_directories(local / "Library");
    fs::create_directories(local / "tmp");
    fs::create_directories(m_container / "Elsewhere");
    fs::create_directory_symlink(m_container / "Elsewhere", local / "Documents");
    pushes("*", 0);
    EXPECT_TRUE(DeviceSnapshotStore::pushData(kApp, "D1", local));
    EXPECT_EQ(pushedSources(), (std::vector<std::string>{"local/Library", "local/tmp"}));

    m_xcrun.clearRules();
    m_xcrun.clearLog();
    pushes("*/Library", 1);
    pushes("*", 0);
    EXPECT_FALSE(DeviceSnapshotStore::pushData(kApp, "D1", local));
    EXPECT_EQ(pushedSources(), (std::vector<std::string>{"local/Library"}));

    m_xcrun.clearLog();
    const fs::path empty = fs::path(m_folder.path().toStdString()) / "empty";
    fs::create_directories(empty);
    EXPECT_FALSE(DeviceSnapshotStore::pushData(kApp, "D1", empty));
    EXPECT_TRUE(m_xcrun.calls().empty());
}

TEST_F(DeviceSnapshotStoreTest, DeleteActsOnlyOnTheFolderItWasFoundIn) {
    deviceCopiesOut();
    const DeviceSnapshot kept = DeviceSnapshotStore::save("com.demo.maps", kDevice, "kept");
    DeviceSnapshot other = DeviceSnapshotStore::save("com.demo.maps", kDevice, "other");
    // A manifest copied into another app's folder names the first app: deleting it must not
    // reach the first app's snapshot folder of the same id.
    const fs::path copied = DeviceSnapshot::rootFolder() / "com.demo.copy" / "entry";
    fs::create_directories(copied);
    fs::copy_file(kept.folder / "info.json", copied / "info.json");
    const std::vector<DeviceSnapshot> listed = DeviceSnapshot::list("com.demo.copy");
    ASSERT_EQ(listed.size(), 1u);
    DeviceSnapshotStore::remove(listed[0]);
    EXPECT_TRUE(fs::exists(kept.folder / "info.json"));
    EXPECT_FALSE(fs::exists(DeviceSnapshot::rootFolder() / "com.demo.copy"));

    // Outside the root, or a link: nothing happens.
    DeviceSnapshot outside = other;
    outside.folder = m_container;
    DeviceSnapshotStore::remove(outside);
    EXPECT_TRUE(fs::exists(m_container / "Documents/notes.txt"));

    DeviceSnapshotStore::remove(other);
    EXPECT_FALSE(fs::exists(other.folder));
    EXPECT_TRUE(fs::exists(kept.folder));
}

TEST_F(DeviceSnapshotStoreTest, AFailedOrCancelledDownloadLeavesNothingAndTwoDownloadsGetTwoNames) {
    const fs::path downloads = fs::path(m_folder.path().toStdString()) / "Downloads";
    m_xcrun.on(copyFrom(), "", 1);
    EXPECT_FALSE(DeviceSnapshotStore::downloadAppData("com.demo.maps", "D1", downloads, "Maps Data"));
    // The tool wrote part of the container before it failed: none of it stays.
    m_xcrun.clearRules().rule(
        {{"args", copyFrom()}, {"effects", {{{"copy", {m_container.string(), 13}}}}}, {"exit", 1}});
    EXPECT_FALSE(DeviceSnapshotStore::downloadAppData("com.demo.maps", "D1", downloads, "Maps Data"));
    EXPECT_FALSE(fs::exists(downloads) && !fs::is_empty(downloads));
    EXPECT_TRUE(hiddenEntries().empty());

    m_xcrun.clearRules();
    deviceCopiesOut();
    const auto first = DeviceSnapshotStore::downloadAppData("com.demo.maps", "D1", downloads, "Maps Data");
    const auto second = DeviceSnapshotStore::downloadAppData("com.demo.maps", "D1", downloads, "Maps Data");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->filename(), "Maps Data");
    EXPECT_EQ(second->filename(), "Maps Data 2");
    EXPECT_TRUE(fs::exists(*second / "Documents/notes.txt"));
    EXPECT_TRUE(hiddenEntries().empty());
}

// What a process killed halfway through leaves in the root, and what the next start makes of it.
TEST_F(DeviceSnapshotStoreTest, RecoveryFinishesOrClearsWhatKilledCopiesLeft) {
    const fs::path root = DeviceSnapshot::rootFolder();
    const auto file = [](const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    };
    const auto journal = [&](const fs::path& backup, const char* phase) {
        file(backup / "restore.json",
             std::string(R"({"phase":")") + phase +
                 R"(","bundleID":"com.demo.maps","deviceName":"Ana’s iPhone","snapshotName":"Launch",)"
                 R"("started":"2026-03-01T10:00:00Z"})");
    };
    DeviceSnapshot finished;
    finished.id = QUuid::createUuid();
    finished.name = "Almost saved";
    finished.bundleID = "com.demo.maps";
    finished.deviceName = "Ana’s iPhone";
    finished.date = QDateTime::fromSecsSinceEpoch(1'770'000'000, Qt::UTC);
    const std::string finishedID = finished.id.toString(QUuid::WithoutBraces).toUpper().toStdString();

    // A save killed during its copy, and one killed after its manifest.
    file(root / ".saving-A/data/Documents/half.txt", "half");
    file(root / (".saving-" + finishedID) / "data/Documents/whole.txt", "whole");
    file(root / (".saving-" + finishedID) / "info.json", finished.encode().toStdString());
    // A restore killed while it copied the app's data aside: the device was not touched yet.
    file(root / ".backup-B/data/Documents/half.txt", "half");
    journal(root / ".backup-B", "copying");
    // A restore killed while it pushed: its copy is the app's data from before.
    file(root / ".backup-C/data/Documents/before.txt", "before");
    journal(root / ".backup-C", "pushing");
    // A restore killed before its journal: nothing in it.
    fs::create_directories(root / ".backup-D");
    // A backup without a journal, as restores left them before they kept one.
    file(root / ".backup-E/Documents/old.txt", "old");
    // A delete and a download killed midway, and a save of the time before staging folders.
    file(root / ".deleting-F/data/Documents/x.txt", "x");
    file(root / ".download-G/Documents/x.txt", "x");
    const std::string legacyID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
    file(root / "com.demo.maps" / legacyID / "data/Documents/x.txt", "x");

    const auto recovery = DeviceSnapshotStore::recoverInterrupted();
    EXPECT_EQ(recovery.finishedSaves, 1);
    EXPECT_EQ(recovery.removedLeftovers, 6);
    ASSERT_EQ(recovery.keptSnapshots.size(), 1u);
    EXPECT_EQ(recovery.keptSnapshots[0].name, "Before restoring “Launch”");
    EXPECT_EQ(recovery.keptSnapshots[0].date, QDateTime::fromSecsSinceEpoch(1'772'359'200, Qt::UTC));
    ASSERT_EQ(recovery.keptFolders.size(), 1u);
    EXPECT_EQ(recovery.keptFolders[0], root / "Interrupted restore E");
    EXPECT_TRUE(fs::exists(root / "Interrupted restore E/Documents/old.txt"));
    EXPECT_TRUE(hiddenEntries().empty());
    EXPECT_FALSE(fs::exists(root / "com.demo.maps" / legacyID));

    // Both the finished save and the kept data are listed, whole; nothing half made is.
    const auto listed = DeviceSnapshot::list("com.demo.maps");
    ASSERT_EQ(listed.size(), 2u);
    for (const DeviceSnapshot& snapshot : listed) {
        SCOPED_TRACE(snapshot.name.toStdString());
        EXPECT_TRUE(snapshot.name == "Almost saved" || snapshot == recovery.keptSnapshots[0]);
        EXPECT_TRUE(fs::exists(snapshot.folder / "data/Documents") &&
                    !fs::exists(snapshot.folder / "restore.json"));
    }
    // Run again, it finds nothing more to do.
    const auto again = DeviceSnapshotStore::recoverInterrupted();
    EXPECT_EQ(again.finishedSaves + again.removedLeftovers, 0);
    EXPECT_TRUE(again.keptSnapshots.empty() && again.keptFolders.empty());
}

TEST_F(DeviceSnapshotStoreTest, SafeFileNamesNeverClimbOutOfTheRoot) {
    EXPECT_EQ(DeviceSnapshot::safeFileName(".."), "_");
    EXPECT_EQ(DeviceSnapshot::safeFileName("."), "_");
    EXPECT_EQ(DeviceSnapshot::safeFileName("a b/c"), "a_b_c");
    EXPECT_EQ(DeviceSnapshot::safeFileName("com.demo.maps"), "com.demo.maps");
}

} // namespace
} // namespace quorvex
