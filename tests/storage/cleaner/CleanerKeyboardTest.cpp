// Keyboard and screen-reader use of the storage cleaner's windows: the main window's overview and
// category pages, the review sheet and the progress panel.

#include "CleanerModelFixture.h"
#include "storage/cleaner/CategoryDetail.h"
#include "storage/cleaner/CategoryItemsModel.h"
#include "storage/cleaner/ChipButton.h"
#include "storage/cleaner/CleanupHUD.h"
#include "storage/cleaner/CleanupHUDView.h"
#include "storage/cleaner/ConfirmationSheet.h"
#include "storage/cleaner/DonutChart.h"
#include "storage/cleaner/OverviewDetail.h"
#include "storage/cleaner/SidebarRow.h"
#include "storage/cleaner/StorageCleanerView.h"
#include "storage/cleaner/StorageCleanerWindow.h"
#include "storage/engine/CleanupCategory.h"
#include "support/FakeClock.h"
#include "support/KeyboardAudit.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;
using Mode = StorageCleanerModel::Mode;
using Phase = CleanupProgress::Phase;
using test::cleanupItem;

CleanupItem tagged(const QString& id, std::int64_t size, std::set<Tag> tags) {
    CleanupItem made = cleanupItem(id, size);
    made.tags = std::move(tags);
    return made;
}

// The cleaner window over a small fixed table: build data (one recommended item) and simulators,
// whose three quick selections make the widest chip row of any kind.
class CleanerKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        table[Kind::derivedData] = {tagged("App-abc", 4'000'000, {Tag::recommended}),
                                    cleanupItem("Kit-def", 2'000'000), cleanupItem("Old-ghi", 1'000'000)};
        table[Kind::simulators] = {tagged("iPhone 8", 3'000'000, {Tag::unavailable}),
                                   tagged("iPad", 1'500'000, {Tag::orphaned, Tag::old})};
    }
    void TearDown() override {
        if (QWidget* panel = hud.panel())
            panel->hide();
        QThreadPool::globalInstance()->waitForDone();
    }

    void settle() {
        QDeadlineTimer deadline(10'000);
        while (!model().scanning().empty() || model().isCleaning()) {
            ASSERT_FALSE(deadline.hasExpired());
            QThreadPool::globalInstance()->waitForDone(20);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QCoreApplication::processEvents();
    }
    // Shows the window at `section` (the overview when none), scanned and active.
    QMainWindow* open(std::optional<QString> section = std::nullopt) {
        cleaner.show(section, std::nullopt);
        settle();
        QMainWindow* window = cleaner.window();
        EXPECT_TRUE(test::showActive(window));
        return window;
    }

    StorageCleanerModel& model() { return cleaner.model(); }
    StorageCleanerView* view() { return cleaner.window()->findChild<StorageCleanerView*>(); }
    CategoryDetail* categoryPage() { return cleaner.window()->findChild<CategoryDetail*>(); }
    OverviewDetail* overview() { return cleaner.window()->findChild<OverviewDetail*>(); }
    QPushButton* reviewButton() { return cleaner.window()->findChild<QPushButton*>("reviewButton"); }
    QWidget* rescanButton() { return cleaner.window()->findChild<QWidget*>("rescanButton"); }
    QListWidget* sidebar() { return cleaner.window()->findChild<QListWidget*>("sidebar"); }

    std::mutex mutex;
    std::map<Kind, std::vector<CleanupItem>> table;
    std::atomic<int> scans{0};
    test::FakeTrash trash;
    test::PlainGate gate;
    test::FakeClock clock;
    CleanupHUD hud{clock};
    bool freshDefaults = (sharedDefaults().remove(SpaceSaved::kKey),
                          sharedDefaults().remove(StorageCleanerWindow::kFrameKey), true);
    SpaceSaved spaceSaved;
    StorageCleanerWindow cleaner{{[this](Kind kind) {
                                      ++scans;
                                      std::lock_guard lock(mutex);
                                      CleanupCategory category(kind);
                                      category.items = table[kind];
                                      return category;
                                  },
                                  trash, gate, hud, spaceSaved, false}};
    std::vector<std::pair<QString, bool>> removed;
    bool recordingRemover = (cleaner.model().setRemover([this](const CleanupRemoval& removal, bool toTrash) {
        std::lock_guard lock(mutex);
        removed.emplace_back(QString::fromStdString(removal.file.string()), toTrash);
        return std::optional<QString>();
    }),
                             true);
};

QStringList names(const std::vector<QWidget*>& widgets) {
    QStringList list;
    for (QWidget* widget : widgets)
        list << (widget ? test::accessibleName(widget) + " (" + widget->metaObject()->className() + ")"
                        : QStringLiteral("<lost>"));
    return list;
}

// Tab from `start` must come back to it after passing every control a keyboard user needs.
void expectTabOrderCoversAll(QWidget* window, QWidget* start) {
    const std::vector<QWidget*> order = test::walkTabOrder(start);
    ASSERT_FALSE(order.empty());
    EXPECT_NE(order.back(), nullptr) << "Tab never came back: " << names(order).join(" > ").toStdString();
    for (QWidget* stop : test::tabStops(window))
        EXPECT_NE(std::find(order.begin(), order.end(), stop), order.end())
            << "not reached by Tab: " << names({stop}).join("").toStdString() << "\nin "
            << names(order).join(" > ").toStdString();
}

TEST_F(CleanerKeyboardTest, TheReviewSheetsKeysDoWhatTheFocusedControlSays) {
    struct Case {
        const char* focus; // a control of the sheet by object name
        Qt::Key key;
        const char* outcome; // "trash", "delete", "cancel", or "open" (the sheet stays up)
    };
    const Case cases[] = {
        {"confirmButton", Qt::Key_Return, "trash"}, {"confirmButton", Qt::Key_Space, "trash"},
        {"cancelButton", Qt::Key_Return, "cancel"}, // the fault: a focused Cancel confirmed
        {"cancelButton", Qt::Key_Enter, "cancel"},  {"cancelButton", Qt::Key_Space, "cancel"},
        {"cancelButton", Qt::Key_Escape, "cancel"}, {"confirmButton", Qt::Key_Escape, "cancel"},
        {"modeTrash", Qt::Key_Return, "trash"}, // a picker passes Return to the default
        {"modeDelete", Qt::Key_Space, "open"},  // picks the mode only
        {"categoryList", Qt::Key_Return, "trash"},
    };
    open(CleanupCategory::rawValue(Kind::derivedData));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus) + " " + QTest::toString(c.key));
        model().setAllSelected(true, Kind::derivedData);
        removed.clear();
        cleaner.presentReview();
        QDialog* sheet = cleaner.sheet();
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(test::showActive(sheet));
        auto* focus = sheet->findChild<QWidget*>(c.focus);
        ASSERT_NE(focus, nullptr);
        focus->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focus, c.key);
        settle();
        const std::string outcome = c.outcome;
        if (outcome == "open") {
            EXPECT_NE(cleaner.sheet(), nullptr);
            EXPECT_EQ(sheet->findChild<ConfirmationSheet*>()->mode(), Mode::remove);
            sheet->close();
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(cleaner.sheet(), nullptr, 2000);
        const std::size_t count = outcome == "trash" || outcome == "delete" ? 3 : 0;
        EXPECT_EQ(removed.size(), count);
        for (const auto& [path, toTrash] : removed)
            EXPECT_EQ(toTrash, outcome == "trash");
    }
}

TEST_F(CleanerKeyboardTest, ReturnInTheWindowIsTheFocusedButtonsAndElseReviewAndClean) {
    struct Case {
        const char* focus; // "sidebar", "list", "review", "all", "none", "rescan"
        Qt::Key key;
        bool opensReview;
        int selectedAfter; // of the three build-data items, one selected beforehand
    };
    const Case cases[] = {
        {"sidebar", Qt::Key_Return, true, 1}, {"list", Qt::Key_Return, true, 1},
        {"review", Qt::Key_Return, true, 1},  {"review", Qt::Key_Space, true, 1},
        {"all", Qt::Key_Return, false, 3},    {"all", Qt::Key_Space, false, 3},
        {"none", Qt::Key_Return, false, 0},   {"rescan", Qt::Key_Return, false, 1},
    };
    QMainWindow* window = open(CleanupCategory::rawValue(Kind::derivedData));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus) + " " + QTest::toString(c.key));
        model().setAllSelected(false, Kind::derivedData);
        model().toggle(model().category(Kind::derivedData).items[0]);
        const std::string name = c.focus;
        const std::vector<ChipButton*> chips = categoryPage()->selectionChips();
        ASSERT_GE(chips.size(), 2u);
        QWidget* focus = name == "sidebar"  ? static_cast<QWidget*>(sidebar())
                         : name == "list"   ? static_cast<QWidget*>(categoryPage()->list())
                         : name == "review" ? static_cast<QWidget*>(reviewButton())
                         : name == "all"    ? static_cast<QWidget*>(chips[chips.size() - 2])
                         : name == "none"   ? static_cast<QWidget*>(chips.back())
                                            : rescanButton();
        focus->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), focus);
        QTest::keyClick(focus, c.key);
        settle();
        EXPECT_EQ(cleaner.sheet() != nullptr, c.opensReview);
        EXPECT_EQ(model().selectedCount(Kind::derivedData), c.selectedAfter);
        if (QDialog* sheet = cleaner.sheet()) {
            sheet->close();
            QTRY_COMPARE_WITH_TIMEOUT(cleaner.sheet(), nullptr, 2000);
            ASSERT_TRUE(test::showActive(window));
        }
    }
}

TEST_F(CleanerKeyboardTest, TheItemListTakesFocusAndSpaceTogglesTheCurrentRow) {
    open(CleanupCategory::rawValue(Kind::derivedData));
    QListView* list = categoryPage()->list();
    const auto* rows = categoryPage()->itemsModel();
    ASSERT_EQ(rows->rowCount(), 3);
    auto* count = cleaner.window()->findChild<QLabel*>("selectionCount");

    const std::vector<QWidget*> order = test::walkTabOrder(sidebar());
    EXPECT_NE(std::find(order.begin(), order.end(), list), order.end())
        << names(order).join(" > ").toStdString();

    list->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(list->hasFocus());
    EXPECT_EQ(list->currentIndex().row(), 0); // focus lands on a row, never on nothing
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex().row(), 1);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(rows->isSelected(1));
    EXPECT_FALSE(rows->isSelected(0));
    EXPECT_EQ(count->text(), "1 item selected");
    QTest::keyClick(list, Qt::Key_End);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(count->text(), "2 items selected");
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(rows->isSelected(2));
    EXPECT_EQ(count->text(), "1 item selected");

    // The rows are checkable for assistive tools; the check box drawn at a row's left still
    // takes a click like the rest of the row.
    const QRect first = list->visualRect(rows->index(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(first.left() + 20, first.center().y()));
    EXPECT_TRUE(rows->isSelected(0));
}

// The page scrolls with its list as tall as its rows, so the keys that move the current row must
// bring it into the page's sight; a long list is where that shows.
TEST_F(CleanerKeyboardTest, TheKeysBringTheCurrentRowOfALongListIntoSight) {
    std::vector<CleanupItem> many;
    for (int i = 0; i < 100'000; ++i)
        many.push_back(cleanupItem(QStringLiteral("item-%1").arg(i), 100'000 - i));
    table[Kind::caches] = std::move(many);
    open(CleanupCategory::rawValue(Kind::caches));
    QListView* list = categoryPage()->list();
    auto* scroll = cleaner.window()->findChild<QScrollArea*>("categoryScroll");
    ASSERT_NE(scroll, nullptr);
    const auto inSight = [&](int row) {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        const QRect shown(list->viewport()->mapTo(scroll->viewport(), rect.topLeft()), rect.size());
        return scroll->viewport()->rect().contains(shown);
    };
    list->setFocus(Qt::TabFocusReason);
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_EQ(list->currentIndex().row(), 99'999);
    EXPECT_TRUE(inSight(99'999));
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_TRUE(inSight(99'998));
    QTest::keyClick(list, Qt::Key_Home);
    EXPECT_TRUE(inSight(0));
    // A page is what the scroll area shows, not the list's whole height.
    QTest::keyClick(list, Qt::Key_PageDown);
    const int paged = list->currentIndex().row();
    EXPECT_GT(paged, 0);
    EXPECT_LT(paged, 50);
    EXPECT_TRUE(inSight(paged));
    QTest::keyClick(list, Qt::Key_PageUp);
    EXPECT_EQ(list->currentIndex().row(), 0);
}

TEST_F(CleanerKeyboardTest, RescanIsReachableAndAnswersTheRefreshKeys) {
    QMainWindow* window = open();
    QWidget* button = rescanButton();
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)}) {
        SCOPED_TRACE(keys.toString().toStdString());
        const int before = scans;
        sidebar()->setFocus();
        QTest::keySequence(window, keys);
        settle();
        EXPECT_EQ(scans - before, static_cast<int>(CleanupCategory::allKinds.size()));
    }
}

TEST_F(CleanerKeyboardTest, TabReachesEveryControlOfEachWindowAndComesBack) {
    {
        SCOPED_TRACE("overview");
        QMainWindow* window = open();
        model().toggle(model().category(Kind::derivedData).items[0]);
        expectTabOrderCoversAll(window, sidebar());
    }
    {
        SCOPED_TRACE("category page");
        QMainWindow* window = open(CleanupCategory::rawValue(Kind::simulators));
        expectTabOrderCoversAll(window, sidebar());
        // The page, made after the selection bar, still comes between the sidebar and the bar.
        const std::vector<QWidget*> order = test::walkTabOrder(sidebar());
        const auto at = [&](QWidget* widget) {
            return std::find(order.begin(), order.end(), widget) - order.begin();
        };
        EXPECT_EQ(at(categoryPage()->selectionChips().front()), 1) << names(order).join(" > ").toStdString();
        EXPECT_LT(at(categoryPage()->list()), at(reviewButton()));
        EXPECT_LT(at(reviewButton()), at(rescanButton()));
    }
    {
        SCOPED_TRACE("review sheet");
        cleaner.presentReview();
        QDialog* sheet = cleaner.sheet();
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(test::showActive(sheet));
        expectTabOrderCoversAll(sheet, sheet->findChild<QWidget*>("cancelButton"));
        sheet->close();
    }
    {
        SCOPED_TRACE("progress panel");
        const auto run = hud.show("Cleaning Up");
        hud.update(run, "Cleaned up", Phase::success("Freed 4 MB."));
        ASSERT_TRUE(test::showActive(hud.panel()));
        expectTabOrderCoversAll(hud.panel(), hud.panel()->findChild<QPushButton*>("doneButton"));
    }
}

TEST_F(CleanerKeyboardTest, TheProgressPanelsButtonActsOnlyOnceTheRunHasFinished) {
    struct Case {
        bool finished;
        const char* focus; // "view" or "button"
        Qt::Key key;
        bool hides;
    };
    const Case cases[] = {
        {false, "view", Qt::Key_Return, false}, {false, "view", Qt::Key_Space, false},
        {true, "view", Qt::Key_Return, true},   {true, "view", Qt::Key_Enter, true},
        {true, "button", Qt::Key_Return, true}, {true, "button", Qt::Key_Space, true},
        {true, "view", Qt::Key_Escape, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus) + " " + QTest::toString(c.key) + (c.finished ? " finished" : ""));
        CleanupHUD panel(clock); // a new panel each time: a hidden one is slow to come back active
        const auto run = panel.show("Cleaning Up");
        panel.update(run, std::nullopt, c.finished ? Phase::success("Done.") : Phase::deleting(1, 4));
        ASSERT_TRUE(test::showActive(panel.panel()));
        QWidget* focus = std::string(c.focus) == "view"
                             ? static_cast<QWidget*>(panel.panel()->findChild<CleanupHUDView*>())
                             : panel.panel()->findChild<QPushButton*>("doneButton");
        focus->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), focus);
        QTest::keyClick(focus, c.key);
        EXPECT_EQ(!panel.panel()->isVisible(), c.hides);
    }
}

TEST_F(CleanerKeyboardTest, FocusIsVisibleOnEveryCustomDrawnControl) {
    open();
    model().toggle(model().category(Kind::derivedData).items[0]);
    QCoreApplication::processEvents();
    QWidget* elsewhere = sidebar();
    EXPECT_TRUE(test::focusIsVisible(overview()->cards().front(), elsewhere)) << "a category card";
    EXPECT_TRUE(test::focusIsVisible(overview()->recommendedCard()->selectButton(), elsewhere))
        << "Select Recommended";
    EXPECT_TRUE(test::focusIsVisible(reviewButton(), elsewhere)) << "Review & Clean…";
    EXPECT_TRUE(test::focusIsVisible(rescanButton(), elsewhere)) << "Rescan";

    model().setSection(StorageCleanerModel::Section::category(Kind::simulators));
    QCoreApplication::processEvents();
    const std::vector<ChipButton*> chips = categoryPage()->selectionChips();
    ASSERT_FALSE(chips.empty());
    EXPECT_TRUE(test::focusIsVisible(chips.front(), elsewhere)) << "a quick-selection chip";
    EXPECT_TRUE(test::focusIsVisible(chips.back(), elsewhere)) << "None";
    EXPECT_TRUE(test::focusIsVisible(categoryPage()->list(), elsewhere)) << "a list row";
}

TEST_F(CleanerKeyboardTest, EveryControlHasANameAndARoleAndLiveValuesAreExposed) {
    QMainWindow* window = open();
    model().toggle(model().category(Kind::derivedData).items[1]);
    QCoreApplication::processEvents();
    {
        SCOPED_TRACE("overview");
        const auto problems = test::accessibilityProblems(window);
        EXPECT_TRUE(problems.empty()) << test::describe(problems).toStdString();
        DonutChart* chart = overview()->chart();
        EXPECT_FALSE(test::accessibleName(chart).isEmpty());
        EXPECT_EQ(test::accessibleValue(chart), OverviewDetail::headline(model()));
        SidebarRow* row = view()->row(Kind::derivedData);
        const QString title = model().category(Kind::derivedData).title;
        EXPECT_EQ(test::accessibleName(row), title);
        EXPECT_EQ(test::accessibleValue(row), StorageCleanerView::kindDetail(model(), Kind::derivedData));
        // The sidebar's own rows, as a screen reader walks the list.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(sidebar());
        ASSERT_NE(list, nullptr);
        QStringList rowNames;
        for (int i = 0; i < list->childCount(); ++i)
            rowNames << list->child(i)->text(QAccessible::Name);
        EXPECT_TRUE(rowNames.contains("Overview")) << rowNames.join(", ").toStdString();
        EXPECT_TRUE(rowNames.contains(title)) << rowNames.join(", ").toStdString();
    }
    {
        SCOPED_TRACE("space-saved badge");
        spaceSaved.add(5'000'000);
        QCoreApplication::processEvents();
        QWidget* badge = overview()->findChild<QWidget*>("spaceSavedBadge");
        ASSERT_NE(badge, nullptr);
        EXPECT_FALSE(test::accessibleName(badge).isEmpty());
        EXPECT_FALSE(test::accessibleValue(badge).isEmpty());
    }
    {
        SCOPED_TRACE("category page");
        model().setSection(StorageCleanerModel::Section::category(Kind::derivedData));
        QCoreApplication::processEvents();
        const auto problems = test::accessibilityProblems(window);
        EXPECT_TRUE(problems.empty()) << test::describe(problems).toStdString();
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(categoryPage()->list());
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->childCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface* cell = list->child(i);
            EXPECT_EQ(cell->text(QAccessible::Name), model().category(Kind::derivedData).items[i].title);
            EXPECT_TRUE(cell->state().checkable);
            EXPECT_EQ(bool(cell->state().checked), i == 1) << "row " << i;
        }
    }
    {
        SCOPED_TRACE("review sheet");
        cleaner.presentReview();
        ASSERT_NE(cleaner.sheet(), nullptr);
        ASSERT_TRUE(test::showActive(cleaner.sheet()));
        const auto problems = test::accessibilityProblems(cleaner.sheet());
        EXPECT_TRUE(problems.empty()) << test::describe(problems).toStdString();
        cleaner.sheet()->close();
    }
    {
        SCOPED_TRACE("progress panel");
        const auto run = hud.show("Cleaning Up");
        hud.update(run, std::nullopt, Phase::deleting(1'000'000, 4'000'000));
        auto* progress = hud.panel()->findChild<CleanupHUDView*>();
        const auto problems = test::accessibilityProblems(hud.panel());
        EXPECT_TRUE(problems.empty()) << test::describe(problems).toStdString();
        EXPECT_EQ(test::accessibleName(progress), "Cleaning Up");
        EXPECT_TRUE(test::accessibleValue(progress).startsWith("25%"))
            << test::accessibleValue(progress).toStdString();
        hud.update(run, "Cleaned up", Phase::success("Freed 4 MB."));
        EXPECT_EQ(test::accessibleName(progress), "Cleaned up");
        EXPECT_EQ(test::accessibleValue(progress), "Freed 4 MB.");
    }
}

// Every visible widget of `window` outside a scrolled area lies inside the window.
void expectNothingClipped(QWidget* window) {
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->isVisibleTo(window))
            continue;
        bool scrolled = false;
        for (QWidget* up = child->parentWidget(); up && up != window; up = up->parentWidget())
            scrolled = scrolled || qobject_cast<QAbstractScrollArea*>(up->parentWidget()) != nullptr;
        if (scrolled)
            continue;
        const QRect shown(child->mapTo(window, QPoint(0, 0)), child->size());
        EXPECT_TRUE(window->rect().contains(shown))
            << child->metaObject()->className() << " \"" << child->objectName().toStdString() << "\" at "
            << shown.y() << "+" << shown.height() << " in a window " << window->height() << " high";
    }
}

TEST_F(CleanerKeyboardTest, AtItsMinimumSizeTheWindowShowsEverythingAndNoChipsOverlap) {
    QMainWindow* window = open();
    window->resize(window->minimumSize());
    QCoreApplication::processEvents();
    ASSERT_EQ(window->size(), QSize(820, 520));
    {
        SCOPED_TRACE("overview");
        expectNothingClipped(window);
    }
    model().setSection(StorageCleanerModel::Section::category(Kind::simulators));
    QCoreApplication::processEvents();
    {
        SCOPED_TRACE("category page");
        expectNothingClipped(window);
        // The page scrolls as a whole, so a short window does not squeeze it.
        auto* scroll =
            qobject_cast<QScrollArea*>(categoryPage()->parentWidget()->parentWidget()->parentWidget());
        ASSERT_NE(scroll, nullptr) << "the category page is not in a scroll area";
        const std::vector<ChipButton*> chips = categoryPage()->selectionChips();
        ASSERT_EQ(chips.size(), 5u);
        for (std::size_t a = 0; a < chips.size(); ++a) {
            EXPECT_GE(chips[a]->width(), chips[a]->sizeHint().width()) << chips[a]->text().toStdString();
            for (std::size_t b = a + 1; b < chips.size(); ++b)
                EXPECT_FALSE(chips[a]->geometry().intersects(chips[b]->geometry()))
                    << chips[a]->text().toStdString() << " overlaps " << chips[b]->text().toStdString();
        }
        // The page fits its column: nothing runs off to the right.
        EXPECT_LE(categoryPage()->minimumSizeHint().width(), scroll->viewport()->width());
    }
}

} // namespace
} // namespace quorvex
