#include "devices/core/DeviceSnapshotStore.h"

#include "devices/core/DeviceContainerWorld.h"
#include "devices/core/UserFacingError.h"
#include "storage/files/Cleanup.h"
#include "support/FakeXcrun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>

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
    std::vector<fs::path> backups() const {
        std::vector<fs::path> found;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(DeviceSnapshot::rootFolder(), error))
            if (entry.path().filename().string().starts_with(".backup-"))
                found.push_back(entry.path());
        return found;
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
    EXPECT_TRUE(backups().empty());

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
    EXPECT_TRUE(fs::is_empty(DeviceSnapshot::rootFolder() / "com.demo.maps"));

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
    EXPECT_TRUE(fs::is_empty(DeviceSnapshot::rootFolder() / "com.demo.maps"));
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
        EXPECT_EQ(result.keptBackup.has_value(), c.backupKept);
        if (result.keptBackup) {
            EXPECT_TRUE(fs::exists(*result.keptBackup / "Documents/notes.txt"));
        }
        EXPECT_EQ(backups().size(), c.backupKept ? 1u : 0u);
        for (const fs::path& backup : backups())
            fs::remove_all(backup);
    }
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

TEST_F(DeviceSnapshotStoreTest, DeleteActsOnlyOnTheFolderItWasFoundInAndNotDuringALongTask) {
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

    Cleanup::shared().setWorking(true);
    EXPECT_THROW(DeviceSnapshotStore::remove(other), UserFacingError);
    Cleanup::shared().setWorking(false);
    EXPECT_TRUE(fs::exists(other.folder));
    DeviceSnapshotStore::remove(other);
    EXPECT_FALSE(fs::exists(other.folder));
    EXPECT_TRUE(fs::exists(kept.folder));
}

TEST_F(DeviceSnapshotStoreTest, SafeFileNamesNeverClimbOutOfTheRoot) {
    EXPECT_EQ(DeviceSnapshot::safeFileName(".."), "_");
    EXPECT_EQ(DeviceSnapshot::safeFileName("."), "_");
    EXPECT_EQ(DeviceSnapshot::safeFileName("a b/c"), "a_b_c");
    EXPECT_EQ(DeviceSnapshot::safeFileName("com.demo.maps"), "com.demo.maps");
}

} // namespace
} // namespace quorvex
