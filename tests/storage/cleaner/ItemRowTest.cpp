#include "storage/cleaner/ItemRow.h"

#include "storage/cleaner/CategoryItemsModel.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanerWorld.h"
#include "storage/cleaner/ItemIcons.h"
#include "storage/cleaner/ItemRowDelegate.h"
#include "ui/Formatters.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QListView>
#include <QPalette>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <atomic>

using namespace quorvex;
using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;
using World = test::CleanerWorld;

namespace {

const QDateTime kNow(QDate(2026, 12, 10), QTime(12, 0), Qt::LocalTime);

CleanupItem tagged(std::set<Tag> tags) {
    return World::item(QStringLiteral("x"), 1, std::move(tags));
}

} // namespace

TEST(ItemRowTest, TagLabelsComeInFixedOrderAndDependOnTheKind) {
    const struct {
        Kind kind;
        std::set<Tag> tags;
        QStringList labels;
    } cases[] = {
        {Kind::archives, {Tag::uploaded, Tag::old}, {"Uploaded", "Old"}},
        {Kind::archives, {}, {"Not uploaded"}},
        {Kind::archives, {Tag::recommended}, {"Not uploaded"}},
        {Kind::simulators,
         {Tag::old, Tag::orphaned, Tag::unavailable, Tag::recommended},
         {"Unavailable", "Orphaned", "Old"}},
        {Kind::simulators, {Tag::uploaded}, {}}, // only archives speak of uploads
        {Kind::xcodes, {Tag::old}, {}},          // an older Xcode is not called old
        {Kind::caches, {Tag::recommended}, {}},
    };
    for (const auto& each : cases)
        EXPECT_EQ(ItemRow::tagLabels(tagged(each.tags), each.kind), each.labels)
            << CleanupCategory::rawValue(each.kind).toStdString();
}

TEST(ItemRowTest, DetailLineShowsReasonOrSubtitleWithTheKindsVerbAndAge) {
    CleanupItem booted = World::protectedItem(QStringLiteral("iPhone"), 1);
    booted.protectedReason = QStringLiteral("Booted");
    booted.subtitle = QStringLiteral("iOS 17.2");
    booted.date = kNow.addDays(-3);
    CleanupItem undated = World::item(QStringLiteral("u"), 1);
    undated.subtitle = QStringLiteral("~/Library/Caches/u");
    const auto dated = [](QDateTime date) {
        CleanupItem made = World::item(QStringLiteral("d"), 1);
        made.subtitle = QStringLiteral("sub");
        made.date = date;
        return made;
    };
    const struct {
        CleanupItem item;
        Kind kind;
        QString detail;
    } cases[] = {
        {booted, Kind::simulators, QStringLiteral("Booted \u00B7 iOS 17.2")}, // no date for a protected item
        {undated, Kind::caches, QStringLiteral("~/Library/Caches/u")},
        {dated(kNow.addDays(-2)), Kind::derivedData, QStringLiteral("sub \u00B7 Built 2 days ago")},
        {dated(kNow.addDays(-21)), Kind::simulators, QStringLiteral("sub \u00B7 Used 3 weeks ago")},
        {dated(kNow.addDays(-1)), Kind::runtimes, QStringLiteral("sub \u00B7 Used 1 day ago")},
        {dated(kNow.addMonths(-8)), Kind::archives, QStringLiteral("sub \u00B7 Archived 8 months ago")},
        {dated(kNow.addYears(-2)), Kind::logs, QStringLiteral("sub \u00B7 Updated 2 years ago")},
        {dated(kNow.addSecs(-3 * 3600)), Kind::documentation,
         QStringLiteral("sub \u00B7 Updated 3 hours ago")},
    };
    for (const auto& each : cases)
        EXPECT_EQ(ItemRow::detailText(each.item, each.kind, kNow), each.detail);
}

TEST(ItemRowTest, RelativeDatesNameTheLargestWholeUnit) {
    const struct {
        QDateTime date;
        const char* text;
    } cases[] = {
        {kNow, "0 seconds ago"},
        {kNow.addSecs(-59), "59 seconds ago"},
        {kNow.addSecs(-90), "1 minute ago"},
        {kNow.addDays(-6), "6 days ago"},
        {kNow.addDays(-7), "1 week ago"},
        {kNow.addMonths(-1), "1 month ago"},
        {kNow.addMonths(-13), "1 year ago"},
        {kNow.addSecs(2 * 3600), "in 2 hours"},
    };
    for (const auto& each : cases)
        EXPECT_EQ(Formatters::relativeDate(each.date, kNow), QString::fromUtf8(each.text));
}

TEST(ItemRowTest, LooksFollowProtectionSelectionAndHover) {
    QPalette palette;
    const QColor accent = palette.color(QPalette::Highlight);
    const QColor primary = palette.color(QPalette::WindowText);
    const CleanupCategory category(Kind::simulators);
    const CleanupItem open = World::item(QStringLiteral("o"), 1);
    const CleanupItem locked = World::protectedItem(QStringLiteral("p"), 1);
    const struct {
        const CleanupItem& item;
        bool selected;
        bool hovering;
        const char* check;
        qreal background; // alpha of the fill: accent when selected, primary while hovered
        bool accentFill;
        qreal opacity;
    } cases[] = {
        {open, false, false, "circle", 0, false, 1.0},
        {open, false, true, "circle", 0.03, false, 1.0},
        {open, true, false, "checkmark.circle.fill", 0.08, true, 1.0},
        {open, true, true, "checkmark.circle.fill", 0.08, true, 1.0},
        {locked, false, false, "lock.fill", 0, false, 0.7},
        {locked, false, true, "lock.fill", 0.03, false, 0.7},
        // Protected at a rescan while still selected: the lock, on the selected fill.
        {locked, true, true, "lock.fill", 0.08, true, 0.7},
    };
    for (const auto& each : cases) {
        const ItemRow row(each.item, category, each.selected);
        SCOPED_TRACE(testing::Message()
                     << each.check << " selected " << each.selected << " hovering " << each.hovering);
        EXPECT_EQ(row.checkSymbol(), QLatin1String(each.check));
        const QColor fill = row.background(palette, each.hovering);
        EXPECT_NEAR(fill.alphaF(), each.background, 0.005);
        if (each.background > 0) {
            EXPECT_EQ(fill.rgb(), (each.accentFill ? accent : primary).rgb());
        }
        EXPECT_EQ(row.opacity(), each.opacity);
    }
    EXPECT_EQ(ItemRow(locked, category, false).toolTip(), "In use");
    EXPECT_TRUE(ItemRow(open, category, false).toolTip().isEmpty());
    EXPECT_EQ(ItemRow(open, category, true).checkColor(palette), accent);
}

namespace {

// A red 64-pixel PNG in `dir`.
QString redPng(const QTemporaryDir& dir) {
    const QString png = dir.filePath(QStringLiteral("icon.png"));
    QImage image(64, 64, QImage::Format_ARGB32);
    image.fill(Qt::red);
    EXPECT_TRUE(image.save(png));
    return png;
}

} // namespace

TEST(ItemRowTest, IconsComeFromReadableImagesOnly) {
    QTemporaryDir dir;
    const QString png = redPng(dir);
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an image");
    file.close();

    EXPECT_TRUE(ItemIcons::read(png, 26).image.has_value());
    EXPECT_FALSE(ItemIcons::read(dir.filePath(QStringLiteral("missing.png")), 26).image.has_value());
    EXPECT_FALSE(ItemIcons::read(text, 26).image.has_value());
    EXPECT_TRUE(ItemIcons::read(dir.filePath(QStringLiteral("Xcode.app")), 26).bundle.has_value());
}

// Painting never reads an image: the first paint of a row asks for it and draws the category's
// symbol; the image is read once on a worker and drawn from then on. An image that cannot be read
// is not asked for again, however often its rows are painted.
TEST(ItemRowTest, RowImagesAreReadOnceOffThePaintPathMissesIncluded) {
    QTemporaryDir dir;
    const QString png = redPng(dir);
    World world;
    std::vector<CleanupItem> items;
    for (const auto& [id, icon] : {std::pair{"with", png}, std::pair{"gone", dir.filePath("gone.png")},
                                   std::pair{"gone-too", dir.filePath("gone.png")}}) {
        CleanupItem made = World::item(QString::fromLatin1(id), 10);
        made.iconPath = icon;
        items.push_back(made);
    }
    world.load(Kind::archives, items);

    std::atomic<int> reads{0};
    CategoryItemsModel model(world.model, Kind::archives);
    QListView view;
    auto* delegate = new ItemRowDelegate(CleanerMotion::of(world.model).animator(), &view, {},
                                         [&](const QString& path, int side) {
                                             ++reads;
                                             return ItemIcons::read(path, side);
                                         });
    view.setItemDelegate(delegate);
    view.setModel(&model);
    view.resize(600, 3 * ItemRow::height() + 10);
    QSignalSpy loaded(&delegate->icons(), &ItemIcons::loaded);
    QImage frame(view.size(), QImage::Format_ARGB32_Premultiplied);
    const auto paint = [&] {
        frame.fill(Qt::white);
        view.render(&frame);
    };
    const QPoint iconCentre(14 + 20 + 12 + 13, ItemRow::height() / 2);
    for (int i = 0; i < 3; ++i)
        paint();
    EXPECT_NE(frame.pixelColor(iconCentre), QColor(Qt::red)); // not read yet: the symbol
    ASSERT_TRUE(loaded.wait(5000));
    while (loaded.count() < 2 && loaded.wait(5000)) {
    }
    for (int i = 0; i < 5; ++i)
        paint();
    EXPECT_EQ(frame.pixelColor(iconCentre), QColor(Qt::red));
    EXPECT_EQ(reads.load(), 2); // one image, one miss, each once
}

TEST(ItemRowTest, AJustToggledRowBlendsFromItsOtherLook) {
    QPalette palette;
    const CleanupCategory category(Kind::caches);
    const CleanupItem open = World::item(QStringLiteral("o"), 1);
    ItemRow selected(open, category, true);
    const ItemRow unselected(open, category, false);

    selected.setSelectionProgress(0);
    EXPECT_EQ(selected.background(palette, false), unselected.background(palette, false));
    EXPECT_EQ(selected.checkColor(palette), unselected.checkColor(palette));
    EXPECT_EQ(selected.checkSymbol(), "checkmark.circle.fill"); // the symbol changes at once
    selected.setSelectionProgress(0.5);
    EXPECT_NEAR(selected.background(palette, false).alphaF(), 0.04, 0.005);
    selected.setSelectionProgress(1);
    EXPECT_EQ(selected.background(palette, false), ItemRow(open, category, true).background(palette, false));
}
