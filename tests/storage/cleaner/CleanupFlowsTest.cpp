#include "storage/cleaner/CleanupFlows.h"

#include "storage/cleaner/CleanupHUD.h"
#include "storage/files/Cleanup.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/FakeRunningApplications.h"
#include "support/FakeXcrun.h"
#include "support/QtPrinters.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quorvex;
namespace fs = std::filesystem;
using Target = CleanupFlowsService::Target;

namespace {

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string infoPlist(const std::string& identifier) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleIdentifier</key><string>" +
           identifier + "</string></dict></plist>\n";
}

class CleanupFlowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry : fs::directory_iterator(homeDirectoryURL()))
            fs::remove_all(entry.path());
        Cleanup::shared().setWorking(false);
        library = homeDirectoryURL() / "Library";
        derivedData = library / "Developer/Xcode/DerivedData";
        app.id = QStringLiteral("com.example.My");
        app.name = QStringLiteral("My");
        app.bundleFolder = QStringLiteral("My.app");
    }
    void TearDown() override { Cleanup::shared().setWorking(false); }

    // A project folder whose build products hold the app, with sources packages beside them.
    fs::path makeProject() {
        const fs::path project = derivedData / "My-abc";
        writeText(project / "Build/Products/Debug-iphonesimulator/My.app/Info.plist",
                  infoPlist("com.example.My"));
        writeText(project / "Index.noindex/index.db", std::string(3000, 'i'));
        writeText(project / "SourcePackages/checkouts/Lib/Lib.swift", "lib");
        return project;
    }

    bool ran(QSignalSpy& ended) { return ended.count() > 0 || ended.wait(5000); }
    // Without an app the locations are found on a worker before the alert.
    bool asked(std::size_t alerts) {
        const QDeadlineTimer deadline(5000);
        while (dialogs.alerts().size() < alerts && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return dialogs.alerts().size() >= alerts;
    }

    test::FakeClock clock;
    test::FakeRunningApplications running;
    test::FakeDialogs dialogs;
    test::ToastLog toasts;
    CleanupHUD hud{clock};
    CleanupFlows flows{
        [](const QString& id) { return id == "com.example.My" ? QStringLiteral("My.app") : QString(); },
        running, clock, Cleanup::shared(), hud};
    // Every phase and every title the panel went through, in order.
    std::vector<CleanupProgress::Phase> phases;
    QStringList titles;
    QMetaObject::Connection recording = QObject::connect(&hud.progress(), &CleanupProgress::changed, [this] {
        if (phases.empty() || !(phases.back() == hud.progress().phase()))
            phases.push_back(hud.progress().phase());
        if (titles.isEmpty() || titles.back() != hud.progress().title())
            titles.push_back(hud.progress().title());
    });
    ~CleanupFlowsTest() override { QObject::disconnect(recording); }
    // The panel's title and detail once the full ring has had its pause.
    std::pair<QString, CleanupProgress::Phase> shown() {
        clock.advance(CleanupFlows::kFullRingPause);
        return {hud.progress().title(), hud.progress().phase()};
    }
    SimulatorApp app;
    fs::path library;
    fs::path derivedData;
};

} // namespace

TEST_F(CleanupFlowsTest, ConfirmationListsSixLocationsThenHowManyMore) {
    const auto list = [](int count) {
        std::vector<fs::path> locations;
        for (int i = 0; i < count; ++i)
            locations.push_back(homeDirectoryURL() / "Library" / std::to_string(i));
        return CleanupFlows::locationList(locations).split('\n');
    };
    EXPECT_EQ(list(6).size(), 6);
    EXPECT_EQ(list(6).front(), "• ~/Library/0");
    EXPECT_EQ(list(7).size(), 7);
    EXPECT_EQ(list(7).back(), "• and 1 more");
    EXPECT_EQ(list(10).back(), "• and 4 more");
    EXPECT_EQ(CleanupFlows::locationList({"/elsewhere/x"}), "• /elsewhere/x");
}

TEST_F(CleanupFlowsTest, PerAppDerivedDataCleanKeepsTheProjectFolderAndItsPackages) {
    const fs::path project = makeProject();
    ASSERT_EQ(flows.findProjectFolders(app.id), std::vector<QString>{QFile::decodeName(project.c_str())});

    QSignalSpy ended(&flows, &CleanupFlows::runEnded);
    flows.clean(Target::derivedData, app);
    ASSERT_TRUE(ran(ended));

    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].message, "Clean DerivedData for My?");
    EXPECT_TRUE(dialogs.alerts()[0].informativeText.startsWith("This permanently deletes:\n• ~/Library/"));
    EXPECT_EQ(dialogs.alerts()[0].buttons, (QStringList{"Delete", "Cancel"}));
    EXPECT_TRUE(fs::exists(project / "SourcePackages/checkouts/Lib/Lib.swift"));
    EXPECT_FALSE(fs::exists(project / "Build"));
    EXPECT_FALSE(fs::exists(project / "Index.noindex"));
    const auto [title, phase] = shown();
    EXPECT_EQ(title, "DerivedData cleaned for My");
    EXPECT_EQ(phase.kind, CleanupProgress::Phase::Kind::success);
    EXPECT_TRUE(phase.message.startsWith("Freed "));
    // Measuring, the ring from 0 to the full total, then the success mark.
    ASSERT_GE(phases.size(), 4u);
    EXPECT_EQ(phases.front(), CleanupProgress::Phase::measuring());
    const std::int64_t total = phases[phases.size() - 2].total;
    EXPECT_GT(total, 0);
    EXPECT_EQ(phases[1], CleanupProgress::Phase::deleting(0, total));
    EXPECT_EQ(phases[phases.size() - 2], CleanupProgress::Phase::deleting(total, total));
    EXPECT_TRUE(toasts.messages().empty());
    EXPECT_FALSE(Cleanup::shared().isWorking());
    // With the products gone the folder is still the app's, through the remembered names.
    EXPECT_EQ(flows.findProjectFolders(app.id).size(), 1u);
}

// The busy flag is free during the full ring's pause, so another cleanup may take the panel; the
// earlier run's success, due after the pause, must not replace the newer run's display.
TEST_F(CleanupFlowsTest, AFinishedRunsLateSuccessLeavesANewerRunAlone) {
    makeProject();
    QSignalSpy ended(&flows, &CleanupFlows::runEnded);
    flows.clean(Target::derivedData, app);
    ASSERT_TRUE(ran(ended));
    ASSERT_FALSE(Cleanup::shared().isWorking());
    hud.show("Moving to Trash");
    const auto [title, phase] = shown();
    EXPECT_EQ(title, "Moving to Trash");
    EXPECT_EQ(phase, CleanupProgress::Phase::measuring());
}

TEST_F(CleanupFlowsTest, DecliningOrNothingToCleanDeletesNothingAndFreesTheFlag) {
    const fs::path project = makeProject();
    QSignalSpy ended(&flows, &CleanupFlows::runEnded);
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    flows.clean(Target::derivedData, std::nullopt);
    ASSERT_TRUE(ran(ended));
    EXPECT_TRUE(fs::exists(project / "Index.noindex/index.db"));
    EXPECT_FALSE(Cleanup::shared().isWorking());

    flows.clean(Target::documentation, app);
    ASSERT_TRUE(asked(2));
    EXPECT_EQ(dialogs.alerts()[1].message, "Nothing to clean");
    EXPECT_EQ(dialogs.alerts()[1].informativeText, "My has no build data to clean right now.");
    EXPECT_FALSE(Cleanup::shared().isWorking());
    EXPECT_EQ(ended.count(), 2);
}

// Every long task of the program shares one flag: a clean during one is refused with the toast,
// an erase during one asks nothing at all.
TEST_F(CleanupFlowsTest, BusyFlagRefusesCleanWithToastAndEraseSilently) {
    makeProject();
    Cleanup::shared().setWorking(true);
    flows.clean(Target::derivedData, std::nullopt);
    SimulatorInstall install;
    install.udid = "A";
    install.deviceName = "iPhone";
    app.installs = {install};
    flows.eraseAppData(app);
    EXPECT_TRUE(dialogs.alerts().empty());
    EXPECT_EQ(toasts.titles(), QStringList{"Please wait"});
    EXPECT_TRUE(Cleanup::shared().isWorking());

    Cleanup::shared().setWorking(false);
    app.installs.clear();
    flows.eraseAppData(app);
    EXPECT_TRUE(dialogs.alerts().empty());
}

TEST_F(CleanupFlowsTest, EverythingAsksXcodeToQuitAndDeletesNothingWhenItStays) {
    const fs::path project = makeProject();
    running.running[CleanupFlows::kXcodeID] = {"/Applications/Xcode.app"};
    QSignalSpy ended(&flows, &CleanupFlows::runEnded);
    flows.clean(Target::everything, std::nullopt);
    ASSERT_TRUE(asked(1));
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].message, "Quit Xcode and clean?");
    EXPECT_TRUE(
        dialogs.alerts()[0].informativeText.startsWith("Xcode quits first. This permanently deletes:\n"));
    EXPECT_EQ(dialogs.alerts()[0].buttons.front(), "Quit Xcode and Delete");
    EXPECT_EQ(running.quitRequests[CleanupFlows::kXcodeID], 1);
    EXPECT_EQ(hud.progress().title(), "Quitting Xcode…");
    EXPECT_EQ(hud.progress().phase(), CleanupProgress::Phase::measuring());

    clock.advance(CleanupFlows::kQuitPolls * CleanupFlows::kQuitPollInterval - 1);
    EXPECT_EQ(ended.count(), 0);
    clock.advance(2);
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(hud.progress().title(), "Xcode didn’t quit");
    EXPECT_EQ(hud.progress().phase(),
              CleanupProgress::Phase::failure(
                  "Nothing was deleted. Save or close your work in Xcode and try again."));
    EXPECT_TRUE(fs::exists(project / "Index.noindex/index.db"));
    EXPECT_FALSE(Cleanup::shared().isWorking());
}

// The quit step shows its title whether or not Xcode runs; without Xcode it passes at once.
TEST_F(CleanupFlowsTest, EverythingShowsTheQuitStepEvenWithoutXcode) {
    makeProject();
    QSignalSpy ended(&flows, &CleanupFlows::runEnded);
    flows.clean(Target::everything, std::nullopt);
    ASSERT_TRUE(asked(1));
    ASSERT_TRUE(ran(ended));
    EXPECT_EQ(dialogs.alerts()[0].message, "Close Xcode and Clean All?");
    EXPECT_EQ(dialogs.alerts()[0].buttons.front(), "Delete");
    EXPECT_EQ(shown().first, "All Xcode data cleaned");
    EXPECT_EQ(titles.mid(0, 3),
              (QStringList{"Close Xcode and Clean All", "Quitting Xcode…", "Close Xcode and Clean All"}));
    EXPECT_EQ(running.quitRequests[CleanupFlows::kXcodeID], 0);
}

// An app's project folders are looked up on a worker: the confirmation comes once they are known,
// and the menu's question whether an app has build data answers what the last lookup found.
TEST_F(CleanupFlowsTest, ProjectFoldersAreLookedUpOffTheGuiThread) {
    makeProject();
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    QSignalSpy ended(&flows, &CleanupFlows::runEnded);
    flows.clean(Target::derivedData, app);
    EXPECT_TRUE(dialogs.alerts().empty());
    ASSERT_TRUE(ran(ended));
    EXPECT_EQ(dialogs.alerts().size(), 1u);

    SimulatorApp other = app;
    other.id = QStringLiteral("com.example.Other");
    for (const auto& [which, expected] : {std::pair{app, true}, std::pair{other, false}}) {
        SCOPED_TRACE(which.id.toStdString());
        QSignalSpy found(&flows, &CleanupFlows::buildDataFound);
        EXPECT_EQ(flows.hasBuildData(which.id), std::nullopt);
        const QDeadlineTimer deadline(5000);
        while (!found.contains(QVariantList{which.id}) && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(flows.hasBuildData(which.id), expected);
    }
}

TEST_F(CleanupFlowsTest, EverythingCleansOnceXcodeHasQuit) {
    const fs::path project = makeProject();
    writeText(library / "Caches/org.swift.swiftpm/repo/x", "x");
    running.running[CleanupFlows::kXcodeID] = {"/Applications/Xcode.app"};
    running.quitting[CleanupFlows::kXcodeID] = 2;
    QSignalSpy ended(&flows, &CleanupFlows::runEnded);
    flows.clean(Target::everything, std::nullopt);
    ASSERT_TRUE(asked(1));
    clock.advance(5);
    ASSERT_TRUE(ran(ended));
    EXPECT_FALSE(fs::exists(derivedData));
    EXPECT_FALSE(fs::exists(library / "Caches/org.swift.swiftpm"));
    EXPECT_EQ(shown().first, "All Xcode data cleaned");
}

TEST_F(CleanupFlowsTest, EraseStopsTheAppAndKeepsContainersAndMetadata) {
    test::FakeXcrun xcrun;
    const fs::path data = library / "Developer/CoreSimulator/Devices/A/data/Containers/Data/Application/X";
    const fs::path group = library / "Developer/CoreSimulator/Devices/B/data/Containers/Shared/AppGroup/G";
    writeText(data / "Documents/notes.txt", std::string(2000, 'n'));
    writeText(data / "Library/Preferences/com.example.My.plist", "p");
    writeText(data / "tmp/scratch", "s");
    writeText(group / ".com.apple.mobile_container_manager.metadata.plist", "m");
    writeText(group / "Library/Caches/c", "c");
    writeText(group / "shared.db", "d");
    SimulatorInstall first{"A", "iPhone 15", {}, data, {}};
    SimulatorInstall second{"B", "iPad", {}, std::nullopt, {{"group.my", group}}};
    app.installs = {first, second};

    QSignalSpy ended(&flows, &CleanupFlows::runEnded);
    flows.eraseAppData(app);
    ASSERT_TRUE(ran(ended));

    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].message, "Erase My’s data on 2 simulators?");
    EXPECT_EQ(dialogs.alerts()[0].buttons, (QStringList{"Erase Data", "Cancel"}));
    const auto calls = xcrun.argumentLists();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"simctl", "terminate", "A", "com.example.My"}));
    EXPECT_EQ(calls[1],
              (std::vector<std::string>{"simctl", "spawn", "A", "defaults", "delete", "com.example.My"}));
    for (const char* sub : {"Documents", "Library", "tmp"}) {
        EXPECT_TRUE(fs::is_directory(data / sub));
        EXPECT_TRUE(fs::is_empty(data / sub));
    }
    EXPECT_TRUE(fs::exists(group / ".com.apple.mobile_container_manager.metadata.plist"));
    EXPECT_TRUE(fs::is_empty(group / "Library"));
    EXPECT_FALSE(fs::exists(group / "shared.db"));
    const auto [title, phase] = shown();
    EXPECT_EQ(title, "Erased My’s data");
    EXPECT_TRUE(phase.message.endsWith(" on 2 simulators. The app starts fresh on next launch."));
}

// A DerivedData folder moved to another disk and replaced by a link is a common setup. The link
// is never removed: through it the clean reaches only what the guard allows, the contents of a
// target inside ~/Library, and otherwise stops with nothing removed.
TEST_F(CleanupFlowsTest, AGlobalCleanOfALinkedDerivedDataNeverRemovesTheLink) {
    struct Case {
        const char* what;
        fs::path target; // where the link points; empty: nowhere
        bool cleaned;    // the target's contents go
        QString title;
    };
    const Case cases[] = {
        {"a target on another disk", homeDirectoryURL() / "FastDisk/DerivedData", false,
         "Couldn’t finish cleaning"},
        {"a target inside ~/Library", homeDirectoryURL() / "Library/Developer/Xcode/DerivedData-moved", true,
         "DerivedData cleaned"},
        {"a disk that is not mounted", {}, false, "DerivedData cleaned"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        fs::create_directories(derivedData.parent_path());
        const fs::path target = c.target.empty() ? homeDirectoryURL() / "Unmounted/DerivedData" : c.target;
        if (!c.target.empty()) {
            writeText(target / "My-abc/Build/Products/app.bin", std::string(4000, 'b'));
            writeText(target / "My-abc/info.plist", "p");
            writeText(target / "ModuleCache.noindex/m", "m");
        }
        fs::create_symlink(target, derivedData);

        QSignalSpy ended(&flows, &CleanupFlows::runEnded);
        flows.clean(Target::derivedData, std::nullopt);
        ASSERT_TRUE(ran(ended));
        EXPECT_EQ(shown().first, c.title);
        ASSERT_TRUE(fs::is_symlink(derivedData));
        EXPECT_EQ(fs::read_symlink(derivedData), target);
        if (!c.target.empty()) {
            EXPECT_TRUE(fs::is_directory(target));
            EXPECT_EQ(fs::is_empty(target), c.cleaned);
        }
    }
}
