#include "storage/cleaner/OverviewDetail.h"

#include "storage/cleaner/DonutChart.h"
#include "ui/ByteCountFormatter.h"

#include "storage/cleaner/CleanerWorld.h"

#include <gtest/gtest.h>

#include <QPushButton>

using namespace quorvex;
using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;
using World = test::CleanerWorld;

TEST(OverviewDetailTest, HeadlineSaysScanningOnlyWhileNothingHasBytes) {
    World world;
    OverviewDetail page(world.model, world.spaceSaved);
    EXPECT_EQ(page.shownHeadline(), "Empty in use"); // nothing scanned, nothing running

    world.hold({CleanupCategory::allKinds.begin(), CleanupCategory::allKinds.end()});
    EXPECT_EQ(page.shownHeadline(), "Scanning\u2026");
    for (CategoryCard* card : page.cards()) {
        EXPECT_TRUE(card->isScanning());
        EXPECT_TRUE(card->sizeLabel().isEmpty());
    }
    EXPECT_EQ(DonutChart::slices(world.model).front().kind, "empty");
    world.release();
    world.settle();
    EXPECT_EQ(page.shownHeadline(), "Empty in use");
    for (CategoryCard* card : page.cards())
        EXPECT_EQ(card->sizeLabel(), "Empty");

    world.load(Kind::logs, {World::item("l", 5000)});
    world.hold({Kind::caches});
    // Bytes found while another kind still scans: the figure, not "Scanning…".
    EXPECT_EQ(page.shownHeadline(), ByteCountFormatter::file(5000) + " in use");
}

TEST(OverviewDetailTest, CardsComeInKindOrderAndOpenTheirCategory) {
    World world;
    world.load(Kind::caches, {World::item("zero", 0)});
    OverviewDetail page(world.model, world.spaceSaved);
    ASSERT_EQ(page.cards().size(), CleanupCategory::allKinds.size());
    for (std::size_t i = 0; i < page.cards().size(); ++i)
        EXPECT_EQ(page.cards()[i]->kind(), CleanupCategory::allKinds[i]);
    // A kind whose items are all 0 bytes keeps its card, though it has no slice.
    EXPECT_EQ(page.cards().back()->sizeLabel(), "Empty");

    page.cards()[3]->click();
    EXPECT_EQ(world.model.section(), StorageCleanerModel::Section::category(Kind::archives));
}

TEST(OverviewDetailTest, SelectRecommendedAddsOnlyUnprotectedRecommendedItems) {
    World world;
    world.load(Kind::caches,
               {World::protectedItem("kept", 900, {Tag::recommended}), World::item("other", 5)});
    OverviewDetail page(world.model, world.spaceSaved);
    RecommendedCard* card = page.recommendedCard();
    EXPECT_EQ(card->figure(), "Empty");
    EXPECT_FALSE(card->selectButton()->isEnabled());

    world.load(Kind::simulators, {World::item("gone", 2000, {Tag::recommended, Tag::unavailable})});
    EXPECT_EQ(card->figure(), ByteCountFormatter::file(2000));
    ASSERT_TRUE(card->selectButton()->isEnabled());

    world.model.toggle(World::item("other", 0));
    card->selectButton()->click();
    // A union: what was selected stays selected.
    EXPECT_EQ(world.model.selection(), (QSet<QString>{"other", "gone"}));
}
