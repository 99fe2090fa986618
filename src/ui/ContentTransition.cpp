#include "ui/ContentTransition.h"

namespace quorvex {

ContentTransition::ContentTransition(Animator& animator, QObject* parent)
    : QObject(parent)
    , m_progress(animator, 1) {
    connect(&m_progress, &AnimatedValue::changed, this, &ContentTransition::changed);
}

void ContentTransition::restart(const Motion& motion) {
    m_progress.setValue(0);
    m_progress.animateTo(1, motion);
}

} // namespace quorvex
