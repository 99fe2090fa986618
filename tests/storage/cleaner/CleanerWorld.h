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

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace quorvex::test {

/// A storage cleaner model over a table of items per kind, for the cleaner's pages. Kinds in
/// `held` scan until release() is called, so a test can look at a page while a scan runs.
class CleanerWorld {
public:
    using Kind = CleanupCategory::Kind;
    using Tag = CleanupItem::Tag;

    ~CleanerWorld() {
        release();
        QThreadPool::globalInstance()->waitForDone();
    }

    /// Gives `kind` these items and scans it to the end.
    void load(Kind kind, std::vector<CleanupItem> items) {
        {
            std::lock_guard lock(m_mutex);
            m_table[kind] = std::move(items);
        }
        model.scan({kind});
        settle();
    }

    /// Starts scans of `kinds` that stay running until release().
    void hold(const std::vector<Kind>& kinds) {
        {
            std::lock_guard lock(m_mutex);
            m_held.insert(kinds.begin(), kinds.end());
        }
        model.scan(kinds);
    }

    void release() {
        {
            std::lock_guard lock(m_mutex);
            m_held.clear();
        }
        m_released.notify_all();
    }

    /// Runs the event loop until no scan is running (at most ten seconds).
    bool settle() {
        QDeadlineTimer deadline(10'000);
        while (!model.scanning().empty()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }

    static CleanupItem item(const QString& id, std::int64_t size, std::set<Tag> tags = {}) {
        CleanupItem made;
        made.id = id;
        made.title = id;
        made.subtitle = QStringLiteral("/path/") + id;
        made.size = size;
        made.removal = CleanupRemoval::ofFile("/nonexistent/" + id.toStdString());
        made.tags = std::move(tags);
        return made;
    }
    static CleanupItem protectedItem(const QString& id, std::int64_t size, std::set<Tag> tags = {}) {
        CleanupItem made = item(id, size, std::move(tags));
        made.protectedReason = QStringLiteral("In use");
        return made;
    }

private:
    class OpenGate final : public LongTaskGate {
    public:
        bool beginLongTask() override { return true; }
        void endLongTask() override {}
        bool isLongTaskRunning() const override { return false; }
    };
    class SilentProgress final : public StorageCleanerModel::Progress {
    public:
        void show(const QString&) override {}
        void update(std::int64_t, std::int64_t) override {}
        void finish(const ItemRemoval::Outcome&) override {}
    };

    std::mutex m_mutex;
    std::condition_variable m_released;
    std::map<Kind, std::vector<CleanupItem>> m_table;
    std::set<Kind> m_held;
    FakeTrash m_trash;
    OpenGate m_gate;
    SilentProgress m_progress;

public:
    // Cleared before the total is read, so every world starts from nothing cleaned.
    bool freshTotal = (sharedDefaults().remove(SpaceSaved::kKey), true);
    SpaceSaved spaceSaved;
    StorageCleanerModel model{[this](Kind kind) {
                                  std::unique_lock lock(m_mutex);
                                  m_released.wait(lock, [&] { return !m_held.count(kind); });
                                  CleanupCategory category(kind);
                                  const auto found = m_table.find(kind);
                                  if (found != m_table.end())
                                      category.items = found->second;
                                  return category;
                              },
                              m_trash, m_gate, m_progress, spaceSaved};
};

} // namespace quorvex::test
