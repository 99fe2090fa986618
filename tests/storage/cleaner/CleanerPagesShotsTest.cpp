// Renders the cleaner's pages into PNGs for a look by eye; runs only with QUORVEX_SHOTS_DIR set.
#include "storage/cleaner/CategoryDetail.h"
#include "storage/cleaner/ChipButton.h"
#include "storage/cleaner/OverviewDetail.h"
#include "storage/cleaner/SafetyBadge.h"
#include "storage/cleaner/SpaceSavedBadge.h"
#include "storage/cleaner/TagChip.h"

#include "storage/cleaner/CleanerWorld.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

using namespace quorvex;
using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;
using World = test::CleanerWorld;

namespace {

QString shotsDir() {
    return qEnvironmentVariable("QUORVEX_SHOTS_DIR");
}

void save(QWidget& widget, const QString& name) {
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.show();
    QCoreApplication::processEvents();
    const QString dir = shotsDir();
    QDir().mkpath(dir);
    ASSERT_TRUE(widget.grab().save(dir + QLatin1Char('/') + name));
}

const QDateTime kNow = QDateTime(QDate(2026, 12, 10), QTime(12, 0), Qt::UTC);

void fill(World& world) {
    std::vector<CleanupItem> derived;
    for (int i = 0; i < 300; ++i) {
        CleanupItem item =
            World::item(QStringLiteral("App%1-abcdefghijklmnop").arg(i), 4'000'000'000LL / (i + 1),
                        i % 3 == 0 ? std::set<Tag>{Tag::old} : std::set<Tag>{});
        item.subtitle =
            QStringLiteral("~/Library/Developer/Xcode/DerivedData/App%1-abcdefghijklmnopqrstuvwxyz/Build/"
                           "Intermediates.noindex")
                .arg(i);
        item.date = kNow.addDays(-(i * 7 % 400));
        derived.push_back(item);
    }
    world.load(Kind::derivedData, derived);
    CleanupItem booted = World::protectedItem(QStringLiteral("iPhone 15 Pro"), 6'200'000'000);
    booted.protectedReason = QStringLiteral("Booted");
    booted.subtitle = QStringLiteral("iOS 17.2");
    booted.date = kNow.addDays(-1);
    CleanupItem gone =
        World::item(QStringLiteral("iPhone 8"), 2'100'000'000, {Tag::unavailable, Tag::recommended});
    gone.subtitle = QStringLiteral("iOS 15.0");
    CleanupItem orphan = World::item(QStringLiteral("1F2E…"), 300'000'000, {Tag::orphaned, Tag::recommended});
    world.load(Kind::simulators, {booted, gone, orphan});
    CleanupItem uploaded =
        World::item(QStringLiteral("Notes 2.1 (41)"), 900'000'000, {Tag::uploaded, Tag::old});
    uploaded.bundleID = QStringLiteral("com.example.notes");
    uploaded.date = kNow.addMonths(-8);
    CleanupItem local = World::item(QStringLiteral("Notes 2.2 (42)"), 950'000'000);
    local.bundleID = QStringLiteral("com.example.notes");
    world.load(Kind::archives, {local, uploaded});
    world.load(Kind::caches,
               {World::item(QStringLiteral("org.swift.swiftpm"), 1'400'000'000, {Tag::recommended})});
    world.load(Kind::logs, {World::item(QStringLiteral("CoreSimulator"), 0)});
}

} // namespace

TEST(CleanerPagesShots, Pages) {
    if (shotsDir().isEmpty())
        GTEST_SKIP() << "QUORVEX_SHOTS_DIR is not set";
    World world;
    fill(world);
    world.spaceSaved.setTotal(12'345'678'901);
    world.hold({Kind::runtimes});

    OverviewDetail overview(world.model, world.spaceSaved);
    overview.resize(720, 900);
    save(overview, QStringLiteral("overview.png"));

    world.model.toggle(World::item(QStringLiteral("App1-abcdefghijklmnop"), 0));
    world.model.toggle(CleanupItem::Tag::old, Kind::derivedData);
    CategoryDetail derived(world.model, Kind::derivedData, nullptr, [] { return kNow; });
    derived.resize(720, 800);
    save(derived, QStringLiteral("category-many-items.png"));

    CategoryDetail simulators(world.model, Kind::simulators, nullptr, [] { return kNow; });
    simulators.resize(720, 560);
    save(simulators, QStringLiteral("category-simulators.png"));

    world.model.setArchiveFilter(
        StorageCleanerModel::ArchiveFilter{QStringLiteral("com.example.notes"), QStringLiteral("Notes")});
    CategoryDetail archives(world.model, Kind::archives, nullptr, [] { return kNow; });
    archives.resize(720, 520);
    save(archives, QStringLiteral("category-archives-filtered.png"));

    CategoryDetail runtimes(world.model, Kind::runtimes, nullptr, [] { return kNow; });
    runtimes.resize(720, 420);
    save(runtimes, QStringLiteral("category-scanning.png"));
    CategoryDetail documentation(world.model, Kind::documentation, nullptr, [] { return kNow; });
    documentation.resize(720, 460);
    save(documentation, QStringLiteral("category-empty.png"));

    // Every badge and chip state on one sheet.
    QWidget sheet;
    auto* rows = new QVBoxLayout(&sheet);
    auto* safety = new QHBoxLayout;
    for (auto level : {CleanupSafety::safe, CleanupSafety::review, CleanupSafety::verify})
        safety->addWidget(new SafetyBadge(level, &sheet));
    safety->addStretch(1);
    rows->addLayout(safety);
    auto* chips = new QHBoxLayout;
    auto* active = new ChipButton(QStringLiteral("Unavailable \u00B7 3"), &sheet);
    active->setActive(true);
    active->setSymbol(QStringLiteral("checkmark.circle.fill"));
    chips->addWidget(active);
    auto* inactive = new ChipButton(QStringLiteral("Not used in 90 days \u00B7 2"), &sheet);
    inactive->setSymbol(QStringLiteral("clock"));
    chips->addWidget(inactive);
    auto* disabled = new ChipButton(QStringLiteral("Orphaned folders \u00B7 0"), &sheet);
    disabled->setSymbol(QStringLiteral("questionmark.folder"));
    disabled->setEnabled(false);
    chips->addWidget(disabled);
    chips->addWidget(new ChipButton(QStringLiteral("All"), &sheet));
    chips->addStretch(1);
    rows->addLayout(chips);
    rows->addWidget(new SpaceSavedBadge(world.spaceSaved, &sheet));
    sheet.resize(560, 200);
    save(sheet, QStringLiteral("badges-and-chips.png"));
}
