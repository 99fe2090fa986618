#include "storage/engine/StorageCleanerModel.h"

#include "storage/engine/SpaceSaved.h"
#include "storage/files/LongTaskGate.h"
#include "support/FakeTrash.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

using namespace quorvex;
using Kind = CleanupCategory::Kind;

namespace {

// Runs the event loop until `done` holds (results of background work arrive queued); false after
// ten seconds, so a broken test fails instead of hanging.
template <typename Done> bool waitFor(Done done) {
    QDeadlineTimer deadline(10'000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class PlainGate final : public LongTaskGate {
public:
    bool busy = false;
    int refusals = 0;
    bool beginLongTask() override {
        if (busy) {
            ++refusals;
            return false;
        }
        busy = true;
        return true;
    }
    void endLongTask() override { busy = false; }
    bool isLongTaskRunning() const override { return busy; }
};

class RecordingProgress final : public StorageCleanerModel::Progress {
public:
    QString title;
    std::vector<std::pair<std::int64_t, std::int64_t>> updates;
    std::optional<ItemRemoval::Outcome> outcome;
    void show(const QString& shown) override { title = shown; }
    void update(std::int64_t done, std::int64_t total) override { updates.emplace_back(done, total); }
    void finish(const ItemRemoval::Outcome& finished) override { outcome = finished; }
};

// A gate that the test's scanners wait at while it is shut. It opens when it goes, and waits for
// the scans it lets through to leave it, so a failed assertion never leaves a scan waiting (a
// scanner touches nothing of the test's after passing).
class ScanGate final {
public:
    ~ScanGate() {
        std::unique_lock lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_waiting == 0; });
    }
    void setOpen(bool open) {
        {
            std::lock_guard lock(m_mutex);
            m_open = open;
        }
        m_changed.notify_all();
    }
    void pass() {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        m_changed.wait(lock, [&] { return m_open; });
        --m_waiting;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = true;
    int m_waiting = 0;
};

CleanupItem item(const char* id, std::int64_t size, CleanupRemoval removal = CleanupRemoval::ofFile("/x")) {
    CleanupItem made;
    made.id = id;
    made.title = QString::fromLatin1(id).toUpper();
    made.size = size;
    made.removal = std::move(removal);
    return made;
}

// A scanner answering from a table that the test changes, and a remover that fails chosen ids.
class StorageCleanerModelTest : public ::testing::Test {
protected:
    void TearDown() override { QThreadPool::globalInstance()->waitForDone(); }

    void settle() {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        ASSERT_TRUE(waitFor([&] { return model.scanning().empty() && !model.isCleaning(); }));
    }

    std::mutex mutex;
    std::map<Kind, std::vector<CleanupItem>> table;
    std::vector<QString> removed;
    std::set<QString> failing;
    test::FakeTrash trash;
    PlainGate gate;
    RecordingProgress progress;
    // Cleared before the total is read, so every test starts from 0.
    bool freshTotal = (sharedDefaults().remove(SpaceSaved::kKey), true);
    SpaceSaved spaceSaved;
    StorageCleanerModel model{[this](Kind kind) {
                                  std::lock_guard lock(mutex);
                                  CleanupCategory category(kind);
                                  category.items = table[kind];
                                  return category;
                              },
                              trash, gate, progress, spaceSaved};
};

} // namespace

TEST_F(StorageCleanerModelTest, CleanRemovesTheSelectionOneByOneAndReportsTheOutcome) {
    table[Kind::simulators] = {
        item("sim", 1000, CleanupRemoval::ofSimulator("5C1A7E2B-0000-4000-8000-000000000001"))};
    table[Kind::logs] = {item("log-a", 3000), item("log-b", 500), item("log-kept", 7)};
    std::vector<std::pair<CleanupRemoval, bool>> calls;
    model.setRemover([&](const CleanupRemoval& removal, bool toTrash) -> std::optional<QString> {
        calls.emplace_back(removal, toTrash);
        if (removal.kind == CleanupRemoval::Kind::file && calls.size() == 3)
            return QStringLiteral("Permission denied");
        return std::nullopt;
    });
    model.scan({Kind::logs, Kind::simulators, Kind::logs});
    settle();
    for (const char* id : {"sim", "log-a", "log-b"})
        model.toggle(item(id, 0));
    EXPECT_EQ(model.selectedBytes(), 4500);

    model.clean(StorageCleanerModel::Mode::trash);
    EXPECT_TRUE(model.isCleaning());
    EXPECT_EQ(progress.title, "Moving to Trash");
    settle();

    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FALSE(calls[0].second); // a simulator never goes to the Trash
    EXPECT_TRUE(calls[1].second);
    ASSERT_TRUE(progress.outcome);
    EXPECT_EQ(*progress.outcome,
              (ItemRemoval::Outcome{"2 of 3 items cleaned", true, "LOG-B: Permission denied"}));
    EXPECT_EQ(progress.updates.back(), (std::pair<std::int64_t, std::int64_t>(4500, 4500)));
    EXPECT_EQ(spaceSaved.total(), 4000);
    EXPECT_TRUE(model.selection().empty());
    EXPECT_FALSE(gate.busy);
}

// A scan that was under way during a clean lists the removed items; the clean's own rescan must
// replace it, so they neither come back nor count twice.
TEST_F(StorageCleanerModelTest, ARescanAfterACleanWinsOverAScanStartedBefore) {
    ScanGate latch;
    latch.setOpen(false);
    std::atomic<int> calls{0};
    StorageCleanerModel racing(
        [&](Kind kind) {
            CleanupCategory category(kind);
            const int call = ++calls;
            if (call == 2)
                latch.pass();
            category.items = call <= 2 ? std::vector<CleanupItem>{item("old", 100), item("new", 5)}
                                       : std::vector<CleanupItem>{item("new", 5)};
            return category;
        },
        trash, gate, progress, spaceSaved);
    racing.setRemover([](const CleanupRemoval&, bool) { return std::optional<QString>(); });
    racing.scan({Kind::logs});
    ASSERT_TRUE(waitFor([&] { return racing.scanning().empty(); }));
    racing.toggle(item("old", 0));

    racing.scan({Kind::logs}); // the second scan waits: it lists "old" as it was before the clean
    // Only once it runs is it the scan started before the clean (else the clean's rescan could
    // take its turn at the latch).
    ASSERT_TRUE(waitFor([&] { return calls.load() == 2; }));
    racing.clean(StorageCleanerModel::Mode::remove);
    ASSERT_TRUE(waitFor([&] { return !racing.isCleaning(); }));
    ASSERT_TRUE(waitFor([&] { return calls.load() == 3 && racing.category(Kind::logs).items.size() == 1u; }));
    latch.setOpen(true);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();

    ASSERT_EQ(racing.category(Kind::logs).items.size(), 1u);
    EXPECT_EQ(racing.category(Kind::logs).items[0].id, "new");
    EXPECT_TRUE(racing.scanning().empty());
    EXPECT_EQ(spaceSaved.total(), 100);
}

// An item that became protected since it was selected leaves the selection with the scan that
// protects it, and is never cleaned.
TEST_F(StorageCleanerModelTest, ProtectedItemsAreNeverSelectedNorCleaned) {
    table[Kind::simulators] = {item("booted", 10), item("free", 20)};
    int removals = 0;
    model.setRemover([&](const CleanupRemoval&, bool) {
        ++removals;
        return std::optional<QString>();
    });
    model.scan({Kind::simulators});
    settle();
    model.toggle(item("booted", 0));
    model.toggle(item("free", 0));
    model.toggle(item("gone", 0));
    {
        std::lock_guard lock(mutex);
        table[Kind::simulators][0].protectedReason = QStringLiteral("Running — shut it down first");
    }
    model.scan({Kind::simulators});
    settle();
    EXPECT_EQ(model.selection(), QSet<QString>{"free"});

    CleanupItem isProtected = model.category(Kind::simulators).items[1];
    ASSERT_TRUE(isProtected.isProtected());
    model.toggle(isProtected);
    model.setAllSelected(true, Kind::simulators);
    EXPECT_EQ(model.selection(), QSet<QString>{"free"});

    gate.busy = true; // another long task runs
    QSignalSpy refused(&model, &StorageCleanerModel::cleanRefused);
    model.clean(StorageCleanerModel::Mode::trash);
    EXPECT_FALSE(model.isCleaning());
    EXPECT_EQ(gate.refusals, 1);
    EXPECT_EQ(refused.count(), 1); // the caller is told, so it can show the busy toast
    gate.busy = false;
    model.clean(StorageCleanerModel::Mode::trash);
    settle();
    EXPECT_EQ(removals, 1);
}

TEST_F(StorageCleanerModelTest, QuickSelectionsAndTheArchiveFilter) {
    CleanupItem a = item("a", 30);
    a.bundleID = QStringLiteral("com.example.a");
    a.tags = {CleanupItem::Tag::old};
    CleanupItem b = item("b", 20);
    b.tags = {CleanupItem::Tag::old, CleanupItem::Tag::recommended};
    CleanupItem c = item("c", 10);
    c.tags = {CleanupItem::Tag::old};
    c.protectedReason = QStringLiteral("kept");
    table[Kind::archives] = {a, b, c};
    model.scan({Kind::archives});
    settle();

    model.toggle(CleanupItem::Tag::old, Kind::archives);
    EXPECT_EQ(model.selection(), (QSet<QString>{"a", "b"}));
    model.toggle(CleanupItem::Tag::old, Kind::archives);
    EXPECT_TRUE(model.selection().empty());
    model.selectRecommended();
    EXPECT_EQ(model.selection(), QSet<QString>{"b"});

    model.setArchiveFilter(StorageCleanerModel::ArchiveFilter{"com.example.a", "A"});
    ASSERT_EQ(model.visibleItems(Kind::archives).size(), 1u);
    EXPECT_EQ(model.selectedCount(Kind::archives), 1);
    EXPECT_EQ(model.totalBytes(), 60);
}

TEST_F(StorageCleanerModelTest, TheSectionAndTheArchiveFilterNotifyOnlyWhenTheyChange) {
    using Section = StorageCleanerModel::Section;
    EXPECT_EQ(model.section(), Section::overview());
    QSignalSpy sections(&model, &StorageCleanerModel::sectionChanged);
    QSignalSpy changes(&model, &StorageCleanerModel::changed);

    model.setSection(Section::overview());
    model.setArchiveFilter(std::nullopt);
    EXPECT_EQ(sections.count(), 0);
    EXPECT_EQ(changes.count(), 0);

    model.setSection(Section::category(Kind::logs));
    model.setSection(Section::category(Kind::logs));
    model.setSection(std::nullopt);
    EXPECT_EQ(sections.count(), 2);

    const StorageCleanerModel::ArchiveFilter notes{"com.example.notes", "Notes"};
    model.setArchiveFilter(notes);
    model.setArchiveFilter(notes);
    EXPECT_EQ(model.archiveFilter(), notes);
    model.setArchiveFilter(std::nullopt);
    EXPECT_EQ(changes.count(), 4); // two sections, the filter set and lifted
}

namespace {

// What the model's sums must say, worked out from its lists and its selection.
struct Sums {
    std::map<Kind, int> selected;
    std::int64_t selectedBytes = 0;
    std::map<std::pair<Kind, CleanupItem::Tag>, std::pair<int, int>> tagged;
    std::map<Kind, std::int64_t> bytes, visibleBytes;
    int recommended = 0;
    std::int64_t recommendedBytes = 0;
    friend bool operator==(const Sums&, const Sums&) = default;
};

Sums sumsWorkedOut(const StorageCleanerModel& model) {
    using Tag = CleanupItem::Tag;
    Sums sums;
    for (Kind kind : CleanupCategory::allKinds) {
        sums.selected[kind] = 0;
        sums.bytes[kind] = sums.visibleBytes[kind] = 0;
        for (const CleanupItem& each : model.category(kind).items) {
            const bool selected = model.selection().contains(each.id);
            sums.selected[kind] += selected ? 1 : 0;
            sums.selectedBytes = saturatingSum(sums.selectedBytes, selected ? each.size : 0);
            sums.bytes[kind] = saturatingSum(sums.bytes[kind], each.size);
            if (each.tags.count(Tag::recommended) && !each.isProtected()) {
                ++sums.recommended;
                sums.recommendedBytes = saturatingSum(sums.recommendedBytes, each.size);
            }
        }
        for (const CleanupItem& each : model.visibleItems(kind))
            sums.visibleBytes[kind] = saturatingSum(sums.visibleBytes[kind], each.size);
        for (Tag tag : {Tag::old, Tag::unavailable, Tag::orphaned, Tag::recommended, Tag::uploaded}) {
            auto& [count, selected] = sums.tagged[{kind, tag}];
            for (const CleanupItem& each : model.items(kind, tag)) {
                ++count;
                selected += model.selection().contains(each.id) ? 1 : 0;
            }
        }
    }
    return sums;
}

Sums sumsKept(const StorageCleanerModel& model) {
    using Tag = CleanupItem::Tag;
    Sums sums;
    sums.selectedBytes = model.selectedBytes();
    for (Kind kind : CleanupCategory::allKinds) {
        sums.selected[kind] = model.selectedCount(kind);
        sums.bytes[kind] = model.categoryBytes(kind);
        sums.visibleBytes[kind] = model.visibleBytes(kind);
        for (Tag tag : {Tag::old, Tag::unavailable, Tag::orphaned, Tag::recommended, Tag::uploaded}) {
            const StorageCleanerModel::TagTally tally = model.taggedTally(kind, tag);
            sums.tagged[{kind, tag}] = {tally.count, tally.selected};
        }
    }
    sums.recommended = model.recommendedTally().count;
    sums.recommendedBytes = model.recommendedTally().bytes;
    return sums;
}

} // namespace

// The sums the views read on every change are kept beside the lists rather than worked out again;
// through every kind of change they must say what the lists and the selection say, also for
// sizes whose sum saturates.
TEST_F(StorageCleanerModelTest, KeptSumsFollowEveryChangeOfTheSelectionAndTheLists) {
    using Tag = CleanupItem::Tag;
    constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max();
    const auto tagged = [](const char* id, std::int64_t size, std::set<Tag> tags,
                           std::optional<QString> bundle = std::nullopt) {
        CleanupItem made = item(id, size);
        made.tags = std::move(tags);
        made.bundleID = std::move(bundle);
        return made;
    };
    CleanupItem locked = tagged("locked", 7, {Tag::old, Tag::recommended});
    locked.protectedReason = QStringLiteral("Running");
    table[Kind::logs] = {tagged("huge-1", kHuge, {Tag::old}),
                         tagged("huge-2", kHuge, {Tag::old, Tag::recommended}), tagged("huge-3", kHuge, {}),
                         tagged("small", 5, {Tag::orphaned, Tag::recommended}), locked};
    table[Kind::archives] = {tagged("a", 30, {Tag::uploaded, Tag::old}, "com.example.a"),
                             tagged("b", 20, {Tag::uploaded}, "com.example.b"),
                             tagged("none", 10, {Tag::old})};
    model.scan({Kind::logs, Kind::archives});
    settle();

    struct Step {
        const char* what;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"one huge item", [&] { model.toggle(item("huge-1", 0)); }},
        {"two huge items", [&] { model.toggle(item("huge-2", 0)); }},
        {"three huge items, past 2^64 bytes", [&] { model.toggle(item("huge-3", 0)); }},
        {"and a small one", [&] { model.toggle(item("small", 0)); }},
        {"the huge ones taken back",
         [&] {
             for (const char* id : {"huge-1", "huge-2", "huge-3"})
                 model.toggle(item(id, 0));
             EXPECT_EQ(model.selectedBytes(), 5);
         }},
        {"a chip", [&] { model.toggle(Tag::old, Kind::logs); }},
        {"the same chip again", [&] { model.toggle(Tag::old, Kind::logs); }},
        {"all of a kind", [&] { model.setAllSelected(true, Kind::archives); }},
        {"the archives of one app",
         [&] {
             model.setArchiveFilter(StorageCleanerModel::ArchiveFilter{"com.example.a", "A"});
         }},
        {"none of the listed archives", [&] { model.setAllSelected(false, Kind::archives); }},
        {"the filter lifted", [&] { model.setArchiveFilter(std::nullopt); }},
        {"the recommended ones", [&] { model.selectRecommended(); }},
        {"an id in no list", [&] { model.toggle(item("stray", 3)); }},
        {"a rescan drops one and protects another",
         [&] {
             {
                 std::lock_guard lock(mutex);
                 table[Kind::logs].erase(table[Kind::logs].begin());
                 table[Kind::logs][1].protectedReason = QStringLiteral("In use");
             }
             model.scan({Kind::logs});
             settle();
         }},
        {"all of the rescanned kind", [&] { model.setAllSelected(true, Kind::logs); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_TRUE(sumsKept(model) == sumsWorkedOut(model));
    }
    EXPECT_EQ(model.selectedBytes(), kHuge);
    EXPECT_FALSE(model.selection().contains("stray")); // the rescan dropped what no list holds
}

// A kind asked twice, or asked again while it scans, scans once; while a rescan runs, the kind
// keeps showing what the last scan found until the new result replaces it.
TEST_F(StorageCleanerModelTest, AKindScansOnceAtATimeAndKeepsItsItemsWhileItScansAgain) {
    ScanGate scans;
    std::atomic<int> calls{0};
    StorageCleanerModel gated(
        [&](Kind kind) {
            const int call = ++calls;
            scans.pass();
            CleanupCategory category(kind);
            category.items = {item(call == 1 ? "first" : "second", 10)};
            return category;
        },
        trash, gate, progress, spaceSaved);

    gated.scan({Kind::logs, Kind::logs});
    ASSERT_TRUE(waitFor([&] { return gated.scanning().empty(); }));
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(gated.category(Kind::logs).items[0].id, "first");

    scans.setOpen(false);
    gated.scan({Kind::logs});
    ASSERT_TRUE(waitFor([&] { return calls.load() == 2; }));
    gated.scan({Kind::logs}); // already scanning: nothing new starts
    QCoreApplication::processEvents();
    EXPECT_EQ(gated.scanning(), std::set<Kind>{Kind::logs});
    ASSERT_EQ(gated.category(Kind::logs).items.size(), 1u);
    EXPECT_EQ(gated.category(Kind::logs).items[0].id, "first");

    scans.setOpen(true);
    ASSERT_TRUE(waitFor([&] { return gated.scanning().empty(); }));
    EXPECT_EQ(gated.category(Kind::logs).items[0].id, "second");
    EXPECT_EQ(calls.load(), 2);
}
