#include "ui/Spring.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvex {

namespace {

constexpr double settleTolerance = 0.001;

bool validResponse(double response) {
    return std::isfinite(response) && response > 0;
}

double sanitisedDamping(double damping) {
    if (std::isnan(damping))
        return 1;
    // Negative damping would feed energy in and never settle; an infinite one never moves.
    return std::clamp(damping, 0.0, 1e6);
}

// Displacement from 1 of a unit-mass spring released at 0 with no velocity.
double offset(double omega, double zeta, double t) {
    if (zeta < 1) {
        const double omegaD = omega * std::sqrt(1 - zeta * zeta);
        return std::exp(-zeta * omega * t) *
               (std::cos(omegaD * t) + zeta * omega / omegaD * std::sin(omegaD * t));
    }
    if (zeta == 1)
        return std::exp(-omega * t) * (1 + omega * t);
    const double root = std::sqrt(zeta * zeta - 1);
    const double r1 = -omega * (zeta - root);
    const double r2 = -omega * (zeta + root);
    return (r2 * std::exp(r1 * t) - r1 * std::exp(r2 * t)) / (r2 - r1);
}

} // namespace

Spring::Spring(double response, double dampingFraction)
    : m_response(response)
    , m_damping(sanitisedDamping(dampingFraction))
    , m_settling(0) {
    if (!validResponse(m_response))
        return;
    const double omega = 2 * std::numbers::pi / m_response;
    if (m_damping < 1) {
        // Below critical damping the offset oscillates inside an exponential envelope; the first
        // time the envelope drops under the tolerance the spring is settled for good.
        const double envelopeScale = 1 / std::sqrt(1 - m_damping * m_damping);
        const double decay = m_damping * omega;
        m_settling = decay > 0 ? std::log(envelopeScale / settleTolerance) / decay : maxSettlingSeconds;
    } else {
        // At or above critical damping the offset falls monotonically: bisect for the tolerance.
        double low = 0;
        double high = m_response;
        while (offset(omega, m_damping, high) > settleTolerance && high < maxSettlingSeconds)
            high *= 2;
        for (int i = 0; i < 60; ++i) {
            const double mid = (low + high) / 2;
            (offset(omega, m_damping, mid) > settleTolerance ? low : high) = mid;
        }
        m_settling = high;
    }
    m_settling = std::min(m_settling, maxSettlingSeconds);
}

double Spring::value(double t) const {
    if (!(t > 0))
        return 0;
    if (!validResponse(m_response))
        return 1;
    if (!std::isfinite(t))
        return 1;
    return 1 - offset(2 * std::numbers::pi / m_response, m_damping, t);
}

double Spring::settlingDuration() const {
    return m_settling;
}

double Spring::progress(double fraction) const {
    if (std::isnan(fraction) || fraction <= 0)
        return 0;
    if (fraction >= 1)
        return 1;
    return value(fraction * m_settling);
}

SpringAnimation::SpringAnimation(const Spring& spring, QObject* parent)
    : QVariantAnimation(parent)
    , m_spring(spring) {
    setDuration(static_cast<int>(std::lround(m_spring.settlingDuration() * 1000)));
    setEasingCurve(QEasingCurve::Linear);
}

QVariant SpringAnimation::interpolated(const QVariant& from, const QVariant& to, qreal progress) const {
    return QVariantAnimation::interpolated(from, to, m_spring.progress(progress));
}

} // namespace quorvex
