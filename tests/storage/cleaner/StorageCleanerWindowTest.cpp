#include "storage/cleaner/StorageCleanerWindow.h"

#include "CleanerModelFixture.h"
#include "storage/cleaner/CategoryDetail.h"
#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanupHUD.h"
#include "storage/cleaner/ConfirmationSheet.h"
#include "storage/cleaner/OverviewDetail.h"
#include "storage/cleaner/SidebarRow.h"
#include "storage/cleaner/StorageCleanerView.h"
#include "storage/engine/CategoryScan.h"
#include "support/FakeClock.h"
#include "support/ToastLog.h"
#include "ui/Animator.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;
using Mode = StorageCleanerModel::Mode;
using Section = StorageCleanerModel::Section;
using test::cleanupItem;

SimulatorApp app(const QString& id, const QString& name) {
    SimulatorApp made;
    made.id = id;
    made.name = name;
    return made;
}

CleanupItem archive(const QString& id, std::int64_t size, const QString& bundleID) {
    CleanupItem made = cleanupItem(id, size);
    made.bundleID = bundleID;
    return made;
}

// The window over a model whose scanner answers from `table`; kinds in `held` keep scanning
// until the test lets them go.
class StorageCleanerWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        release();
        QThreadPool::globalInstance()->waitForDone();
    }

    void settle() {
        QDeadlineTimer deadline(10'000);
        while (!model().scanning().empty() || model().isCleaning()) {
            ASSERT_FALSE(deadline.hasExpired());
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    void release() {
        {
            std::lock_guard lock(mutex);
            held.clear();
        }
        released.notify_all();
    }
    void hold(Kind kind) {
        std::lock_guard lock(mutex);
        held.insert(kind);
    }
    void put(Kind kind, std::vector<CleanupItem> items) {
        std::lock_guard lock(mutex);
        table[kind] = std::move(items);
    }

    StorageCleanerModel& model() { return cleaner.model(); }
    StorageCleanerView* view() { return cleaner.window()->findChild<StorageCleanerView*>(); }

    std::mutex mutex;
    std::condition_variable released;
    std::set<Kind> held;
    std::map<Kind, std::vector<CleanupItem>> table;
    std::vector<std::pair<QString, bool>> removed;
    test::FakeTrash trash;
    test::PlainGate gate;
    test::FakeClock clock;
    CleanupHUD hud{clock};
    bool freshDefaults = (sharedDefaults().remove(SpaceSaved::kKey),
                          sharedDefaults().remove(StorageCleanerWindow::kFrameKey), true);
    SpaceSaved spaceSaved;
    StorageCleanerWindow cleaner{{[this](Kind kind) {
                                      std::unique_lock lock(mutex);
                                      released.wait(lock, [&] { return !held.count(kind); });
                                      CleanupCategory category(kind);
                                      category.items = table[kind];
                                      return category;
                                  },
                                  trash, gate, hud, spaceSaved, false, &clock}};
    bool recordingRemover = (cleaner.model().setRemover([this](const CleanupRemoval& removal, bool toTrash) {
        std::lock_guard lock(mutex);
        removed.emplace_back(QString::fromStdString(removal.file.string()), toTrash);
        return std::optional<QString>();
    }),
                             true);
};

TEST_F(StorageCleanerWindowTest, EveryShowPointsTheOneWindowAtItsSectionAndRescans) {
    struct Step {
        std::optional<QString> section;
        std::optional<SimulatorApp> app;
        Section shown;
        std::optional<QString> filter;
    };
    const SimulatorApp notes = app("com.example.Notes", "Notes");
    const Step steps[] = {
        {std::nullopt, std::nullopt, Section::overview(), std::nullopt},
        {std::nullopt, notes, Section::category(Kind::archives), "com.example.Notes"},
        {std::nullopt, std::nullopt, Section::overview(), std::nullopt},     // the filter is lifted again
        {"logs", notes, Section::category(Kind::logs), "com.example.Notes"}, // a kind wins, the filter stays
        {"derivedData", std::nullopt, Section::category(Kind::derivedData), std::nullopt},
        {"no such kind", std::nullopt, Section::overview(), std::nullopt},
    };
    QMainWindow* first = nullptr;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.section.value_or("-").toStdString());
        cleaner.show(step.section, step.app);
        EXPECT_EQ(model().scanning().size(), CleanupCategory::allKinds.size()); // a fresh scan of every kind
        if (!first)
            first = cleaner.window();
        EXPECT_EQ(cleaner.window(), first);
        EXPECT_TRUE(first->isVisible());
        EXPECT_EQ(model().section(), step.shown);
        const auto& filter = model().archiveFilter();
        EXPECT_EQ(filter ? std::optional<QString>(filter->bundleID) : std::nullopt, step.filter);
        settle();
    }
    EXPECT_EQ(cleaner.window()->windowTitle(), "Storage Cleaner");
    EXPECT_EQ(cleaner.window()->size(), QSize(960, 640));
    EXPECT_EQ(QApplication::topLevelWidgets().count(first), 1);
}

TEST_F(StorageCleanerWindowTest, ClosingAndReopeningKeepsTheSelectionLessWhatTheRescanNoLongerFinds) {
    put(Kind::logs, {cleanupItem("a", 10), cleanupItem("b", 20)});
    cleaner.show(std::nullopt, std::nullopt);
    settle();
    model().setAllSelected(true, Kind::logs);
    cleaner.window()->close();
    EXPECT_FALSE(cleaner.window()->isVisible());
    put(Kind::logs, {cleanupItem("b", 20)});
    cleaner.show(std::nullopt, std::nullopt);
    settle();
    EXPECT_EQ(model().selection(), QSet<QString>{"b"});
}

TEST_F(StorageCleanerWindowTest, TheReviewSheetComesOnlyOnAShownWindowAndNeverTwice) {
    cleaner.presentReview();
    EXPECT_EQ(cleaner.sheet(), nullptr);
    cleaner.show(std::nullopt, std::nullopt);
    cleaner.presentReview();
    QDialog* sheet = cleaner.sheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowTitle(), "Review");
    EXPECT_EQ(sheet->parentWidget(), cleaner.window());
    cleaner.presentReview();
    EXPECT_EQ(cleaner.sheet(), sheet);
    EXPECT_EQ(cleaner.window()->findChildren<ConfirmationSheet*>().size(), 1);
}

TEST_F(StorageCleanerWindowTest, ConfirmEndsTheSheetAndCleansInTheChosenModeAndCancelOnlyEndsIt) {
    put(Kind::logs, {cleanupItem("old.log", 10), cleanupItem("new.log", 20)});
    cleaner.show(std::nullopt, std::nullopt);
    settle();
    model().toggle(cleanupItem("old.log", 10));

    cleaner.presentReview();
    QTest::keyClick(cleaner.sheet()->findChild<ConfirmationSheet*>(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(cleaner.sheet(), nullptr);
    EXPECT_FALSE(model().isCleaning());

    cleaner.presentReview();
    auto* content = cleaner.sheet()->findChild<ConfirmationSheet*>();
    content->setMode(Mode::remove);
    content->findChild<QPushButton*>("confirmButton")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(cleaner.sheet(), nullptr);
    settle();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_FALSE(removed[0].second);                 // deleted, not trashed
    EXPECT_EQ(hud.progress().title(), "Cleaned up"); // the clean drove the shared panel
    EXPECT_TRUE(hud.panel()->isVisible());
}

TEST_F(StorageCleanerWindowTest, ACleanRefusedByTheBusyFlagShowsPleaseWait) {
    put(Kind::logs, {cleanupItem("x.log", 10)});
    cleaner.show(std::nullopt, std::nullopt);
    settle();
    model().toggle(cleanupItem("x.log", 10));
    test::ToastLog toasts;
    gate.busy = true;
    model().clean(Mode::trash);
    EXPECT_EQ(toasts.titles(), QStringList{"Please wait"});
    EXPECT_EQ(hud.panel(), nullptr);
}

TEST_F(StorageCleanerWindowTest, UnderTestsTheFrameIsNeitherSavedNorRestored) {
    cleaner.show(std::nullopt, std::nullopt);
    cleaner.window()->close();
    EXPECT_FALSE(sharedDefaults().contains(StorageCleanerWindow::kFrameKey));
}

TEST_F(StorageCleanerWindowTest, AProgramWindowKeepsItsFrameAcrossRuns) {
    const QRect moved(123, 77, 1000, 700);
    {
        StorageCleanerWindow first(
            {[](Kind kind) { return CleanupCategory(kind); }, trash, gate, hud, spaceSaved, true});
        first.show(std::nullopt, std::nullopt);
        first.window()->setGeometry(moved);
        first.window()->close();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(sharedDefaults().contains(StorageCleanerWindow::kFrameKey));
    StorageCleanerWindow second(
        {[](Kind kind) { return CleanupCategory(kind); }, trash, gate, hud, spaceSaved, true});
    second.show(std::nullopt, std::nullopt);
    EXPECT_EQ(second.window()->size(), moved.size());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
}

// The sidebar: each row says "Scanning…" only while its own kind scans, then its total, or
// "Empty"; the overview row waits for every kind. Rescan waits for the same.
TEST_F(StorageCleanerWindowTest, SidebarRowsFollowTheirScansAndRescanWaitsForAllOfThem) {
    put(Kind::logs, {cleanupItem("a", 1500), cleanupItem("b", 500)});
    put(Kind::archives, {archive("n", 4000, "com.example.Notes"), archive("m", 6000, "com.example.Maps")});
    hold(Kind::logs);
    cleaner.show(std::nullopt, app("com.example.Notes", "Notes"));
    QAction* rescan = view()->rescanAction();
    QDeadlineTimer deadline(10'000);
    while (model().scanning().size() > 1 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(view()->overviewRow()->detail(), "Scanning…");
    EXPECT_EQ(view()->row(Kind::logs)->detail(), "Scanning…");
    EXPECT_EQ(view()->row(Kind::caches)->detail(), "Empty");
    EXPECT_EQ(view()->row(Kind::archives)->detail(), sizeText(10'000)); // the app filter hides none here
    EXPECT_FALSE(rescan->isEnabled());

    release();
    settle();
    EXPECT_EQ(view()->overviewRow()->detail(), sizeText(12'000));
    EXPECT_EQ(view()->row(Kind::logs)->detail(), sizeText(2'000));
    EXPECT_TRUE(rescan->isEnabled());
    rescan->trigger();
    EXPECT_EQ(model().scanning().size(), CleanupCategory::allKinds.size());
    settle();
}

// The badge leaves once it has shrunk away after the last deselection, at once under Reduce Motion.
TEST_F(StorageCleanerWindowTest, SidebarBadgesCountTheSelectionPerKind) {
    put(Kind::logs, {cleanupItem("a", 1), cleanupItem("b", 2)});
    cleaner.show(std::nullopt, std::nullopt);
    settle();
    Animator& animator = CleanerMotion::of(model()).animator();
    for (const bool reduce : {false, true}) {
        SCOPED_TRACE(reduce ? "Reduce Motion" : "moving");
        animator.setReduceMotion(reduce);
        SidebarRow* row = view()->row(Kind::logs);
        const auto badgeShown = [&] { return row->findChild<QWidget*>("rowBadge")->isVisibleTo(view()); };
        EXPECT_EQ(row->badge(), 0);
        EXPECT_FALSE(badgeShown());
        model().setAllSelected(true, Kind::logs);
        EXPECT_EQ(row->badge(), 2);
        EXPECT_TRUE(badgeShown());
        clock.advance(2);
        model().toggle(cleanupItem("a", 1));
        model().toggle(cleanupItem("b", 2));
        EXPECT_EQ(row->badge(), 0);
        EXPECT_EQ(badgeShown(), !reduce);
        clock.advance(2);
        EXPECT_FALSE(badgeShown());
        EXPECT_FALSE(animator.isRunning());
    }
}

// The sidebar's selection and the model's section are one: a row click opens its page, a
// section set elsewhere (an overview card, a show) selects its row, and no section shows the
// overview with no row selected.
TEST_F(StorageCleanerWindowTest, TheSidebarAndTheSectionFollowEachOther) {
    cleaner.show(std::nullopt, std::nullopt);
    settle();
    auto* sidebar = view()->findChild<QListWidget*>("sidebar");
    EXPECT_EQ(sidebar->currentRow(), 0);
    EXPECT_NE(view()->page()->findChild<OverviewDetail*>(), nullptr);

    sidebar->setCurrentRow(2 + 3); // archives
    EXPECT_EQ(model().section(), Section::category(Kind::archives));
    auto* page = view()->page()->findChild<CategoryDetail*>();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->kind(), Kind::archives);

    model().setSection(Section::category(Kind::logs));
    EXPECT_EQ(sidebar->currentRow(), 2 + 7);
    EXPECT_EQ(view()->page()->findChild<CategoryDetail*>()->kind(), Kind::logs);

    sidebar->setCurrentRow(1); // the header row opens nothing
    EXPECT_EQ(model().section(), Section::category(Kind::logs));

    model().setSection(std::nullopt);
    EXPECT_NE(view()->page()->findChild<OverviewDetail*>(), nullptr);
    EXPECT_TRUE(sidebar->selectedItems().isEmpty());
}

} // namespace
} // namespace quorvex
