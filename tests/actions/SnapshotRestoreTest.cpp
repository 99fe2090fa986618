#include "actions/SnapshotStore.h"

#include "FailingFileOperations.h"
#include "SnapshotWorld.h"
#include "storage/files/FileError.h"

#include <functional>
#include <stdexcept>

using namespace quorvex;
using namespace quorvex::test;
namespace fs = std::filesystem;

namespace {

using SnapshotError = SnapshotStore::SnapshotError;

bool contains(const fs::path& path, const std::string& part) {
    return path.string().find(part) != std::string::npos;
}

// A snapshot of the app's data tagged "snap", then the app's data tagged "old" in place.
class SnapshotRestoreTest : public SnapshotWorld {
protected:
    void SetUp() override {
        SnapshotWorld::SetUp();
        fillContainer("snap");
        snapData = appData();
        snapshot = SnapshotStore::save(app, install, "Snap");
        fillContainer("old");
        oldData = appData();
        fake.clearLog();
    }

    QString restoreMessage(SnapshotFileOperations& files) {
        try {
            SnapshotStore::restore(snapshot, app, install, files);
        } catch (const SnapshotError& error) {
            return error.message();
        }
        return {};
    }

    // Numbers of the calls of a run without failures: the first of the swap (the backup's
    // creation), the first after it (the backup's rename to disposable) and the total.
    struct SwapCalls {
        int first = 0;
        int end = 0;
        int total = 0;
    };
    SwapCalls swapCalls() {
        resetApp();
        FailingFileOperations counting;
        SnapshotStore::restore(snapshot, app, install, counting);
        SwapCalls numbers;
        numbers.total = static_cast<int>(counting.calls().size());
        for (int i = numbers.total; i >= 1; --i) {
            const auto& call = counting.calls()[static_cast<size_t>(i) - 1];
            if (contains(call.path, ".quorvex-backup-"))
                numbers.first = i;
            if (contains(call.to, ".quorvex-disposable-"))
                numbers.end = i;
        }
        resetApp();
        return numbers;
    }

    // The app's "old" data back, and no leftovers, which would add calls to the next run's sweep.
    void resetApp() {
        fillContainer("old");
        for (const std::string& name : leftovers())
            fs::remove_all(container.parent_path() / name);
        fake.clearLog();
    }

    AppSnapshot snapshot;
    std::map<std::string, std::string> snapData;
    std::map<std::string, std::string> oldData;
};

} // namespace

TEST_F(SnapshotRestoreTest, RestorePutsTheSnapshotInPlaceAndLeavesNothingBehind) {
    const auto report = SnapshotStore::restore(snapshot, app, install);
    EXPECT_EQ(appData(), snapData);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_TRUE(report.recoveredFolders.empty());
    EXPECT_TRUE(report.notice().isEmpty());

    const auto calls = fake.argumentLists();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"simctl", "terminate", kUdid, kBundle}));
    EXPECT_EQ((std::vector<std::string>(calls[1].begin(), calls[1].end() - 1)),
              (std::vector<std::string>{"simctl", "spawn", kUdid, "defaults", "export", kBundle}));
    EXPECT_EQ(calls[2], (std::vector<std::string>{"simctl", "spawn", kUdid, "defaults", "delete", kBundle}));
    EXPECT_EQ(calls[3][4], "import");
}

TEST_F(SnapshotRestoreTest, EachCheckRefusesWithItsMessageAndChangesNothing) {
    const fs::path elsewhere = fixture.home() / "Elsewhere/container";
    fs::create_directories(elsewhere / "Documents");
    const fs::path containerLink = container.parent_path() / "link-to-container";
    fs::create_symlink(container, containerLink);
    const fs::path groupLink = container.parent_path() / "link-to-group";
    fs::create_symlink(group, groupLink);

    const auto linkInPlace = [](const fs::path& item) {
        fs::rename(item, item.string() + ".real");
        fs::create_symlink(item.string() + ".real", item);
    };
    const auto unlink = [](const fs::path& item) {
        fs::remove(item);
        fs::rename(item.string() + ".real", item);
    };
    struct Case {
        const char* message;
        std::function<void(AppSnapshot&, SimulatorApp&, SimulatorInstall&)> change;
        std::function<void()> undo = [] {};
    };
    const Case cases[] = {
        {"This snapshot belongs to another app.",
         [](AppSnapshot& s, SimulatorApp&, SimulatorInstall&) { s.bundleID = "com.example.other"; }},
        {"The app has no data container on iPhone 16.",
         [](AppSnapshot&, SimulatorApp&, SimulatorInstall& i) { i.dataContainer.reset(); }},
        {"The snapshot is missing.",
         [](AppSnapshot& s, SimulatorApp&, SimulatorInstall&) { s.folder = *s.folder / "gone"; }},
        {"Notes’s data on iPhone 16 moved. Open the menu again and retry.",
         [&](AppSnapshot&, SimulatorApp&, SimulatorInstall& i) { i.dataContainer = container / "gone"; }},
        {"Notes’s data on iPhone 16 moved. Open the menu again and retry.",
         [&](AppSnapshot&, SimulatorApp&, SimulatorInstall& i) { i.dataContainer = containerLink; }},
        {"Library in the app’s container is a link. Restore refused to avoid writing elsewhere.",
         [&](AppSnapshot&, SimulatorApp&, SimulatorInstall&) { linkInPlace(container / "Library"); },
         [&] { unlink(container / "Library"); }},
        {"App group group.com.example.shared is a link. Restore refused to avoid writing elsewhere.",
         [&](AppSnapshot&, SimulatorApp&, SimulatorInstall& i) { i.groupContainers[kGroup] = groupLink; }},
        {"App group group.com.example.shared is a link. Restore refused to avoid writing elsewhere.",
         [&](AppSnapshot&, SimulatorApp&, SimulatorInstall&) { linkInPlace(group / "Library"); },
         [&] { unlink(group / "Library"); }},
        {"Unexpected container location.",
         [&](AppSnapshot&, SimulatorApp&, SimulatorInstall& i) { i.dataContainer = elsewhere; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        AppSnapshot s = snapshot;
        SimulatorApp a = app;
        SimulatorInstall i = install;
        c.change(s, a, i);
        try {
            SnapshotStore::restore(s, a, i);
            ADD_FAILURE() << "not refused";
        } catch (const SnapshotError& error) {
            EXPECT_EQ(error.message(), c.message);
        }
        c.undo();
        EXPECT_EQ(appData(), oldData);
        EXPECT_TRUE(treeOf(elsewhere).size() == 1);
        EXPECT_TRUE(leftovers().empty());
        EXPECT_TRUE(fake.calls().empty()) << "the app was stopped";
    }
}

TEST_F(SnapshotRestoreTest, AnItemTheSnapshotLacksBecomesAnEmptyFolder) {
    fs::remove_all(*snapshot.folder / "data/tmp");
    fs::remove(*snapshot.folder / "preferences.plist");
    SnapshotStore::restore(snapshot, app, install);
    EXPECT_TRUE(fs::is_directory(container / "tmp"));
    EXPECT_TRUE(fs::is_empty(container / "tmp"));
    EXPECT_EQ(readText(container / "Documents/notes.txt"), "snap notes");
    EXPECT_FALSE(fs::exists(domain)) << "the domain is deleted and not refilled";
}

// A failure of any file operation of the staging leaves the app running and its data untouched.
TEST_F(SnapshotRestoreTest, StagingFailureChangesNothing) {
    const SwapCalls calls = swapCalls();
    ASSERT_GT(calls.first, 3);
    for (int failing = 2; failing < calls.first; ++failing) {
        SCOPED_TRACE(failing);
        FailingFileOperations files;
        files.failing = {failing};
        const QString message = restoreMessage(files);
        EXPECT_TRUE(message.startsWith("Couldn’t read the snapshot (")) << message.toStdString();
        EXPECT_TRUE(message.endsWith("). Notes’s data wasn’t changed.")) << message.toStdString();
        EXPECT_EQ(appData(), oldData);
        EXPECT_TRUE(leftovers().empty());
        EXPECT_FALSE(called("terminate"));
    }
}

// Every file operation from the backup's creation to the last move in is made to fail in turn,
// with a snapshot that has every item and with one that lacks "tmp" (an empty folder is created in
// its place): each time every byte of the app's data and its preferences must be back as they
// were. Only the label written into the backup may fail without harm. Failures after the swap
// (discarding the backup and staging) are ignored and the restore succeeds.
TEST_F(SnapshotRestoreTest, FailureAtEveryStepOfTheSwapPutsEveryByteBack) {
    for (const bool withTmp : {true, false}) {
        SCOPED_TRACE(withTmp ? "full snapshot" : "snapshot without tmp");
        if (!withTmp)
            fs::remove_all(*snapshot.folder / "data/tmp");
        const SwapCalls calls = swapCalls();
        ASSERT_GT(calls.end, calls.first + 10);
        for (int failing = calls.first; failing <= calls.total; ++failing) {
            SCOPED_TRACE(failing);
            resetApp();
            FailingFileOperations files;
            files.failing = {failing};
            const QString message = restoreMessage(files);
            const bool label = files.calls()[static_cast<size_t>(failing) - 1].kind == "write";
            if (failing >= calls.end || label) {
                EXPECT_TRUE(message.isEmpty()) << message.toStdString();
                auto expected = snapData;
                if (!withTmp)
                    std::erase_if(expected,
                                  [](const auto& entry) { return entry.first.rfind("tmp/", 0) == 0; });
                EXPECT_EQ(appData(), expected);
                for (const std::string& name : leftovers())
                    EXPECT_EQ(name.rfind(".quorvex-backup-", 0), std::string::npos) << name;
                continue;
            }
            EXPECT_TRUE(message.startsWith("Couldn’t restore (“")) << message.toStdString();
            EXPECT_TRUE(message.endsWith("). Notes’s previous data was put back.")) << message.toStdString();
            EXPECT_EQ(appData(), oldData);
            EXPECT_TRUE(leftovers().empty());
        }
    }
}

TEST_F(SnapshotRestoreTest, AFailedMoveBackKeepsTheBackupAndSaysWhere) {
    FailingFileOperations files;
    files.before = [&](int, const FailingFileOperations::Call& call) {
        // The last move into the group, then the move of the old Documents back out of the backup.
        if (call.kind == "move" && contains(call.path, ".quorvex-restore-") && contains(call.to, "snap.db"))
            throw FileError(std::error_code(ENOSPC, std::generic_category()), "moved", call.path);
        if (call.kind == "move" && contains(call.path, ".quorvex-backup-") &&
            call.path.filename() == "Documents")
            throw FileError(std::error_code(EIO, std::generic_category()), "moved", call.path);
    };
    const QString message = restoreMessage(files);
    const fs::path recovery = SnapshotStore::recoveryFolder();
    ASSERT_TRUE(fs::is_directory(recovery));
    const fs::path kept = fs::directory_iterator(recovery)->path();
    EXPECT_TRUE(message.startsWith(
        "Couldn’t restore (“snap.db” couldn’t be moved: No space left on device). Some of "
        "Notes’s previous data couldn’t be put back; it was kept in “~/Library/Application "
        "Support/Quorvex/Recovered Data/Notes on iPhone 16, "))
        << message.toStdString();
    std::map<std::string, std::string> oldDocuments;
    for (const auto& [key, value] : oldData)
        if (key.rfind("Documents/", 0) == 0)
            oldDocuments[key.substr(10)] = value;
    EXPECT_EQ(treeOf(kept / "Documents"), oldDocuments);
    auto rest = appData();
    auto expected = oldData;
    std::erase_if(expected, [](const auto& entry) { return entry.first.rfind("Documents", 0) == 0; });
    EXPECT_EQ(rest, expected) << "everything else is back, preferences included";
    EXPECT_TRUE(leftovers().empty());
}

// A restore killed in the middle of the swap leaves the app's data in its backup. The next
// restore into any app of that simulator puts it away instead of deleting it.
TEST_F(SnapshotRestoreTest, ABackupLeftByAKilledRestoreSurvivesTheNextRestore) {
    FailingFileOperations killed;
    killed.before = [](int, const FailingFileOperations::Call& call) {
        if (call.kind == "move" && contains(call.path, ".quorvex-restore-"))
            throw std::runtime_error("killed");
    };
    EXPECT_THROW(SnapshotStore::restore(snapshot, app, install, killed), std::runtime_error);
    ASSERT_EQ(leftovers().size(), 2u);
    fs::create_directories(container.parent_path() / ".quorvex-disposable-0000/x");

    const auto report = SnapshotStore::restore(snapshot, app, install);
    EXPECT_EQ(appData(), snapData);
    EXPECT_TRUE(leftovers().empty());
    ASSERT_EQ(report.recoveredFolders.size(), 1u);
    const fs::path kept = report.recoveredFolders[0];
    EXPECT_EQ(kept.parent_path(), SnapshotStore::recoveryFolder());
    EXPECT_TRUE(
        report.notice().startsWith("Data left by an interrupted restore was kept in “~/Library/Application "
                                   "Support/Quorvex/Recovered Data/Notes on iPhone 16, "))
        << report.notice().toStdString();
    std::map<std::string, std::string> keptData;
    for (const char* item : {"Documents", "Library", "tmp"}) {
        keptData[item] = fs::is_directory(kept / item) ? "folder" : "missing";
        for (const auto& [key, value] : treeOf(kept / item))
            keptData[std::string(item) + "/" + key] = value;
    }
    for (const auto& [key, value] : oldData) {
        if (key.rfind("Documents", 0) == 0 || key.rfind("Library", 0) == 0 || key.rfind("tmp", 0) == 0) {
            EXPECT_EQ(keptData[key], value) << key;
        }
    }
    EXPECT_EQ(readText(kept / "preferences.plist"), "old domain");
}

// A delete that runs during staging removes the manifest first; the restore sees it and stops
// before the app is touched, instead of swapping in half a snapshot.
TEST_F(SnapshotRestoreTest, ASnapshotDeletedDuringStagingFailsTheRestoreBeforeAnythingChanges) {
    FailingFileOperations files;
    files.before = [&](int, const FailingFileOperations::Call& call) {
        if (call.kind == "copy" && call.path.filename() == "Library") {
            fs::remove(*snapshot.folder / "info.json");
            fs::remove_all(*snapshot.folder / "data/tmp");
        }
    };
    const QString message = restoreMessage(files);
    EXPECT_TRUE(message.startsWith("Couldn’t read the snapshot (")) << message.toStdString();
    EXPECT_EQ(appData(), oldData);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_FALSE(called("terminate"));
}

// A restore killed at any file operation of its swap or its cleanup leaves the app's preferences
// somewhere: in the domain, or in the backup that the next restore puts away.
TEST_F(SnapshotRestoreTest, AKilledRestoreNeverLeavesTheAppWithoutPreferences) {
    const SwapCalls numbers = swapCalls();
    ASSERT_GT(numbers.total, numbers.first);
    for (int killedAt = numbers.first; killedAt <= numbers.total; ++killedAt) {
        SCOPED_TRACE(killedAt);
        FailingFileOperations killed;
        killed.before = [&](int number, const FailingFileOperations::Call&) {
            if (number == killedAt)
                throw std::runtime_error("killed");
        };
        EXPECT_THROW(SnapshotStore::restore(snapshot, app, install, killed), std::runtime_error);
        bool kept = fs::exists(domain);
        for (const std::string& name : leftovers())
            if (name.rfind(".quorvex-backup-", 0) == 0)
                kept = kept || fs::exists(container.parent_path() / name / "preferences.plist");
        EXPECT_TRUE(kept) << "neither the domain nor a backup holds the preferences";
        resetApp();
    }
}
