#include "storage/engine/SpaceSaved.h"

#include "storage/engine/CleanupItem.h"
#include "tools/Environment.h"

#include <QSettings>

namespace quorvex {

SpaceSaved::SpaceSaved() {
    bool ok = false;
    const qlonglong stored = sharedDefaults().value(kKey).toLongLong(&ok);
    m_total = ok && stored > 0 ? stored : 0;
}

SpaceSaved& SpaceSaved::shared() {
    static SpaceSaved* instance = new SpaceSaved;
    return *instance;
}

void SpaceSaved::setTotal(std::int64_t total) {
    if (total == m_total)
        return;
    m_total = total;
    emit totalChanged(m_total);
}

void SpaceSaved::add(std::int64_t bytes) {
    if (bytes < 1)
        return;
    setTotal(saturatingSum(m_total, bytes));
    sharedDefaults().setValue(kKey, static_cast<qlonglong>(m_total));
}

} // namespace quorvex
