#include "ui/Motion.h"

#include <QPointF>

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

QEasingCurve bezier(QPointF c1, QPointF c2) {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(c1, c2, QPointF(1, 1));
    return curve;
}

double seconds(double value) {
    return std::isfinite(value) ? std::max(0.0, value) : 0.0;
}

} // namespace

Motion::Motion(Kind kind, quorvex::Spring spring, double seconds, QEasingCurve curve)
    : m_kind(kind)
    , m_spring(spring)
    , m_seconds(seconds)
    , m_curve(std::move(curve)) {}

Motion Motion::none() {
    return {Kind::None, quorvex::Spring(0, 1), 0, {}};
}

Motion Motion::spring(double response, double dampingFraction) {
    const quorvex::Spring curve(response, dampingFraction);
    if (!curve.moves())
        return none();
    return {Kind::Spring, curve, 0, {}};
}

Motion Motion::easeOut(double length) {
    return {Kind::Timing, quorvex::Spring(0, 1), seconds(length), bezier({0, 0}, {0.58, 1})};
}

Motion Motion::easeInOut(double length) {
    return {Kind::Timing, quorvex::Spring(0, 1), seconds(length), bezier({0.42, 0}, {0.58, 1})};
}

Motion Motion::linear(double length) {
    return {Kind::Timing, quorvex::Spring(0, 1), seconds(length), QEasingCurve(QEasingCurve::Linear)};
}

Motion Motion::delayed(double by) const {
    Motion later = *this;
    later.m_delay = seconds(by);
    return later;
}

double Motion::eased(double fraction) const {
    if (!(fraction > 0))
        return 0;
    if (fraction >= 1)
        return 1;
    return m_curve.valueForProgress(fraction);
}

double Motion::progress(double elapsed) const {
    if (std::isnan(elapsed))
        return 0;
    // Compared with the whole length first: after a delay, elapsed − delay may round to just
    // short of the curve's length at the very time the motion ends.
    if (m_kind != Kind::None && elapsed >= duration())
        return 1;
    const double since = elapsed - m_delay;
    switch (m_kind) {
    case Kind::None:
        return since >= 0 ? 1 : 0;
    case Kind::Spring:
        return since >= m_spring.settlingDuration() ? 1 : m_spring.value(since);
    case Kind::Timing:
        return m_seconds > 0 ? eased(since / m_seconds) : (since >= 0 ? 1 : 0);
    }
    return 1;
}

double Motion::duration() const {
    switch (m_kind) {
    case Kind::None:
        return m_delay;
    case Kind::Spring:
        return m_delay + m_spring.settlingDuration();
    case Kind::Timing:
        return m_delay + m_seconds;
    }
    return m_delay;
}

} // namespace quorvex
