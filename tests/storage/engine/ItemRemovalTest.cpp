#include "storage/engine/ItemRemoval.h"

#include "platform/data/FreedesktopTrash.h"
#include "storage/engine/SpaceSaved.h"
#include "support/FakeTrash.h"
#include "support/FakeXcrun.h"
#include "support/PrivateMounts.h"
#include "support/ScopedApplicationsFolders.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::map<std::string, std::string> snapshotOf(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
        const std::string key = it->path().lexically_relative(root).string();
        if (it->is_symlink())
            entries[key] = "link:" + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            entries[key] = "folder";
        else
            entries[key] = "file:" + readText(it->path());
    }
    return entries;
}

} // namespace

TEST(ItemRemovalTest, OutcomeOfAClean) {
    using Outcome = ItemRemoval::Outcome;
    struct Case {
        const char* what;
        int count;
        std::vector<QString> errors;
        std::int64_t total;
        std::int64_t trashed;
        Outcome expected;
    };
    const Case cases[] = {
        {"all trashed",
         2,
         {},
         3'000'000,
         3'000'000,
         {"Cleaned up", false, "Moved 3 MB to the Trash. Empty it to free the space."}},
        {"all deleted", 2, {}, 1'500'000, 0, {"Cleaned up", false, "Freed 1.5 MB."}},
        {"a simulator deleted, files trashed",
         3,
         {},
         5'000'000,
         2'000'000,
         {"Cleaned up", false, "Freed 3 MB. Moved 2 MB to the Trash. Empty it to free the space."}},
        {"zero bytes", 2, {}, 0, 0, {"Cleaned up", false, "Done."}},
        {"one failure",
         3,
         {"Old.app: outside the folders Quorvex may clean"},
         9,
         0,
         {"2 of 3 items cleaned", true, "Old.app: outside the folders Quorvex may clean"}},
        {"three failures",
         5,
         {"a: x", "b: y", "c: z"},
         9,
         0,
         {"2 of 5 items cleaned", true, "a: x (+2 more)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ItemRemoval::outcome(c.count, c.errors, c.total, c.trashed), c.expected);
    }
}

// Simulators and runtimes go through simctl only with UUID-shaped identifiers: nothing else is
// ever passed to `simctl delete`.
TEST(ItemRemovalTest, SimctlDeletesOnlyUuids) {
    test::FakeXcrun fake;
    const QString udid = "5c1a7e2b-0000-4000-8000-00000000000a";
    fake.on({"simctl", "delete", udid.toStdString()});
    fake.on({"simctl", "runtime", "delete", "*"}, "", 1);
    test::FakeTrash trash;
    EXPECT_EQ(ItemRemoval::remove(CleanupRemoval::ofSimulator(udid), true, trash), std::nullopt);
    EXPECT_EQ(
        ItemRemoval::remove(CleanupRemoval::ofRuntime("0C0FFEE0-0000-4000-8000-000000000002"), true, trash),
        ItemRemoval::kRuntimeFailed);
    for (const char* bad : {"all", "unavailable", "-rf", "booted", ""}) {
        EXPECT_EQ(ItemRemoval::remove(CleanupRemoval::ofSimulator(bad), false, trash),
                  ItemRemoval::kSimulatorFailed);
        EXPECT_EQ(ItemRemoval::remove(CleanupRemoval::ofRuntime(bad), false, trash),
                  ItemRemoval::kRuntimeFailed);
    }
    EXPECT_EQ(fake.argumentLists().size(), 2u);
    EXPECT_TRUE(trash.trashed().empty());
}

namespace {
QStringList* toolRuns = nullptr;
void recordToolRun(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (toolRuns && QByteArray(context.category) == "quorvex.tools")
        toolRuns->append(message);
}
} // namespace

// Deleting a simulator or a runtime takes as long as its data: a cut-off would report a failure
// while simctl may still be deleting. The tool runner logs each run with its bound.
TEST(ItemRemovalTest, SimctlDeletionsHaveNoCutOff) {
    test::FakeXcrun fake;
    fake.on({"simctl", "delete", "*"});
    fake.on({"simctl", "runtime", "delete", "*"});
    QStringList runs;
    toolRuns = &runs;
    QLoggingCategory::setFilterRules(QStringLiteral("quorvex.tools.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(recordToolRun);
    const auto restore = qScopeGuard([&] {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        toolRuns = nullptr;
    });
    test::FakeTrash trash;
    const QString uuid = "5C1A7E2B-0000-4000-8000-00000000000A";
    EXPECT_EQ(ItemRemoval::remove(CleanupRemoval::ofSimulator(uuid), false, trash), std::nullopt);
    EXPECT_EQ(ItemRemoval::remove(CleanupRemoval::ofRuntime(uuid), false, trash), std::nullopt);
    ASSERT_EQ(runs.size(), 2);
    for (const QString& run : runs)
        EXPECT_TRUE(run.endsWith(QStringLiteral("(timeout none)"))) << run.toStdString();
}

namespace {

// ~/Library with items to clean, a sentinel tree outside HOME that links point to, and the two
// modes: the home Trash, and deletion.
class ItemRemovalSuite : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        home = homeDirectoryURL();
        for (const auto& entry : fs::directory_iterator(home))
            fs::remove_all(entry.path());
        library = home / "Library";
        fs::create_directories(library / "Caches");
        sentinel = fs::temp_directory_path() / ("quorvex-removal-sentinel-" + std::to_string(::getpid()));
        fs::remove_all(sentinel);
        writeText(sentinel / "keep.txt", "keep");
        writeText(sentinel / "folder/deep/keep.bin", "deep");
        before = snapshotOf(sentinel);
    }
    void TearDown() override {
        EXPECT_EQ(snapshotOf(sentinel), before) << "the sentinel outside HOME changed";
        fs::remove_all(sentinel);
    }

    bool toTrash() const { return GetParam(); }

    fs::path home, library, sentinel;
    std::map<std::string, std::string> before;
};

} // namespace

TEST_P(ItemRemovalSuite, HostileTreesAreRemovedWithoutTouchingAnythingOutside) {
    FreedesktopTrash trash(home / ".local/share/Trash",
                           [] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); });
    const std::string longName(255, 'L');
    const std::vector<std::string> names = {"...", "-rf", "new\nline", "\xff", longName, "plain"};
    const auto fill = [&](const fs::path& victim) {
        writeText(victim / "file", "x");
        fs::create_symlink(sentinel, victim / "to-sentinel");
        fs::create_directories(victim / "a/b/c");
        fs::create_symlink(sentinel / "keep.txt", victim / "a/to-file");
        fs::create_symlink(sentinel / "folder", victim / "a/b/to-folder");
        fs::create_symlink(sentinel / "folder/deep", victim / "a/b/c/to-deep");
        fs::create_symlink("loop-2", victim / "a/loop-1");
        fs::create_symlink("loop-1", victim / "a/loop-2");
        fs::create_hard_link(sentinel / "keep.txt", victim / "a/b/hard-link");
        for (const std::string& name : names)
            writeText(victim / "names" / name, name);
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        const fs::path victim = library / "Caches" / name;
        fill(victim);
        EXPECT_EQ(ItemRemoval::remove(CleanupRemoval::ofFile(victim), toTrash(), trash), std::nullopt);
        EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
        EXPECT_EQ(snapshotOf(sentinel), before);
    }
    if (toTrash()) {
        // Every record names where its item came from, so a file manager can put it back.
        int records = 0;
        for (const auto& entry : fs::directory_iterator(trash.folder() / "info")) {
            const std::string text = readText(entry.path());
            const auto at = text.find("\nPath=");
            ASSERT_NE(at, std::string::npos);
            const std::string encoded = text.substr(at + 6, text.find('\n', at + 6) - at - 6);
            const fs::path original =
                QByteArray::fromPercentEncoding(QByteArray::fromStdString(encoded)).toStdString();
            EXPECT_EQ(original.parent_path(), fs::canonical(library / "Caches"));
            EXPECT_TRUE(fs::exists(fs::symlink_status(trash.folder() / "files" / entry.path().stem())));
            ++records;
        }
        EXPECT_EQ(records, static_cast<int>(names.size()));
    }
}

TEST_P(ItemRemovalSuite, WhatLiesOutsideIsRefusedUntouchedAndLinksGoAsLinks) {
    test::FakeTrash fakeTrash;
    FreedesktopTrash realTrash(home / ".local/share/Trash");
    Trash& trash = toTrash() ? static_cast<Trash&>(realTrash) : fakeTrash;
    fs::create_symlink(sentinel, library / "Link");
    fs::create_symlink(sentinel / "keep.txt", library / "FileLink");
    struct Case {
        const char* what;
        fs::path path;
        std::optional<QString> error;
        bool gone;
    };
    const Case cases[] = {
        {"an item behind a link that points outside", library / "Link/keep.txt", ItemRemoval::kOutside,
         false},
        {"a folder behind a link", library / "Link/folder", ItemRemoval::kOutside, false},
        {"an item outside HOME", sentinel / "folder", ItemRemoval::kOutside, false},
        {"the Library folder itself", library, ItemRemoval::kOutside, false},
        {"a climb out of Library", library / "Caches/../../x", std::nullopt, false}, // nothing there: gone
        {"a link to a folder outside", library / "Link", std::nullopt, true},
        {"a link to a file outside", library / "FileLink", std::nullopt, true},
        {"a vanished item", library / "Caches/vanished", std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ItemRemoval::remove(CleanupRemoval::ofFile(c.path), toTrash(), trash), c.error);
        if (c.gone) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(c.path)));
        }
        EXPECT_EQ(snapshotOf(sentinel), before);
    }
}

// A tree deeper than any path, holding a link to the sentinel at its bottom: trashed whole or
// deleted through descriptors, and the link goes as a link.
TEST_P(ItemRemovalSuite, ATreeDeeperThanAnyPathIsRemovedAndItsLinksAreNotFollowed) {
    FreedesktopTrash trash(home / ".local/share/Trash");
    const fs::path top = library / "Caches/deep";
    fs::create_directories(top);
    int folder = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    for (int depth = 0; depth < 3000; ++depth) {
        ASSERT_EQ(::mkdirat(folder, "d", 0755), 0);
        const int next = ::openat(folder, "d", O_RDONLY | O_DIRECTORY);
        ::close(folder);
        ASSERT_GE(next, 0);
        folder = next;
    }
    EXPECT_EQ(::symlinkat(sentinel.c_str(), folder, "to-sentinel"), 0);
    ::close(::openat(folder, "leaf", O_CREAT | O_WRONLY, 0644));
    ::close(folder);

    EXPECT_EQ(ItemRemoval::remove(CleanupRemoval::ofFile(top), toTrash(), trash), std::nullopt);
    EXPECT_FALSE(fs::exists(fs::symlink_status(top)));
    if (toTrash()) {
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(trash.folder() / "files/deep")));
    }
}

// A bind mount of the sentinel inside the item, or the item itself a bind mount of it, in a
// private mount namespace of a child process, so the mount goes with the child. The trash refuses
// such an item, the delete leaves the mount alone; both say why. Then the child empties the Trash
// as a file manager does, crossing into whatever mount lies in there: the sentinel keeps every
// file.
TEST_P(ItemRemovalSuite, ABindMountIsNeverCrossedNotEvenWhenTheTrashIsEmptied) {
    for (const bool targetIsMount : {false, true}) {
        SCOPED_TRACE(targetIsMount ? "the item is a mount point" : "a mount point inside the item");
        const fs::path victim = library / "Caches/victim";
        fs::remove_all(victim);
        writeText(victim / "a/file.txt", "x");
        const fs::path mountPoint = targetIsMount ? victim : victim / "a/mounted";
        fs::create_directories(mountPoint);
        const fs::path trashFolder = home / ".local/share/Trash";
        enum Answer { refusedForTheMount = 1, anotherError, movedAnyway };
        const int answer = test::inPrivateMounts([&]() -> int {
            if (!test::bindMount(sentinel, mountPoint))
                return test::kNoMounts;
            FreedesktopTrash trash(trashFolder);
            const std::optional<QString> error =
                ItemRemoval::remove(CleanupRemoval::ofFile(victim), toTrash(), trash);
            std::error_code ignored;
            fs::remove_all(trashFolder / "files", ignored);
            if (error != ItemRemoval::kHoldsMount)
                return error ? anotherError : movedAnyway;
            return toTrash() && !fs::exists(victim) ? movedAnyway : refusedForTheMount;
        });
        if (answer == test::kNoMounts)
            GTEST_SKIP() << "this system does not allow a private mount namespace with a bind mount";
        EXPECT_EQ(answer, refusedForTheMount);
        EXPECT_EQ(snapshotOf(sentinel), before);
    }
}

INSTANTIATE_TEST_SUITE_P(TrashAndDelete, ItemRemovalSuite, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "trash" : "delete"; });

TEST(SpaceSavedTest, AddsStoresAndReadsBack) {
    sharedDefaults().remove(SpaceSaved::kKey);
    SpaceSaved saved;
    EXPECT_EQ(saved.total(), 0);
    QSignalSpy changes(&saved, &SpaceSaved::totalChanged);
    saved.add(1500);
    saved.add(2500);
    saved.add(0);
    saved.add(-10);
    EXPECT_EQ(saved.total(), 4000);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(sharedDefaults().value(SpaceSaved::kKey).toLongLong(), 4000);
    saved.setTotal(4000);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(SpaceSaved().total(), 4000); // after a restart

    saved.add(std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(saved.total(), std::numeric_limits<std::int64_t>::max());
    sharedDefaults().remove(SpaceSaved::kKey);
}

// A folder inside the item is swapped again and again for a link to the sentinel while the item
// is removed: the removal works through descriptors and never follows the link it meets. A few
// dozen rounds keep the suite fast; run it with --gtest_repeat for a long soak.
TEST_P(ItemRemovalSuite, ASwappedInLinkNeverRedirectsTheRemoval) {
    FreedesktopTrash trash(home / ".local/share/Trash");
    const fs::path victim = library / "Caches/race";
    for (int round = 0; round < 60; ++round) {
        fs::remove_all(victim);
        writeText(victim / "sub/inner/file", "x");
        writeText(victim / "sub/file", "x");
        fs::create_symlink(sentinel / "folder", victim / "alt");
        std::atomic<bool> stop{false};
        std::thread swapper([&] {
            while (!stop.load())
                ::renameat2(AT_FDCWD, (victim / "sub").c_str(), AT_FDCWD, (victim / "alt").c_str(),
                            RENAME_EXCHANGE);
        });
        ItemRemoval::remove(CleanupRemoval::ofFile(victim), toTrash(), trash);
        stop = true;
        swapper.join();
    }
    fs::remove_all(victim);
    EXPECT_EQ(snapshotOf(sentinel), before);
}

// Old and beta Xcode copies are cleaned from the Applications folders, and only bundles that say
// they are Xcode. Impostors are refused; a bundle that is a link, or whose Info.plist is a link to
// outside, goes as itself and never takes the outside with it.
TEST_P(ItemRemovalSuite, FakeXcodeBundlesGoOnlyWhenTheyAreXcodeAndNeverTakeTheOutsideAlong) {
    const fs::path systemApps = home / "SystemApplications";
    const fs::path userApps = home / "Applications";
    test::ScopedApplicationsFolders folders(systemApps, userApps);
    FreedesktopTrash trash(home / ".local/share/Trash");
    const auto infoPlist = [](const std::string& bundleID) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>" +
               bundleID + "</string></dict></plist>\n";
    };
    const auto makeBundle = [&](const fs::path& bundle, const std::string& bundleID) {
        writeText(bundle / "Contents/Info.plist", infoPlist(bundleID));
        writeText(bundle / "Contents/MacOS/Xcode", "binary");
        fs::create_symlink(sentinel, bundle / "Contents/Developer");
        fs::create_hard_link(sentinel / "keep.txt", bundle / "Contents/hard-link");
    };
    writeText(sentinel / "Outside.app/Contents/Info.plist", infoPlist("com.apple.dt.Xcode"));
    fs::create_directories(systemApps);
    fs::create_directories(userApps);
    before = snapshotOf(sentinel);

    makeBundle(systemApps / "Xcode-15.4.app", "com.apple.dt.Xcode");
    makeBundle(userApps / "Xcode-beta.app", "com.apple.dt.Xcode");
    makeBundle(userApps / "Xcodes.app", "com.example.xcodes");
    makeBundle(userApps / "Nested/Xcode.app", "com.apple.dt.Xcode");
    fs::create_symlink(sentinel / "Outside.app", userApps / "Xcode-link.app");
    fs::create_directories(userApps / "Xcode-plist-link.app/Contents");
    fs::create_symlink(sentinel / "Outside.app/Contents/Info.plist",
                       userApps / "Xcode-plist-link.app/Contents/Info.plist");

    struct Case {
        const char* what;
        fs::path bundle;
        std::optional<QString> error;
    };
    const Case cases[] = {
        {"Xcode in the system Applications folder", systemApps / "Xcode-15.4.app", std::nullopt},
        {"a beta in the user's Applications folder", userApps / "Xcode-beta.app", std::nullopt},
        {"another app named like Xcode", userApps / "Xcodes.app", ItemRemoval::kOutside},
        {"Xcode one folder further down", userApps / "Nested/Xcode.app", ItemRemoval::kOutside},
        {"a link to an Xcode outside", userApps / "Xcode-link.app", std::nullopt},
        {"a bundle whose Info.plist links outside", userApps / "Xcode-plist-link.app", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ItemRemoval::remove(CleanupRemoval::ofFile(c.bundle), toTrash(), trash), c.error);
        EXPECT_EQ(fs::exists(fs::symlink_status(c.bundle)), c.error.has_value());
        EXPECT_EQ(snapshotOf(sentinel), before);
    }
}

namespace {

// What a freedesktop file manager does to put an item back: the record's Path (percent-encoded,
// absolute) names where it goes, the item under files/ with the record's name moves there, and
// the record goes. Answers false for a record the rules do not accept.
bool restoreFromTrash(const fs::path& trashFolder, const fs::path& record) {
    const std::string text = readText(record);
    if (!text.starts_with("[Trash Info]\n"))
        return false;
    std::optional<std::string> path;
    std::optional<std::string> date;
    std::istringstream lines(text.substr(13));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("Path="))
            path = line.substr(5);
        else if (line.starts_with("DeletionDate="))
            date = line.substr(13);
    }
    if (!path || !date || !QDateTime::fromString(QString::fromStdString(*date), Qt::ISODate).isValid())
        return false;
    const fs::path original = QByteArray::fromPercentEncoding(QByteArray::fromStdString(*path)).toStdString();
    if (!original.is_absolute() || fs::exists(fs::symlink_status(original)))
        return false;
    fs::rename(trashFolder / "files" / record.stem(), original);
    fs::remove(record);
    return true;
}

} // namespace

// A clean in trash mode can be put back whole: every record is valid by the freedesktop rules and
// restoring them all gives back the folder exactly as it was, odd names and links included.
TEST(ItemRemovalTrashTest, ATrashModeCleanIsPutBackByTheFileManagersRules) {
    const fs::path home = homeDirectoryURL();
    const fs::path caches = home / "Library/Developer/Xcode/DerivedData";
    fs::remove_all(home / "Library");
    fs::remove_all(home / ".local/share/Trash");
    const std::vector<std::string> names = {"App-abc", "with space", "per%cent", "new\nline", "\xff", "-rf"};
    for (const std::string& name : names) {
        writeText(caches / name / "Build/Intermediates/file.o", name);
        fs::create_symlink("Build", caches / name / "link");
    }
    const auto before = snapshotOf(caches);
    FreedesktopTrash trash(home / ".local/share/Trash");
    for (const std::string& name : names)
        ASSERT_EQ(ItemRemoval::remove(CleanupRemoval::ofFile(caches / name), true, trash), std::nullopt);
    ASSERT_TRUE(snapshotOf(caches).empty());

    int restored = 0;
    for (const auto& record : fs::directory_iterator(trash.folder() / "info")) {
        EXPECT_EQ(record.path().extension(), ".trashinfo");
        EXPECT_TRUE(restoreFromTrash(trash.folder(), record.path())) << record.path();
        ++restored;
    }
    EXPECT_EQ(restored, static_cast<int>(names.size()));
    EXPECT_EQ(snapshotOf(caches), before);
    EXPECT_TRUE(fs::is_empty(trash.folder() / "files"));
}
