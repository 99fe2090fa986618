#include "actions/SnapshotStore.h"

#include "FailingFileOperations.h"
#include "SnapshotWorld.h"
#include "simulator/Toast.h"
#include "storage/files/AllocatedSize.h"
#include "storage/files/Cleanup.h"
#include "storage/files/FileError.h"

#include <QSignalSpy>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

using namespace quorvex;
using namespace quorvex::test;
namespace fs = std::filesystem;

namespace {

using SnapshotError = SnapshotStore::SnapshotError;

class SnapshotStoreTest : public SnapshotWorld {
protected:
    void TearDown() override { Cleanup::shared().setWorking(false); }

    fs::path bundleFolder() const { return SnapshotStore::rootFolder() / kBundle; }
};

template <typename Call> QString messageOf(Call call) {
    try {
        call();
    } catch (const SnapshotError& error) {
        return error.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST_F(SnapshotStoreTest, SaveCopiesTheThreeItemsGroupsAndPreferencesButNoMetadata) {
    fs::create_symlink("/etc/hostname", container / "Documents/outside-link");
    const AppSnapshot snapshot = SnapshotStore::save(app, install, "First");

    const fs::path folder = SnapshotStore::folder(snapshot);
    EXPECT_EQ(folder, bundleFolder() / snapshot.id.toString(QUuid::WithoutBraces).toUpper().toStdString());
    EXPECT_EQ(treeOf(folder / "data/Documents"), treeOf(container / "Documents"));
    EXPECT_EQ(treeOf(folder / "data/Library"), treeOf(container / "Library"));
    EXPECT_EQ(treeOf(folder / "data/tmp"), treeOf(container / "tmp"));
    EXPECT_TRUE(fs::is_symlink(folder / "data/Documents/outside-link")) << "a link is copied as a link";
    EXPECT_FALSE(fs::exists(folder / "data" / kMetadata));

    auto groupWithoutMetadata = treeOf(group);
    groupWithoutMetadata.erase(kMetadata);
    EXPECT_EQ(treeOf(folder / "groups" / kGroup), groupWithoutMetadata);
    EXPECT_TRUE(fs::is_directory(folder / "groups" / kMissingGroup));
    EXPECT_TRUE(fs::is_empty(folder / "groups" / kMissingGroup));
    EXPECT_EQ(readText(folder / "preferences.plist"), "old domain");

    EXPECT_EQ(snapshot.size, allocatedSize(folder) - allocatedSize(folder / "info.json"));
    EXPECT_EQ(readText(folder / "info.json"), encodeManifest(snapshot).toStdString());
    EXPECT_EQ(snapshot.name, "First");
    EXPECT_EQ(snapshot.appName, "Notes");
    EXPECT_EQ(snapshot.deviceName, "iPhone 16");
    EXPECT_EQ(snapshot.created.time().msec(), 0);

    const auto calls = fake.argumentLists();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"simctl", "terminate", kUdid, kBundle}));
    EXPECT_EQ(calls[1], (std::vector<std::string>{
                            "simctl", "spawn", kUdid, "defaults", "export", kBundle,
                            (folder.parent_path() / (".quorvex-saving-" + folder.filename().string()) /
                             "preferences.plist")
                                .string()}));

    const auto listed = SnapshotStore::list(kBundle);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0], snapshot);
}

TEST_F(SnapshotStoreTest, SaveWithoutContainerDoesNothing) {
    install.dataContainer.reset();
    EXPECT_EQ(messageOf([&] { SnapshotStore::save(app, install, "x"); }),
              "The app has no data container yet. Launch it once first.");
    EXPECT_FALSE(fs::exists(SnapshotStore::rootFolder()));
    EXPECT_TRUE(fake.calls().empty()) << "the app was stopped";
}

TEST_F(SnapshotStoreTest, SaveKeepsOnlyWhatTheContainerHas) {
    fs::remove_all(container / "tmp");
    fs::remove(domain); // the export fails
    const AppSnapshot snapshot = SnapshotStore::save(app, install, "x");
    const fs::path folder = SnapshotStore::folder(snapshot);
    EXPECT_EQ(treeOf(folder / "data").count("tmp"), 0u);
    EXPECT_TRUE(fs::exists(folder / "data/Documents"));
    EXPECT_FALSE(fs::exists(folder / "preferences.plist"));
    EXPECT_EQ(snapshot.size, allocatedSize(folder) - allocatedSize(folder / "info.json"));
}

// Whatever file operation fails, save leaves no snapshot behind (the bundle folder may stay) and
// passes the failure on.
TEST_F(SnapshotStoreTest, SaveThatFailsAnywhereRemovesItsSnapshotFolder) {
    FailingFileOperations counting;
    SnapshotStore::save(app, install, "count", counting);
    const int operations = static_cast<int>(counting.calls().size());
    fs::remove_all(SnapshotStore::rootFolder());
    ASSERT_GT(operations, 5);

    for (int failing = 1; failing <= operations; ++failing) {
        SCOPED_TRACE(failing);
        FailingFileOperations files;
        files.failing = {failing};
        EXPECT_THROW(SnapshotStore::save(app, install, "x", files), FileError);
        EXPECT_TRUE(!fs::exists(bundleFolder()) || fs::is_empty(bundleFolder()));
        EXPECT_TRUE(SnapshotStore::list(kBundle).empty());
    }
}

TEST_F(SnapshotStoreTest, ListIsNewestFirstAndSkipsWhatItCannotRead) {
    const AppSnapshot older = SnapshotStore::save(app, install, "older");
    AppSnapshot sameSecond = SnapshotStore::save(app, install, "same second");
    sameSecond.created = older.created;
    writeText(*sameSecond.folder / "info.json", encodeManifest(sameSecond).toStdString());
    // "newer" a minute ahead, and under another folder name, as a user might leave it.
    AppSnapshot newer = SnapshotStore::save(app, install, "newer");
    const fs::path renamed = bundleFolder() / "renamed by hand";
    fs::rename(*newer.folder, renamed);
    newer.created = newer.created.addSecs(60);
    writeText(renamed / "info.json", encodeManifest(newer).toStdString());
    fs::create_directories(bundleFolder() / "half-made/data");
    writeText(bundleFolder() / "broken/info.json", "{\"id\":");
    writeText(bundleFolder() / "stray.txt", "x");

    const auto listed = SnapshotStore::list(kBundle);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].name, "newer");
    EXPECT_EQ(listed[0].folder, renamed);
    std::vector<QString> rest{listed[1].name, listed[2].name};
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<QString>{"older", "same second"}));
    EXPECT_TRUE(fs::exists(bundleFolder() / "half-made")) << "list never repairs";
    EXPECT_TRUE(fs::exists(bundleFolder() / "stray.txt"));
    EXPECT_TRUE(SnapshotStore::list("com.example.other").empty());
    EXPECT_TRUE(SnapshotStore::list("..").empty());
}

TEST_F(SnapshotStoreTest, DeleteRemovesOnlySnapshotFoldersUnderTheRoot) {
    const AppSnapshot snapshot = SnapshotStore::save(app, install, "x");
    const fs::path folder = SnapshotStore::folder(snapshot);
    const fs::path outside = fixture.home() / "Library/Elsewhere/bundle/snapshot";
    writeText(outside / "info.json", "{}");
    struct Case {
        const char* what;
        fs::path folder;
    };
    const Case refused[] = {
        {"a folder outside the root", outside},
        {"the bundle folder, named through ..", bundleFolder() / "x/../.."},
        {"the root itself", SnapshotStore::rootFolder() / "a/.."},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        AppSnapshot placed = snapshot;
        placed.folder = c.folder;
        EXPECT_EQ(messageOf([&] { SnapshotStore::deleteSnapshot(placed); }),
                  "The snapshot isn’t in the snapshot folder.");
    }
    EXPECT_TRUE(fs::exists(outside / "info.json"));
    EXPECT_TRUE(fs::exists(folder / "info.json"));

    SnapshotStore::deleteSnapshot(snapshot);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::is_directory(bundleFolder())) << "the bundle folder stays";
    EXPECT_NO_THROW(SnapshotStore::deleteSnapshot(snapshot)) << "already gone";
}

TEST_F(SnapshotStoreTest, DeleteResolvesLinksAboveTheRootButNotTheRootItself) {
    const fs::path support = fixture.home() / "Library/Application Support";
    const fs::path real = fixture.home() / "Library/Real Support";
    fs::create_directories(real);
    fs::remove_all(support);
    fs::create_symlink(real, support);
    const AppSnapshot snapshot = SnapshotStore::save(app, install, "x");
    EXPECT_NO_THROW(SnapshotStore::deleteSnapshot(snapshot));
    EXPECT_FALSE(fs::exists(SnapshotStore::folder(snapshot)));

    const AppSnapshot second = SnapshotStore::save(app, install, "y");
    const fs::path root = SnapshotStore::rootFolder();
    fs::rename(root, real / "Quorvex/Real Snapshots");
    fs::create_symlink(real / "Quorvex/Real Snapshots", root);
    EXPECT_EQ(messageOf([&] { SnapshotStore::deleteSnapshot(second); }),
              "The snapshot isn’t in the snapshot folder.");
    EXPECT_TRUE(fs::exists(SnapshotStore::folder(second)));
}

// The store only refuses, with the busy text as its reason; the flow that called it shows the toast.
TEST_F(SnapshotStoreTest, DeleteWhileALongTaskRunsIsRefusedWithTheBusyReason) {
    const AppSnapshot snapshot = SnapshotStore::save(app, install, "x");
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    Cleanup::shared().setWorking(true);
    EXPECT_EQ(messageOf([&] { SnapshotStore::deleteSnapshot(snapshot); }), Cleanup::kBusyDetail);
    EXPECT_EQ(toasts.count(), 0);
    EXPECT_TRUE(fs::exists(SnapshotStore::folder(snapshot) / "info.json"));
}

// A save killed before its manifest is written leaves no folder that passes for a snapshot, and
// the next save removes what it left.
TEST_F(SnapshotStoreTest, AKilledSaveLeavesNothingTheNextSaveDoesNotSweep) {
    for (const char* killedAt : {"copy", "write"}) {
        SCOPED_TRACE(killedAt);
        fs::remove_all(SnapshotStore::rootFolder());
        FailingFileOperations killed;
        killed.before = [&](int, const FailingFileOperations::Call& call) {
            if (call.kind == killedAt)
                throw std::runtime_error("killed");
        };
        EXPECT_THROW(SnapshotStore::save(app, install, "killed", killed), std::runtime_error);
        EXPECT_TRUE(SnapshotStore::list(kBundle).empty());

        const AppSnapshot saved = SnapshotStore::save(app, install, "next");
        std::vector<fs::path> folders;
        for (const auto& entry : fs::directory_iterator(bundleFolder()))
            folders.push_back(entry.path());
        EXPECT_EQ(folders, std::vector<fs::path>{*saved.folder});
        ASSERT_EQ(SnapshotStore::list(kBundle).size(), 1u);
    }
}

// The mode change of the backup cleanup acts on the folder it looked at: a folder swapped for a
// link to a folder outside HOME between the look and the change leaves that folder as it was.
TEST_F(SnapshotStoreTest, MakingABackupWritableNeverChangesTheTargetOfASwappedInLink) {
    const fs::path backup = container.parent_path() / ".quorvex-disposable-race";
    const fs::path outside = fs::temp_directory_path() / ("quorvex-mode-" + std::to_string(::getpid()));
    fs::remove_all(outside);
    fs::create_directories(outside);
    fs::create_directories(backup / "sub");
    fs::create_symlink(outside, backup / "alt");
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec;
    fs::permissions(outside, readOnly);

    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop.load())
            ::renameat2(AT_FDCWD, (backup / "sub").c_str(), AT_FDCWD, (backup / "alt").c_str(),
                        RENAME_EXCHANGE);
    });
    for (int round = 0; round < 5000 && fs::status(outside).permissions() == readOnly; ++round) {
        for (const char* name : {"sub", "alt"})
            if (fs::is_directory(fs::symlink_status(backup / name)))
                fs::permissions(backup / name, readOnly);
        SnapshotStore::makeOwnerWritable(backup);
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(fs::status(outside).permissions(), readOnly);
    fs::remove_all(outside);
    fs::remove_all(backup);
}
