#include "storage/cleaner/CategoryDetail.h"

#include "storage/cleaner/CategoryItemsModel.h"
#include "storage/cleaner/ChipButton.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/ItemRowDelegate.h"
#include "storage/cleaner/QuickSelectionChip.h"
#include "ui/ByteCountFormatter.h"

#include "storage/cleaner/CleanerWorld.h"
#include "support/FakeClock.h"
#include "ui/Animator.h"

#include <gtest/gtest.h>

#include <QListView>
#include <QSignalSpy>
#include <QTest>

#include <limits>

using namespace quorvex;
using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;
using World = test::CleanerWorld;
using Content = CategoryDetail::Content;

namespace {

// Simulators: quick selections Unavailable, Orphaned folders, Not used in 90 days.
std::vector<CleanupItem> simulators() {
    return {World::item("u1", 400, {Tag::unavailable}), World::protectedItem("u2", 300, {Tag::unavailable}),
            World::item("u3", 200, {Tag::unavailable, Tag::old}),
            World::protectedItem("o1", 100, {Tag::orphaned}), World::item("plain", 50)};
}

CleanupItem archive(const char* id, std::int64_t size, std::optional<QString> bundle,
                    std::set<Tag> tags = {}) {
    CleanupItem made = World::item(QString::fromLatin1(id), size, std::move(tags));
    made.bundleID = std::move(bundle);
    return made;
}

void show(QWidget& page) {
    page.setAttribute(Qt::WA_DontShowOnScreen);
    page.resize(700, 600);
    page.show();
    QCoreApplication::processEvents();
}

void clickRow(CategoryDetail& page, int row) {
    QListView* list = page.list();
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

} // namespace

TEST(CategoryDetailTest, WhatThePageShowsFollowsTheScanAndTheItems) {
    World world;
    CategoryDetail runtimes(world.model, Kind::runtimes);
    CategoryDetail logs(world.model, Kind::logs);
    CategoryDetail caches(world.model, Kind::caches);
    world.load(Kind::logs, {});
    world.load(Kind::caches, {World::item("zero-a", 0), World::item("zero-b", 0)});
    world.hold({Kind::runtimes});

    // First scan still running, nothing listed yet.
    EXPECT_EQ(runtimes.content(), Content::scanning);
    EXPECT_EQ(runtimes.totalText(), "Empty");
    EXPECT_TRUE(runtimes.selectionChips().empty());
    // Scanned, nothing found.
    EXPECT_EQ(logs.content(), Content::empty);
    EXPECT_EQ(logs.totalText(), "Empty");
    EXPECT_TRUE(logs.selectionChips().empty());
    // Items of 0 bytes: the total says so, yet they are listed and selectable.
    EXPECT_EQ(caches.content(), Content::list);
    EXPECT_EQ(caches.totalText(), "Empty");
    EXPECT_FALSE(caches.selectionChips().empty());

    world.release();
    world.settle();
    EXPECT_EQ(runtimes.content(), Content::empty);

    // A rescan keeps the listed items on screen.
    world.load(Kind::simulators, simulators());
    CategoryDetail page(world.model, Kind::simulators);
    world.hold({Kind::simulators});
    EXPECT_EQ(page.content(), Content::list);
    EXPECT_EQ(page.totalText(), ByteCountFormatter::file(1050));
    EXPECT_EQ(page.itemsModel()->rowCount(), 5);
}

TEST(CategoryDetailTest, QuickSelectionChipsCountOnlyListedUnprotectedItems) {
    World world;
    world.load(Kind::simulators, simulators());
    const CleanupCategory category = world.model.category(Kind::simulators);
    ASSERT_EQ(category.quickSelections.size(), 3u);
    const auto& unavailable = category.quickSelections[0];
    const auto& orphaned = category.quickSelections[1];
    const auto& old = category.quickSelections[2];

    struct Case {
        const char* step;
        std::function<void()> act;
        const QuickSelection& selection;
        QString text;
        bool active, enabled;
    };
    const Case cases[] = {
        {"nothing selected", [] {}, unavailable, "Unavailable \u00B7 2", false, true},
        {"a protected match only", [] {}, orphaned, "Orphaned folders \u00B7 0", false, false},
        {"one of two selected", [&] { world.model.toggle(World::item("u1", 0)); }, unavailable,
         "Unavailable \u00B7 2", false, true},
        {"both selected", [&] { world.model.toggle(World::item("u3", 0)); }, unavailable,
         "Unavailable \u00B7 2", true, true},
        {"the old one is among them", [] {}, old, "Not used in 90 days \u00B7 1", true, true},
        {"one deselected again", [&] { world.model.toggle(World::item("u1", 0)); }, unavailable,
         "Unavailable \u00B7 2", false, true},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.step);
        each.act();
        const QuickSelectionChip chip = QuickSelectionChip::make(
            world.model.taggedTally(Kind::simulators, each.selection.tag), each.selection);
        EXPECT_EQ(chip.text, each.text);
        EXPECT_EQ(chip.active, each.active);
        EXPECT_EQ(chip.enabled, each.enabled);
        EXPECT_EQ(chip.symbol, each.active ? QStringLiteral("checkmark.circle.fill") : each.selection.symbol);
    }

    // Archives of other apps and archives without a bundle are not listed, so not counted.
    world.load(Kind::archives, {archive("a1", 10, "com.example.a", {Tag::uploaded}),
                                archive("b1", 20, "com.example.b", {Tag::uploaded}),
                                archive("none", 30, std::nullopt, {Tag::uploaded})});
    const QuickSelection uploaded = world.model.category(Kind::archives).quickSelections[0];
    EXPECT_EQ(QuickSelectionChip::make(world.model.taggedTally(Kind::archives, uploaded.tag), uploaded).count,
              3);
    world.model.setArchiveFilter(StorageCleanerModel::ArchiveFilter{"com.example.a", "A"});
    EXPECT_EQ(QuickSelectionChip::make(world.model.taggedTally(Kind::archives, uploaded.tag), uploaded).count,
              1);
}

TEST(CategoryDetailTest, ChipsSelectTheirItemsAndProtectedItemsStayOut) {
    World world;
    world.load(Kind::simulators, simulators());
    CategoryDetail page(world.model, Kind::simulators);
    show(page);
    const std::vector<ChipButton*> chips = page.selectionChips();
    ASSERT_EQ(chips.size(), 5u); // three quick selections, "All", "None"
    EXPECT_EQ(chips[3]->text(), "All");
    EXPECT_EQ(chips[4]->text(), "None");
    EXPECT_FALSE(chips[1]->isEnabled()); // its only match is protected

    chips[0]->click();
    EXPECT_EQ(world.model.selection(), (QSet<QString>{"u1", "u3"}));
    EXPECT_TRUE(chips[0]->isActive());
    EXPECT_EQ(chips[0]->symbol(), "checkmark.circle.fill");
    chips[0]->click();
    EXPECT_TRUE(world.model.selection().empty());
    EXPECT_FALSE(chips[0]->isActive());

    chips[3]->click();
    EXPECT_EQ(world.model.selection(), (QSet<QString>{"u1", "u3", "plain"}));
    chips[4]->click();
    EXPECT_TRUE(world.model.selection().empty());
}

TEST(CategoryDetailTest, ARowClickTogglesItsItemButNotAProtectedOne) {
    World world;
    world.load(Kind::simulators, simulators());
    CategoryDetail page(world.model, Kind::simulators);
    show(page);
    QSignalSpy resets(page.itemsModel(), &QAbstractItemModel::modelReset);

    clickRow(page, 0);
    EXPECT_EQ(world.model.selection(), QSet<QString>{"u1"});
    EXPECT_EQ(page.itemsModel()->data(page.itemsModel()->index(0), Qt::CheckStateRole), Qt::Checked);
    // Only the clicked row plays the selection spring.
    EXPECT_TRUE(page.itemsModel()->selectionJustChanged(0));
    EXPECT_FALSE(page.itemsModel()->selectionJustChanged(2));
    clickRow(page, 1); // protected
    EXPECT_EQ(world.model.selection(), QSet<QString>{"u1"});
    EXPECT_EQ(page.itemsModel()->data(page.itemsModel()->index(1), Qt::ToolTipRole), "In use");
    clickRow(page, 0);
    EXPECT_TRUE(world.model.selection().empty());
    // Selecting repaints rows; it does not rebuild the list.
    EXPECT_EQ(resets.count(), 0);
}

// A click on a row moves it on the selection spring (0.5 s, damping 0.85): the row's look blends
// and its check symbol is replaced (the old one shrinks away as the new one grows in), frame by
// frame on the injected clock, and the timer stops once it has settled.
TEST(CategoryDetailTest, ARowClickPlaysTheSelectionSpringAndReplacesTheCheckSymbol) {
    World world;
    test::FakeClock clock;
    Animator& animator = CleanerMotion::install(world.model, clock).animator();
    animator.setReduceMotion(false);
    world.load(Kind::simulators, simulators());
    CategoryDetail page(world.model, Kind::simulators);
    show(page);
    auto* delegate = qobject_cast<ItemRowDelegate*>(page.list()->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    const QRect row = page.list()->visualRect(page.list()->model()->index(0, 0));
    const QRect check(row.left(), row.top(), 40, row.height());
    const auto drawnCheck = [&] { return page.list()->viewport()->grab(check).toImage(); };
    const QImage before = drawnCheck();

    clickRow(page, 0);
    const Motion spring = CleanerMotion::selectionSpring();
    std::vector<QImage> frames;
    double now = 0;
    for (const double t : {0.0, 0.06, 0.15, 0.45}) {
        SCOPED_TRACE(t);
        clock.advance(t - now);
        now = t;
        EXPECT_NEAR(delegate->selectionProgress(), spring.progress(t), 1e-9);
        frames.push_back(drawnCheck());
    }
    EXPECT_GT(spring.progress(0.45), 1.0); // the last frame is past the end, on the overshoot
    clock.advance(2);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
    const QImage after = drawnCheck();
    EXPECT_NE(before, after);
    EXPECT_EQ(frames[0], before);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(frames[i], before);
        EXPECT_NE(frames[i], after);
    }

    // Under Reduce Motion the row takes its new look at once.
    animator.setReduceMotion(true);
    clickRow(page, 0);
    EXPECT_EQ(delegate->selectionProgress(), 1.0);
    EXPECT_EQ(drawnCheck(), before);
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST(CategoryDetailTest, TheArchiveFilterChipShowsOnTheArchivesPageAndLiftsTheLimit) {
    World world;
    world.load(Kind::archives,
               {archive("a1", 1000, "com.example.notes"), archive("b1", 2000, "com.example.maps"),
                archive("none", 4000, std::nullopt)});
    world.load(Kind::derivedData, {World::item("d", 10)});
    world.model.setArchiveFilter(StorageCleanerModel::ArchiveFilter{"com.example.notes", "Notes"});
    CategoryDetail archives(world.model, Kind::archives);
    CategoryDetail derived(world.model, Kind::derivedData);
    show(archives);
    show(derived);

    EXPECT_EQ(derived.archiveChip(), nullptr);
    ChipButton* chip = archives.archiveChip();
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->text(), "Only Notes");
    EXPECT_TRUE(chip->isActive());
    EXPECT_EQ(chip->toolTip(), "Show archives of all apps");
    EXPECT_EQ(archives.totalText(), ByteCountFormatter::file(1000));
    EXPECT_EQ(archives.itemsModel()->rowCount(), 1);

    chip->click();
    EXPECT_FALSE(world.model.archiveFilter().has_value());
    EXPECT_EQ(archives.archiveChip(), nullptr);
    EXPECT_EQ(archives.totalText(), ByteCountFormatter::file(7000));
    EXPECT_EQ(archives.itemsModel()->rowCount(), 3);
}

TEST(CategoryDetailTest, TotalsOfHugeItemsStopAtTheLargestCountInsteadOfWrapping) {
    World world;
    constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max();
    world.load(Kind::logs, {World::item("a", kHuge), World::item("b", kHuge)});
    CategoryDetail page(world.model, Kind::logs);
    EXPECT_EQ(page.totalText(), ByteCountFormatter::file(kHuge));
}
