#include "storage/engine/CleanupCategory.h"
#include "storage/engine/StorageFormats.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quorvex;
using Kind = CleanupCategory::Kind;

TEST(CleanupCategoryTest, KindsReadBackOnlyFromTheirExactRawValues) {
    for (Kind kind : CleanupCategory::allKinds)
        EXPECT_EQ(CleanupCategory::kindFromRawValue(CleanupCategory::rawValue(kind)), kind);
    EXPECT_EQ(CleanupCategory::kindFromRawValue("packageCaches"), Kind::packageCaches);
    EXPECT_EQ(CleanupCategory::kindFromRawValue("DerivedData"), std::nullopt);
    EXPECT_EQ(CleanupCategory::kindFromRawValue(""), std::nullopt);
}

TEST(CleanupCategoryTest, AFreshCategoryIsItsTableRowWithoutItems) {
    const CleanupCategory logs(Kind::logs);
    EXPECT_EQ(logs.title, "Logs");
    EXPECT_EQ(logs.symbol, "doc.text.magnifyingglass");
    EXPECT_EQ(logs.safety, CleanupSafety::safe);
    ASSERT_EQ(logs.quickSelections.size(), 2u);
    EXPECT_EQ(logs.quickSelections[1],
              (QuickSelection{"From deleted simulators", "iphone.slash", CleanupItem::Tag::orphaned}));
    const CleanupCategory runtimes(Kind::runtimes);
    EXPECT_EQ(runtimes.title, "Simulator Runtimes");
    EXPECT_EQ(runtimes.safety, CleanupSafety::verify);
    EXPECT_EQ(CleanupCategory(Kind::caches).title, "Other Caches");
    for (Kind kind : CleanupCategory::allKinds) {
        const CleanupCategory category(kind);
        EXPECT_TRUE(category.items.empty());
        EXPECT_FALSE(category.quickSelections.empty());
        EXPECT_FALSE(category.explanation.isEmpty());
    }
}

TEST(CleanupCategoryTest, SortIsLargestFirstAndStable) {
    const auto item = [](const char* id, std::int64_t size) {
        CleanupItem made;
        made.id = id;
        made.size = size;
        return made;
    };
    std::vector<CleanupItem> items = {item("a", 10), item("b", 30), item("c", 10), item("d", 30),
                                      item("z", 0)};
    sortCleanupItemsBySize(items);
    QStringList order;
    for (const auto& each : items)
        order << each.id;
    EXPECT_EQ(order.join(""), "bdacz");

    CleanupItem tagged = item("a", 1);
    CleanupItem other = tagged;
    other.tags = {CleanupItem::Tag::old};
    EXPECT_NE(tagged, other);
}

TEST(CleanupCategoryTest, RuntimeDisplayNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"com.apple.CoreSimulator.SimRuntime.iOS-17-2", "iOS 17.2"},
        {"com.apple.CoreSimulator.SimRuntime.tvOS-18-0", "tvOS 18.0"},
        {"a.b.xrOS-2", "visionOS 2"},
        {"xrOS-1-0", "visionOS 1.0"},
        {"iOS", "iOS"},
        {"", ""},
    };
    for (const auto& [identifier, name] : cases)
        EXPECT_EQ(runtimeDisplayName(identifier), name) << identifier;
}

TEST(CleanupCategoryTest, SizesAddWithoutWrapping) {
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(saturatingSum(1, 2), 3);
    EXPECT_EQ(saturatingSum(max, 1), max);
    EXPECT_EQ(saturatingSum(max - 5, max - 5), max);
    EXPECT_EQ(saturatingSum(-7, 5), 5);
}

TEST(StorageFormatsTest, UuidsAreExactlyEightFourFourFourTwelveHexDigits) {
    const QString lower = "5c1a7e2b-0000-4000-8000-00000000000a";
    const QString upper = "5C1A7E2B-0000-4000-8000-00000000000A";
    ASSERT_TRUE(StorageFormats::parseUuid(lower));
    EXPECT_EQ(StorageFormats::parseUuid(lower), StorageFormats::parseUuid(upper));
    EXPECT_NE(StorageFormats::parseUuid(lower),
              StorageFormats::parseUuid("5C1A7E2B-0000-4000-8000-00000000000B"));
    for (const char* bad : {"all", "unavailable", "booted", "-rf", "",
                            "{5C1A7E2B-0000-4000-8000-00000000000A}", "5C1A7E2B00004000800000000000000A",
                            "5C1A7E2B-0000-4000-8000-00000000000G", " 5C1A7E2B-0000-4000-8000-00000000000A",
                            "5C1A7E2B-0000-4000-8000-00000000000A\n", "5C1A7E2B-0000-4000-8000+00000000000A"})
        EXPECT_FALSE(StorageFormats::isUuid(bad)) << bad;
}

TEST(StorageFormatsTest, DatesAreStrictIso8601) {
    const QDateTime noon(QDate(2024, 2, 29), QTime(12, 0), Qt::UTC);
    const std::pair<const char*, std::optional<QDateTime>> cases[] = {
        {"2024-02-29T12:00:00Z", noon},
        {"2024-02-29T14:30:00+02:30", noon},
        {"2024-02-29T07:00:00-05:00", noon},
        {"2024-02-29T12:00:00.250Z", std::nullopt},
        {"2023-02-29T12:00:00Z", std::nullopt},
        {"2024-02-29T24:00:00Z", std::nullopt},
        {"2024-02-29T12:00:60Z", std::nullopt},
        {"2024-02-29 12:00:00Z", std::nullopt},
        {"2024-02-29T12:00:00", std::nullopt},
        {"2024-02-29T12:00:00.Z", std::nullopt},
        {"2024-02-29T12:00:00Zjunk", std::nullopt},
        {"2024-2-29T12:00:00Z", std::nullopt},
        {"2024-02-29", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(StorageFormats::parseIso8601(text), expected) << text;
    EXPECT_EQ(StorageFormats::parseIso8601("2024-02-29T12:00:00.250Z", true), noon.addMSecs(250));
    EXPECT_EQ(StorageFormats::parseIso8601("2024-02-29T12:00:00.123456789Z", true), noon.addMSecs(123));
    EXPECT_EQ(StorageFormats::parseIso8601("2024-02-29T12:00:00Z", true), std::nullopt);
}

TEST(StorageFormatsTest, FileSizesInDecimalUnits) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "Zero KB"},
        {-5, "Zero KB"},
        {1, "1 byte"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {12'345, "12 KB"},
        {1'500'000, "1.5 MB"},
        {2'000'000, "2 MB"},
        {2'250'000'000, "2.25 GB"},
        {999'999, "1 MB"},
        {3'000'000'000'000, "3 TB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(StorageFormats::fileSize(bytes), text) << bytes;
}
