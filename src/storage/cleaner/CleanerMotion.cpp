#include "storage/cleaner/CleanerMotion.h"

#include "platform/data/SystemClock.h"
#include "storage/engine/StorageCleanerModel.h"
#include "ui/Animator.h"

namespace quorvex {

namespace {

const char* const kName = "cleanerMotion";

} // namespace

CleanerMotion::CleanerMotion(StorageCleanerModel& model, Clock& clock)
    : QObject(&model)
    , m_animator(std::make_unique<Animator>(clock)) {
    setObjectName(QString::fromLatin1(kName));
}

CleanerMotion::~CleanerMotion() = default;

CleanerMotion& CleanerMotion::of(StorageCleanerModel& model) {
    if (auto* motion =
            model.findChild<CleanerMotion*>(QString::fromLatin1(kName), Qt::FindDirectChildrenOnly))
        return *motion;
    return *new CleanerMotion(model, systemClock());
}

CleanerMotion& CleanerMotion::install(StorageCleanerModel& model, Clock& clock) {
    // The one before stays (unnamed) for the views made on it, and goes with the model.
    if (auto* old = model.findChild<CleanerMotion*>(QString::fromLatin1(kName), Qt::FindDirectChildrenOnly))
        old->setObjectName(QString());
    return *new CleanerMotion(model, clock);
}

void CleanerMotion::during(const Motion& motion, const std::function<void()>& change) {
    const Motion before = m_change;
    m_change = motion;
    change();
    m_change = before;
}

} // namespace quorvex
