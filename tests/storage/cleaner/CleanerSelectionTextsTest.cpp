#include "storage/cleaner/CleanerSelectionTexts.h"

#include "CleanerModelFixture.h"
#include "storage/cleaner/CleanerLook.h"
#include "ui/ByteCountFormatter.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;
using test::cleanupItem;

TEST(CleanerSelectionTextsTest, CountsAreWordedWithTheirPlurals) {
    struct Case {
        int items;
        int categories;
        QString selected;
        QString summary;
    };
    const Case cases[] = {
        {1, 1, "1 item selected", "1 item in 1 category"},
        {2, 1, "2 items selected", "2 items in 1 category"},
        {3, 1, "3 items selected", "3 items in 1 category"},
        {5, 2, "5 items selected", "5 items in 2 categories"},
        {0, 0, "0 items selected", "0 items in 0 categories"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CleanerSelectionTexts::selectedText(c.items), c.selected);
        EXPECT_EQ(CleanerSelectionTexts::sheetSummary(c.items, c.categories), c.summary);
    }
}

TEST(CleanerSelectionTextsTest, ACardListsFourTitlesAndCountsTheRest) {
    const std::vector<QString> nine = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};
    struct Case {
        std::size_t count;
        QString line;
    };
    const Case cases[] = {
        {1, "a"},
        {4, "a, b, c, d"},
        {5, "a, b, c, d and 1 more"},
        {9, "a, b, c, d and 5 more"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CleanerSelectionTexts::titlesLine({nine.begin(), nine.begin() + c.count}), c.line);
}

TEST(CleanerSelectionTextsTest, TheSimctlNoteAgreesWithItsCount) {
    EXPECT_EQ(CleanerSelectionTexts::simctlNote(0), std::nullopt);
    EXPECT_EQ(CleanerSelectionTexts::simctlNote(1),
              "1 simulator or runtime can’t go to the Trash and is deleted with simctl.");
    EXPECT_EQ(CleanerSelectionTexts::simctlNote(2),
              "2 simulators or runtimes can’t go to the Trash and are deleted with simctl.");
}

TEST(CleanerSelectionTextsTest, SizesReadEmptyForNothing) {
    EXPECT_EQ(sizeText(0), "Empty");
    EXPECT_EQ(sizeText(1'500'000), ByteCountFormatter::file(1'500'000));
    EXPECT_EQ(CleanerSelectionTexts::sheetHeadline(0), "Clean Empty?");
}

TEST(CleanerSelectionTextsTest, EachModeHasItsOwnLabelsAndOnlyDeleteIsRed) {
    const auto trash = CleanerSelectionTexts::mode(StorageCleanerModel::Mode::trash);
    const auto remove = CleanerSelectionTexts::mode(StorageCleanerModel::Mode::remove);
    EXPECT_EQ(trash.picker, "Move to Trash");
    EXPECT_EQ(trash.confirm, "Move to Trash");
    EXPECT_FALSE(trash.destructive);
    EXPECT_EQ(remove.picker, "Delete Immediately");
    EXPECT_EQ(remove.confirm, "Delete");
    EXPECT_EQ(remove.explanation, "Files are deleted right away and can’t be recovered.");
    EXPECT_TRUE(remove.destructive);
}

using CleanerSelectionSheetTest = test::CleanerModelFixture;

// Groups come in the declared order of kinds whatever the order of selection, each with its own
// size and its items in the category's order; only simulators and runtimes count for simctl.
TEST_F(CleanerSelectionSheetTest, TheSheetGroupsTheSelectionByKindInDeclaredOrder) {
    table[Kind::logs] = {cleanupItem("log1", 100), cleanupItem("log2", 300), cleanupItem("log3", 200),
                         cleanupItem("log4", 50), cleanupItem("log5", 10)};
    table[Kind::simulators] = {cleanupItem("sim", 1000, CleanupRemoval::ofSimulator("U"))};
    table[Kind::runtimes] = {cleanupItem("rt", 2000, CleanupRemoval::ofRuntime("R"))};
    scanAll();
    select({"log1", "log5", "log3", "log4", "log2", "sim", "rt"});

    const auto sheet = CleanerSelectionTexts::sheet(model);
    EXPECT_EQ(sheet.itemCount, 7);
    EXPECT_EQ(sheet.headline, "Clean " + ByteCountFormatter::file(3660) + "?");
    EXPECT_EQ(sheet.summary, "7 items in 3 categories");
    ASSERT_EQ(sheet.groups.size(), 3u);
    EXPECT_EQ(sheet.groups[0].kind, Kind::simulators);
    EXPECT_EQ(sheet.groups[1].kind, Kind::runtimes);
    EXPECT_EQ(sheet.groups[2].kind, Kind::logs);
    EXPECT_EQ(sheet.groups[2].title, CleanupCategory(Kind::logs).title);
    EXPECT_EQ(sheet.groups[2].sizeText, ByteCountFormatter::file(660));
    EXPECT_EQ(sheet.groups[2].titlesLine, "log2, log3, log1, log4 and 1 more"); // largest first
    EXPECT_EQ(sheet.simctlNote,
              "2 simulators or runtimes can’t go to the Trash and are deleted with simctl.");

    const auto bar = CleanerSelectionTexts::bar(model);
    EXPECT_EQ(bar.countText, "7 items selected");
    EXPECT_TRUE(bar.reviewEnabled);
}

TEST_F(CleanerSelectionSheetTest, TheBarIsQuietWithoutASelection) {
    scanAll();
    const auto bar = CleanerSelectionTexts::bar(model);
    EXPECT_EQ(bar.count, 0);
    EXPECT_EQ(bar.countText, "");
    EXPECT_FALSE(bar.reviewEnabled);
    EXPECT_EQ(CleanerSelectionTexts::sheet(model).simctlNote, std::nullopt);
}

} // namespace
} // namespace quorvex
