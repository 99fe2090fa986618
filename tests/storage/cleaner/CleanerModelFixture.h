#pragma once

#include "storage/engine/SpaceSaved.h"
#include "storage/engine/StorageCleanerModel.h"
#include "storage/files/LongTaskGate.h"
#include "support/FakeTrash.h"
#include "tools/Environment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <vector>

namespace quorvex::test {

/// A busy flag the test can hold.
class PlainGate final : public LongTaskGate {
public:
    bool busy = false;
    bool beginLongTask() override { return busy ? false : (busy = true); }
    void endLongTask() override { busy = false; }
    bool isLongTaskRunning() const override { return busy; }
};

/// What the clean told its progress display.
class RecordingProgress final : public StorageCleanerModel::Progress {
public:
    std::vector<QString> titles;
    void show(const QString& title) override { titles.push_back(title); }
    void update(std::int64_t, std::int64_t) override {}
    void finish(const ItemRemoval::Outcome&) override {}
};

inline CleanupItem cleanupItem(const QString& id, std::int64_t size,
                               CleanupRemoval removal = CleanupRemoval::ofFile("/nowhere")) {
    CleanupItem made;
    made.id = id;
    made.title = id;
    made.size = size;
    made.removal = std::move(removal);
    return made;
}

/// A cleaner model whose scanner answers from `table`, which a test fills before scanning; the
/// remover only records. scanAll() runs a scan of every kind to its end.
class CleanerModelFixture : public ::testing::Test {
protected:
    void TearDown() override { QThreadPool::globalInstance()->waitForDone(); }

    void scanAll() {
        model.scan({CleanupCategory::allKinds.begin(), CleanupCategory::allKinds.end()});
        settle();
    }
    void settle() {
        QDeadlineTimer deadline(10'000);
        while (!model.scanning().empty() || model.isCleaning()) {
            ASSERT_FALSE(deadline.hasExpired());
            QThreadPool::globalInstance()->waitForDone(50);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    void select(std::initializer_list<QString> ids) {
        for (const QString& id : ids)
            model.toggle(cleanupItem(id, 0));
    }

    std::mutex mutex;
    std::map<CleanupCategory::Kind, std::vector<CleanupItem>> table;
    FakeTrash trash;
    PlainGate gate;
    RecordingProgress progress;
    bool freshTotal = (sharedDefaults().remove(SpaceSaved::kKey), true);
    SpaceSaved spaceSaved;
    StorageCleanerModel model{[this](CleanupCategory::Kind kind) {
                                  std::lock_guard lock(mutex);
                                  CleanupCategory category(kind);
                                  category.items = table[kind];
                                  return category;
                              },
                              trash, gate, progress, spaceSaved};
    bool quietRemover =
        (model.setRemover([](const CleanupRemoval&, bool) { return std::optional<QString>(); }), true);
};

} // namespace quorvex::test
