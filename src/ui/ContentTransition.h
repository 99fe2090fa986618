#pragma once

#include "ui/AnimatedValue.h"

#include <QObject>

namespace quorvex {

class Animator;

/// The base of a change of content (a text, a symbol) that plays out on an Animator: a progress
/// that runs from 0 (the old content) to 1 (the new) the way a Motion says. Under Reduce Motion
/// it is 1 at once.
class ContentTransition : public QObject {
    Q_OBJECT

public:
    /// 0 to 1; a spring below critical damping passes 1 on its way.
    double progress() const { return m_progress.value(); }
    bool isRunning() const { return m_progress.isAnimating(); }

signals:
    /// On every frame while it plays, and when it ends or starts again.
    void changed();

protected:
    ContentTransition(Animator& animator, QObject* parent);
    /// Plays the change from its start, for content just replaced.
    void restart(const Motion& motion);

private:
    AnimatedValue m_progress;
};

} // namespace quorvex
