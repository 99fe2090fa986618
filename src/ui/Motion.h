#pragma once

#include "ui/Spring.h"

#include <QEasingCurve>

namespace quorvex {

/// How a change moves, written the way the views specify it: a spring (response and damping
/// fraction), a timing curve over a duration, or no motion at all; each may wait a delay first.
/// A value type: the views keep their motions as constants.
class Motion final {
public:
    enum class Kind { None, Spring, Timing };

    /// The change happens at once.
    static Motion none();
    static Motion spring(double response, double dampingFraction);
    /// Fast at first, slowing into the end (the cubic Bézier (0, 0, 0.58, 1)).
    static Motion easeOut(double seconds);
    /// Slow at both ends (the cubic Bézier (0.42, 0, 0.58, 1)).
    static Motion easeInOut(double seconds);
    static Motion linear(double seconds);
    /// The same motion, starting `seconds` later.
    Motion delayed(double seconds) const;

    Kind kind() const { return m_kind; }
    double delay() const { return m_delay; }
    const quorvex::Spring& springCurve() const { return m_spring; }

    /// Progress from 0 to 1 of a change that began `elapsed` seconds ago, delay included: 0 until
    /// the delay has passed, exactly 1 from duration() on; a spring below critical damping passes
    /// 1 on its way. A change with no motion is 1 from its start.
    double progress(double elapsed) const;
    /// Seconds from the change until progress() stays at 1: the delay plus the curve's length or
    /// the spring's settling time for a move of 1.
    double duration() const;
    /// Progress of a timing curve at a fraction (0 to 1) of its length.
    double eased(double fraction) const;
    /// Length of the curve itself, without the delay (0 for none and for springs).
    double curveSeconds() const { return m_seconds; }

private:
    Motion(Kind kind, quorvex::Spring spring, double seconds, QEasingCurve curve);

    Kind m_kind;
    quorvex::Spring m_spring;
    double m_seconds;
    double m_delay = 0;
    QEasingCurve m_curve;
};

} // namespace quorvex
