#include "storage/engine/CleanupCategory.h"

#include "storage/engine/StorageFormats.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <iterator>
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

// Every field of every row, texts to the character: what the windows show of a category before
// and beside its items.
TEST(CleanupCategoryTest, AFreshCategoryIsItsTableRowWithoutItems) {
    using Tag = CleanupItem::Tag;
    using Tint = CleanupCategory::Tint;
    using Chips = std::vector<QuickSelection>;
    struct Row {
        Kind kind;
        QString title, symbol;
        Tint tint;
        CleanupSafety safety;
        QString explanation, consequence;
        Chips chips;
    };
    const Row table[] = {
        {Kind::derivedData, "DerivedData", "hammer.fill", Tint::blue, CleanupSafety::safe,
         "Build products, indexes, and logs Xcode keeps per project.",
         "Rebuilt on the next build, which takes longer once. Projects you\u2019re actively working on "
         "rebuild from scratch.",
         Chips{{"Not built in 30 days", "clock", Tag::old}}},
        {Kind::simulators, "Simulators", "iphone.gen3", Tint::indigo, CleanupSafety::review,
         "Simulated devices, each with its own installed apps and data.",
         "The device and everything installed on it are deleted for good (this can\u2019t go to the Trash). "
         "You can create a new one in Xcode any time.",
         Chips{{"Unavailable", "xmark.octagon", Tag::unavailable},
               {"Orphaned folders", "questionmark.folder", Tag::orphaned},
               {"Not used in 90 days", "clock", Tag::old}}},
        {Kind::runtimes, "Simulator Runtimes", "square.stack.3d.down.right.fill", Tint::purple,
         CleanupSafety::verify, "The iOS, watchOS, tvOS, and visionOS system images simulators run on.",
         "Simulators on a deleted runtime become unavailable. Getting it back means re-downloading it in "
         "Xcode \u203A Settings \u203A Components (5\u20138 GB).",
         Chips{{"Not the newest per platform", "clock", Tag::old}}},
        {Kind::archives, "Archives", "archivebox.fill", Tint::brown, CleanupSafety::review,
         "Builds made with Product \u203A Archive, including the dSYMs used to symbolicate crash reports.",
         "Builds already uploaded to App Store Connect keep their dSYMs there. Keep archives you "
         "haven\u2019t uploaded or still need for crash reports.",
         Chips{{"Uploaded to App Store Connect", "icloud.and.arrow.up", Tag::uploaded},
               {"Older than 6 months", "clock", Tag::old}}},
        {Kind::deviceSupport, "Device Support", "cable.connector", Tint::teal, CleanupSafety::safe,
         "Debug symbols Xcode copies from each OS version of the devices you connect.",
         "Copied again (a few minutes) the next time you connect a device on that version. Keep the "
         "versions your devices run today.",
         Chips{{"Older than the last 2 versions", "clock", Tag::old}}},
        {Kind::xcodes, "Xcode Versions", "hammer.circle.fill", Tint::cyan, CleanupSafety::verify,
         "Xcode apps installed side by side, e.g. betas or older versions.",
         "Only remove versions you no longer build with. Reinstalling means downloading 3\u201310 GB "
         "again. The active Xcode is protected.",
         Chips{{"All but the active one", "checkmark.circle", Tag::old}}},
        {Kind::documentation, "Documentation", "book.closed.fill", Tint::pink, CleanupSafety::safe,
         "Documentation Xcode downloaded for its developer documentation window, and legacy docsets.",
         "Xcode downloads current documentation again when you open it. Older versions are leftovers "
         "from previous Xcode releases.",
         Chips{{"Older versions", "clock", Tag::old}}},
        {Kind::logs, "Logs", "doc.text.magnifyingglass", Tint::green, CleanupSafety::safe,
         "Simulator and Xcode logs, device logs, and crash reports of Xcode\u2019s own tools.",
         "Logs are only useful while debugging a problem. Deleted logs are gone for good; new ones are "
         "written as you work.",
         Chips{{"Older than 30 days", "clock", Tag::old},
               {"From deleted simulators", "iphone.slash", Tag::orphaned}}},
        {Kind::packageCaches, "Package Caches", "shippingbox.fill", Tint::orange, CleanupSafety::safe,
         "Downloaded CocoaPods and Swift packages, shared by all projects.",
         "Downloaded again on the next `pod install` or package resolve, which is slow on a slow "
         "connection.",
         Chips{{"All", "checkmark.circle", Tag::recommended}}},
        {Kind::caches, "Other Caches", "tray.full.fill", Tint::gray, CleanupSafety::safe,
         "Previews, test clones, built products, and other caches Xcode recreates when needed.",
         "Recreated automatically the next time Xcode needs them.",
         Chips{{"All", "checkmark.circle", Tag::recommended}}},
    };
    ASSERT_EQ(std::size(table), CleanupCategory::allKinds.size());
    for (std::size_t i = 0; i < std::size(table); ++i) {
        const Row& row = table[i];
        SCOPED_TRACE(CleanupCategory::rawValue(row.kind).toStdString());
        EXPECT_EQ(CleanupCategory::allKinds[i], row.kind); // the table's order is the kinds' order
        const CleanupCategory category(row.kind);
        EXPECT_EQ(category.kind, row.kind);
        EXPECT_EQ(category.title, row.title);
        EXPECT_EQ(category.symbol, row.symbol);
        EXPECT_EQ(category.tint, row.tint);
        EXPECT_EQ(category.safety, row.safety);
        EXPECT_EQ(category.explanation, row.explanation);
        EXPECT_EQ(category.consequence, row.consequence);
        EXPECT_EQ(category.quickSelections, row.chips);
        EXPECT_TRUE(category.items.empty());
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
