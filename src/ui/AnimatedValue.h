#pragma once

#include "ui/Motion.h"

#include <QObject>

#include <optional>

namespace quorvex {

class Animator;

/// A number that moves to each new target the way a Motion says, on an Animator's clock.
///
/// Its value is a pure function of the clock's time: valueAt(t) can be read for any time, and
/// value() reads it now. A new target while it moves starts from where the value stands and, under
/// a spring, from the speed it has, so the motion bends towards the new target without a jump; a
/// timing curve runs its whole length again from the current value. A target equal to the one it
/// is heading for changes nothing, so views can hand it their model's value on every change.
class AnimatedValue final : public QObject {
    Q_OBJECT

public:
    explicit AnimatedValue(Animator& animator, double value = 0, QObject* parent = nullptr);
    ~AnimatedValue() override;

    /// Moves towards `target`. Under Reduce Motion, with Motion::none() or a target that is not
    /// finite, it lands there at once.
    void animateTo(double target, const Motion& motion);
    /// Lands on `value` at once, ending any motion.
    void setValue(double value);

    double value() const;
    double valueAt(double time) const;
    /// Units per second, now.
    double velocity() const;
    /// Where it is heading, or where it rests.
    double target() const { return m_target; }
    bool isAnimating() const { return m_move.has_value(); }

signals:
    /// On every frame while it moves, once when it lands, and once when set.
    void changed();

private:
    friend class Animator;
    // The motion under way: from `from` at `velocity`, starting at `start` (after the motion's
    // delay), to the target, which it reaches for good at `end`.
    struct Move {
        double start;
        double end;
        double from;
        double velocity;
        Motion motion;
    };
    double velocityAt(double time) const;
    // Called by the Animator on each frame; false once the value has landed.
    bool advance(double now);
    void land();

    Animator& m_animator;
    double m_target;
    std::optional<Move> m_move;
};

} // namespace quorvex
