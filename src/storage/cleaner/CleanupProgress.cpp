#include "storage/cleaner/CleanupProgress.h"

namespace quorvex {

void CleanupProgress::setTitle(const QString& title) {
    if (title == m_title)
        return;
    m_title = title;
    emit changed();
}

void CleanupProgress::setPhase(const Phase& phase) {
    if (phase == m_phase)
        return;
    m_phase = phase;
    emit changed();
}

} // namespace quorvex
