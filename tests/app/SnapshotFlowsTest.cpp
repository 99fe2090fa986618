#include "app/SnapshotFlows.h"

#include "actions/SnapshotStore.h"
#include "app/MenuTestWorld.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <QLineEdit>

#include <fstream>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using test::findRow;
using test::installOn;
using test::notes;
using test::outline;

const ToastMessage kBusy{"Please wait",
                         QString("Another task is still running: a cleanup, snapshot, or download."),
                         "hourglass", true};

// Types `text` into the save dialog's name field and presses Save.
std::function<int(const Alert&)> typeName(const QString& text) {
    return [text](const Alert& alert) {
        qobject_cast<QLineEdit*>(alert.accessory)->setText(text);
        return Dialogs::kFirstButton;
    };
}

class SnapshotFlowsTest : public ::testing::Test {
protected:
    void SetUp() override { xcrun.on({"**"}); }
    void TearDown() override { fs::remove_all(homeDirectoryURL() / "Library"); }

    AppSnapshot save(const SimulatorApp& app, const QString& name) {
        return SnapshotStore::save(app, app.installs.front(), name);
    }

    test::FakeXcrun xcrun;
    test::FakeDialogs dialogs;
    test::MenuTestWorld world;
};

TEST_F(SnapshotFlowsTest, TheSaveDialogNamesTheSnapshotAndHoldsTheBusyFlagUntilItsToast) {
    struct Case {
        const char* name;
        std::function<int(const Alert&)> answer;
        std::optional<QString> saved; // none: nothing saved, no toast
    };
    const std::vector<Case> cases = {
        {"cleared field", typeName(""), QString("Snapshot")},
        {"only spaces", typeName("   "), QString("Snapshot")},
        {"leading spaces are kept", typeName("  Before login"), QString("  Before login")},
        {"the proposed name, offered selected",
         [](const Alert& alert) {
             const auto* field = qobject_cast<QLineEdit*>(alert.accessory);
             EXPECT_TRUE(field->text().startsWith("Snapshot "));
             EXPECT_EQ(field->selectedText(), field->text()) << "typing replaces it";
             return Dialogs::kFirstButton + 1;
         },
         std::nullopt},
        {"cancelled", [](const Alert&) { return Dialogs::kFirstButton + 1; }, std::nullopt},
    };
    const SimulatorApp app = notes({installOn("A", "iPhone 16")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(SnapshotStore::rootFolder());
        dialogs.clear();
        dialogs.queueAnswer(c.answer);
        test::ToastLog toasts;
        const QFuture<void> done = SnapshotFlows(Cleanup::shared()).confirmSave(app, app.installs.front());
        EXPECT_EQ(Cleanup::shared().isWorking(), c.saved.has_value()) << "held from the dialog on";
        test::finish(done);
        ASSERT_EQ(dialogs.alerts().size(), 1u);
        EXPECT_EQ(dialogs.alerts()[0].message, "Save a snapshot of Notes");
        EXPECT_EQ(dialogs.alerts()[0].informativeText,
                  "The app is stopped while its data on iPhone 16 is copied.");
        EXPECT_EQ(dialogs.alerts()[0].buttons, QStringList({"Save", "Cancel"}));
        EXPECT_FALSE(Cleanup::shared().isWorking());
        const std::vector<AppSnapshot> listed = SnapshotStore::list(app.id);
        if (!c.saved) {
            EXPECT_TRUE(listed.empty());
            EXPECT_TRUE(toasts.messages().empty());
            continue;
        }
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].name, *c.saved);
        ASSERT_EQ(toasts.messages().size(), 1u);
        EXPECT_EQ(toasts.messages()[0].title, "Saved “" + *c.saved + "”");
        EXPECT_EQ(toasts.messages()[0].symbol, "clock.arrow.circlepath");
        EXPECT_FALSE(toasts.messages()[0].failed);
    }
}

TEST_F(SnapshotFlowsTest, ASaveOrRestoreConfirmedDuringAnotherLongTaskOnlyAsksToWait) {
    const SimulatorApp app = notes({installOn("A", "iPhone 16")});
    const AppSnapshot snapshot = save(app, "Saved");
    const size_t toolRuns = xcrun.calls().size();
    ASSERT_TRUE(Cleanup::shared().beginLongTask()); // a cleanup runs
    test::ToastLog toasts;
    test::finish(SnapshotFlows(Cleanup::shared()).confirmSave(app, app.installs.front()));
    test::finish(SnapshotFlows(Cleanup::shared()).confirmRestore(snapshot, app, app.installs.front()));
    EXPECT_EQ(toasts.messages(), (std::vector<ToastMessage>{kBusy, kBusy}));
    EXPECT_TRUE(Cleanup::shared().isWorking()) << "the flag stays the cleanup's";
    EXPECT_EQ(SnapshotStore::list(app.id).size(), 1u);
    EXPECT_EQ(xcrun.calls().size(), toolRuns) << "the app was not stopped";
}

TEST_F(SnapshotFlowsTest, ARestoreIsConfirmedThenReportedAndReleasesTheBusyFlag) {
    const SimulatorApp app = notes({installOn("A", "iPhone 16")});
    const AppSnapshot snapshot = save(app, "Saved");
    std::ofstream(*app.installs[0].dataContainer / "Documents/note.txt") << "changed";

    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    test::ToastLog cancelled;
    test::finish(SnapshotFlows(Cleanup::shared()).confirmRestore(snapshot, app, app.installs.front()));
    EXPECT_TRUE(cancelled.messages().empty());
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    const auto& asked = dialogs.alerts()[0];
    EXPECT_EQ(asked.message, "Restore “Saved” to iPhone 16?");
    EXPECT_EQ(
        asked.informativeText,
        "Notes is stopped and its current documents, settings, caches, and app group data on iPhone 16 are "
        "replaced. The current data can’t be recovered unless you save a snapshot of it first.");
    EXPECT_EQ(asked.style, Alert::Style::Warning);
    EXPECT_EQ(asked.destructive, (std::vector<bool>{true, false}));

    // What an interrupted restore left beside the container is put away, and the user told where.
    fs::create_directories(app.installs[0].dataContainer->parent_path() / ".quorvex-backup-1234/Documents");
    dialogs.clear();
    test::ToastLog toasts;
    test::finish(SnapshotFlows(Cleanup::shared()).confirmRestore(snapshot, app, app.installs.front()));
    ASSERT_EQ(dialogs.alerts().size(), 2u);
    EXPECT_EQ(dialogs.alerts()[1].message, "Restored “Saved”");
    EXPECT_TRUE(
        dialogs.alerts()[1].informativeText.startsWith("Data left by an interrupted restore was kept in"))
        << dialogs.alerts()[1].informativeText.toStdString();
    EXPECT_EQ(toasts.messages(),
              (std::vector<ToastMessage>{{"Restored “Saved”", QString("Notes on iPhone 16"),
                                          "arrow.uturn.backward.circle", false}}));
    EXPECT_FALSE(Cleanup::shared().isWorking());
    std::ifstream restored(*app.installs[0].dataContainer / "Documents/note.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(restored), {}), "first");

    SimulatorApp other = app;
    other.id = "com.demo.other";
    test::ToastLog refused;
    test::finish(SnapshotFlows(Cleanup::shared()).confirmRestore(snapshot, other, app.installs.front()));
    EXPECT_EQ(refused.messages(), (std::vector<ToastMessage>{
                                      {"Couldn’t restore", QString("This snapshot belongs to another app."),
                                       "exclamationmark.triangle", true}}));
    EXPECT_FALSE(Cleanup::shared().isWorking());
}

TEST_F(SnapshotFlowsTest, ADeleteIsRefusedWhileALongTaskRunsAndReportsTheStoresAnswer) {
    const SimulatorApp app = notes({installOn("A", "iPhone 16")});
    const AppSnapshot snapshot = save(app, "Saved");
    const fs::path folder = SnapshotStore::folder(snapshot);

    // A restore may be reading this very snapshot.
    ASSERT_TRUE(Cleanup::shared().beginLongTask());
    test::ToastLog busy;
    test::finish(SnapshotFlows(Cleanup::shared()).confirmDelete(snapshot));
    EXPECT_EQ(busy.messages(), std::vector<ToastMessage>{kBusy});
    EXPECT_TRUE(fs::exists(folder / "info.json"));
    EXPECT_TRUE(Cleanup::shared().isWorking());
    Cleanup::shared().setWorking(false);

    dialogs.clear();
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    test::ToastLog cancelled;
    test::finish(SnapshotFlows(Cleanup::shared()).confirmDelete(snapshot));
    EXPECT_TRUE(cancelled.messages().empty());
    EXPECT_TRUE(fs::exists(folder));
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].message, "Delete snapshot “Saved”?");
    EXPECT_EQ(dialogs.alerts()[0].informativeText,
              "The saved copy is deleted. The app’s current data isn’t affected.");
    EXPECT_EQ(dialogs.alerts()[0].buttons, QStringList({"Delete", "Cancel"}));

    test::ToastLog deleted;
    test::finish(SnapshotFlows(Cleanup::shared()).confirmDelete(snapshot));
    EXPECT_EQ(deleted.messages(),
              (std::vector<ToastMessage>{{"Deleted “Saved”", std::nullopt, "trash", false}}));
    EXPECT_FALSE(fs::exists(folder));

    AppSnapshot elsewhere = snapshot;
    elsewhere.folder = homeDirectoryURL() / "Library/Other/Saved";
    fs::create_directories(*elsewhere.folder);
    test::ToastLog refused;
    test::finish(SnapshotFlows(Cleanup::shared()).confirmDelete(elsewhere));
    EXPECT_EQ(refused.messages(),
              (std::vector<ToastMessage>{{"Couldn’t delete the snapshot",
                                          QString("The snapshot isn’t in the snapshot folder."),
                                          "exclamationmark.triangle", true}}));
    EXPECT_TRUE(fs::exists(*elsewhere.folder));
}

} // namespace
} // namespace quorvex
