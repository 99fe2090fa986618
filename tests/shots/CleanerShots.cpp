#include "shots/Shots.h"

#include "storage/cleaner/CategoryDetail.h"
#include "storage/cleaner/ChipButton.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanerWorld.h"
#include "storage/cleaner/CleanupHUD.h"
#include "storage/cleaner/ConfirmationSheet.h"
#include "storage/cleaner/Disclaimer.h"
#include "storage/cleaner/OverviewDetail.h"
#include "storage/cleaner/SafetyBadge.h"
#include "storage/cleaner/SelectionBar.h"
#include "storage/cleaner/SpaceSavedBadge.h"
#include "storage/cleaner/StorageCleanerWindow.h"
#include "storage/engine/CategoryScan.h"
#include "support/FakeClock.h"
#include "support/FakeTrash.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QListView>
#include <QMainWindow>
#include <QVBoxLayout>

#include <filesystem>
#include <fstream>

namespace quorvex::shots {
namespace {

using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;
using World = test::CleanerWorld;
using Phase = CleanupProgress::Phase;

const QDateTime kNow = QDateTime(QDate(2026, 12, 10), QTime(12, 0), Qt::UTC);

QImage shown(QWidget& widget) {
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.show();
    QCoreApplication::processEvents();
    return widget.grab().toImage();
}

// Many derived-data folders, simulators in each state, two builds of one app's archive.
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

void writeFile(const std::filesystem::path& path, std::size_t size) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << std::string(size, 'x');
}

// A small developer folder under the shots' own HOME, scanned for real by the window.
void writeDeveloperFolder() {
    const std::filesystem::path library = QDir::homePath().toStdString() + "/Library";
    if (std::filesystem::exists(library / "Developer"))
        return;
    int n = 0;
    for (const char* project : {"Notes-abcdefgh", "Maps-ijklmnop", "Weather-qrstuvwx"})
        for (int i = 0; i < 40; ++i)
            writeFile(library / "Developer/Xcode/DerivedData" / project / "Build" / std::to_string(i),
                      90'000 + 7'000 * (++n % 13));
    for (const char* version : {"17.2 (21C62)", "16.4 (20E247)"})
        for (int i = 0; i < 30; ++i)
            writeFile(library / "Developer/Xcode/iOS DeviceSupport" / version / "Symbols" / std::to_string(i),
                      200'000);
    for (int i = 0; i < 12; ++i)
        writeFile(library / "Logs/Xcode" / std::to_string(i), 40'000);
    for (int i = 0; i < 25; ++i)
        writeFile(library / "Caches/com.apple.dt.Xcode" / std::to_string(i), 60'000);
}

class OpenGate final : public LongTaskGate {
public:
    bool beginLongTask() override { return true; }
    void endLongTask() override {}
    bool isLongTaskRunning() const override { return false; }
};

void runEventsFor(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

QImage cleanerPage(CleanerPage page) {
    World world;
    fill(world);
    world.spaceSaved.setTotal(12'345'678'901);
    world.hold({Kind::runtimes});
    if (page == CleanerPage::overview) {
        OverviewDetail overview(world.model, world.spaceSaved);
        overview.resize(720, 900);
        return shown(overview);
    }
    // Each category page with the model as that state leaves it, at the height it is shown in.
    Kind kind = Kind::derivedData;
    int height = 800;
    switch (page) {
    case CleanerPage::overview:
    case CleanerPage::manyItems:
        world.model.toggle(World::item(QStringLiteral("App1-abcdefghijklmnop"), 0));
        world.model.toggle(Tag::old, Kind::derivedData);
        break;
    case CleanerPage::simulators:
        kind = Kind::simulators;
        height = 560;
        break;
    case CleanerPage::archivesFiltered:
        world.model.setArchiveFilter(
            StorageCleanerModel::ArchiveFilter{QStringLiteral("com.example.notes"), QStringLiteral("Notes")});
        kind = Kind::archives;
        height = 520;
        break;
    case CleanerPage::scanning:
        kind = Kind::runtimes;
        height = 420;
        break;
    case CleanerPage::empty:
        kind = Kind::documentation;
        height = 460;
        break;
    }
    CategoryDetail detail(world.model, kind, nullptr, [] { return kNow; });
    detail.resize(720, height);
    return shown(detail);
}

QImage cleanerBadgesAndChips() {
    World world;
    world.spaceSaved.setTotal(12'345'678'901);
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
    rows->addWidget(new SpaceSavedBadge(world.spaceSaved, CleanerMotion::of(world.model).animator(), &sheet));
    sheet.resize(560, 200);
    return shown(sheet);
}

QImage cleanupHUD(HudState state) {
    struct Look {
        QString title;
        Phase phase;
        double after;
    };
    const Look looks[] = {
        {"Moving to Trash", Phase::measuring(), 0.3},
        {"Moving to Trash", Phase::deleting(1'234'000'000, 3'400'000'000), 1.0},
        {"Cleaned up", Phase::success("Moved 3.4 GB to the Trash. Empty the Trash to free the space."), 2.0},
        {"2 of 3 items cleaned",
         Phase::failure("Old.xcarchive: needs your password — drag it to the Trash in Finder"), 2.0},
        {"2 of 3 items cleaned", Phase::failure("Old.xcarchive: simctl couldn’t delete it"), 0.38},
    };
    const Look& look = looks[int(state)];
    test::FakeClock clock;
    CleanupHUD hud(clock);
    hud.update(hud.show(look.title), std::nullopt, look.phase);
    clock.advance(look.after);
    return hud.panel()->grab().toImage();
}

QImage review(Review part) {
    World world;
    std::vector<CleanupItem> archives;
    for (int i = 0; i < 6; ++i)
        archives.push_back(World::item(QStringLiteral("Demo %1.xcarchive").arg(i), 80'000'000 - i));
    world.load(Kind::archives, archives);
    world.load(Kind::derivedData, {World::item("App-abc", 4'000'000), World::item("Kit-def", 1'000'000)});
    CleanupItem phone = World::item("iPhone 15", 2'000'000);
    phone.removal = CleanupRemoval::ofSimulator("U");
    world.load(Kind::simulators, {phone});
    CleanupItem runtime = World::item("iOS 16.4", 7'000'000'000);
    runtime.removal = CleanupRemoval::ofRuntime("R");
    world.load(Kind::runtimes, {runtime});
    if (part == Review::barEmpty) {
        SelectionBar empty(world.model, {});
        empty.resize(760, empty.sizeHint().height());
        return empty.grab().toImage();
    }
    if (part == Review::disclaimer) {
        Disclaimer disclaimer;
        disclaimer.resize(760, disclaimer.heightForWidth(760));
        return disclaimer.grab().toImage();
    }
    world.model.setAllSelected(true, Kind::archives);
    for (const char* id : {"App-abc", "iPhone 15", "iOS 16.4"})
        world.model.toggle(World::item(id, 0));
    if (part == Review::bar) {
        SelectionBar bar(world.model, {});
        bar.resize(760, bar.sizeHint().height());
        return bar.grab().toImage();
    }
    ConfirmationSheet sheet(world.model, {}, {});
    if (part == Review::sheetDelete)
        sheet.setMode(StorageCleanerModel::Mode::remove);
    sheet.adjustSize();
    return sheet.grab().toImage();
}

QImage cleanerWindow(CleanerWindowShot shot, CleanupCategory::Kind page) {
    writeDeveloperFolder();
    test::FakeTrash trash;
    test::FakeClock clock;
    CleanupHUD hud(clock);
    OpenGate gate;
    sharedDefaults().remove(SpaceSaved::kKey);
    SpaceSaved saved;
    StorageCleanerWindow cleaner(
        {[](Kind kind) { return CategoryScan::scan(kind, [] { return QDateTime::currentDateTime(); }); },
         trash, gate, hud, saved, false});
    cleaner.show(std::nullopt, std::nullopt);
    QDeadlineTimer deadline(20'000);
    while (!cleaner.model().scanning().empty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    cleaner.model().setAllSelected(true, Kind::derivedData);
    // The ring grows into its slices on a spring.
    runEventsFor(700);
    QImage picture;
    switch (shot) {
    case CleanerWindowShot::overview:
        picture = cleaner.window()->grab().toImage();
        break;
    case CleanerWindowShot::category:
        cleaner.model().setSection(StorageCleanerModel::Section::category(page));
        QCoreApplication::processEvents();
        picture = cleaner.window()->grab().toImage();
        break;
    case CleanerWindowShot::reviewSheet:
        cleaner.presentReview();
        QCoreApplication::processEvents();
        picture = cleaner.sheet()->grab().toImage();
        break;
    }
    QThreadPool::globalInstance()->waitForDone();
    return picture;
}

namespace {

// The window over a fixed table, shown and active so focus can be seen.
class KeysWindow {
public:
    KeysWindow() {
        World world;
        fill(world);
        for (Kind kind : CleanupCategory::allKinds)
            m_table[kind] = world.model.category(kind).items;
        sharedDefaults().remove(SpaceSaved::kKey);
        cleaner.show(std::nullopt, std::nullopt);
        QDeadlineTimer deadline(20'000);
        while (!cleaner.model().scanning().empty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThreadPool::globalInstance()->waitForDone();
        cleaner.model().toggle(m_table[Kind::caches].front());
        cleaner.window()->activateWindow();
        runEventsFor(700);
    }
    ~KeysWindow() { QThreadPool::globalInstance()->waitForDone(); }

    QMainWindow* window() { return cleaner.window(); }
    void open(Kind kind) {
        cleaner.model().setSection(StorageCleanerModel::Section::category(kind));
        runEventsFor(300);
    }
    // The control with a margin of the window around it.
    QImage around(QWidget* control, int margin) {
        control->setFocus(Qt::TabFocusReason);
        runEventsFor(300);
        const QRect area = QRect(control->mapTo(window(), QPoint(0, 0)), control->size())
                               .adjusted(-margin, -margin, margin, margin) &
                           window()->rect();
        return window()->grab(area).toImage();
    }

private:
    std::map<Kind, std::vector<CleanupItem>> m_table;
    test::FakeTrash m_trash;
    test::FakeClock m_clock;
    CleanupHUD m_hud{m_clock};
    OpenGate m_gate;
    SpaceSaved m_saved;

public:
    StorageCleanerWindow cleaner{{[this](Kind kind) {
                                      CleanupCategory category(kind);
                                      category.items = m_table[kind];
                                      return category;
                                  },
                                  m_trash, m_gate, m_hud, m_saved, false}};
};

} // namespace

QImage cleanerKeys(CleanerKeys shot) {
    KeysWindow keys;
    QMainWindow* window = keys.window();
    switch (shot) {
    case CleanerKeys::minimumOverview:
        window->resize(window->minimumSize());
        runEventsFor(300);
        return window->grab().toImage();
    case CleanerKeys::minimumSimulators:
        window->resize(window->minimumSize());
        keys.open(Kind::simulators);
        return window->grab().toImage();
    case CleanerKeys::focusedCard:
        return keys.around(window->findChild<OverviewDetail*>()->cards().at(1), 24);
    case CleanerKeys::focusedChip: {
        keys.open(Kind::simulators);
        return keys.around(window->findChild<CategoryDetail*>()->selectionChips().front(), 24);
    }
    case CleanerKeys::focusedRow: {
        keys.open(Kind::simulators);
        QListView* list = window->findChild<CategoryDetail*>()->list();
        list->setFocus(Qt::TabFocusReason);
        list->setCurrentIndex(list->model()->index(1, 0));
        return keys.around(list, 12);
    }
    }
    return {};
}

} // namespace quorvex::shots
