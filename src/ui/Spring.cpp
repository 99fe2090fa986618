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

} // namespace

Spring::Spring(double response, double dampingFraction)
    : m_response(response)
    , m_damping(sanitisedDamping(dampingFraction)) {
    if (!moves())
        return;
    m_omega = 2 * std::numbers::pi / m_response;
    m_settling = settlingDuration(1, 0, settleTolerance);
}

bool Spring::moves() const {
    return validResponse(m_response);
}

Spring::Release Spring::release(double offset0, double velocity0) const {
    if (m_damping < 1) {
        const double omegaD = m_omega * std::sqrt(1 - m_damping * m_damping);
        return {offset0, (velocity0 + m_damping * m_omega * offset0) / omegaD};
    }
    if (m_damping == 1)
        return {offset0, velocity0 + m_omega * offset0};
    const double root = std::sqrt(m_damping * m_damping - 1);
    // ω(ζ − root) written without the cancellation that loses it for a large ζ.
    const double r1 = -m_omega / (m_damping + root);
    const double r2 = -m_omega * (m_damping + root);
    const double c2 = (velocity0 - r1 * offset0) / (r2 - r1);
    return {offset0 - c2, c2};
}

Spring::State Spring::state(double t, double offset0, double velocity0) const {
    if (!moves() || std::isinf(t))
        return {0, 0};
    if (!(t > 0))
        return {offset0, velocity0};
    const Release r = release(offset0, velocity0);
    if (m_damping < 1) {
        const double decay = m_damping * m_omega;
        const double omegaD = m_omega * std::sqrt(1 - m_damping * m_damping);
        const double envelope = std::exp(-decay * t);
        const double cos = std::cos(omegaD * t);
        const double sin = std::sin(omegaD * t);
        return {envelope * (r.c1 * cos + r.c2 * sin),
                envelope * ((r.c2 * omegaD - decay * r.c1) * cos - (r.c1 * omegaD + decay * r.c2) * sin)};
    }
    if (m_damping == 1) {
        const double decay = std::exp(-m_omega * t);
        return {(r.c1 + r.c2 * t) * decay, (r.c2 - m_omega * (r.c1 + r.c2 * t)) * decay};
    }
    const double root = std::sqrt(m_damping * m_damping - 1);
    const double r1 = -m_omega / (m_damping + root);
    const double r2 = -m_omega * (m_damping + root);
    const double slow = r.c1 * std::exp(r1 * t);
    const double fast = r.c2 * std::exp(r2 * t);
    return {slow + fast, r1 * slow + r2 * fast};
}

double Spring::offset(double t, double offset0, double velocity0) const {
    return state(t, offset0, velocity0).offset;
}

double Spring::velocity(double t, double offset0, double velocity0) const {
    return state(t, offset0, velocity0).velocity;
}

double Spring::bound(double t, const Release& r) const {
    if (m_damping < 1)
        return std::exp(-m_damping * m_omega * t) * std::hypot(r.c1, r.c2);
    if (m_damping == 1) {
        // t·e^(−ωt) rises until t = 1/ω: bound that part by its peak before then.
        const double peakOrLater = std::max(t, 1 / m_omega);
        return std::abs(r.c1) * std::exp(-m_omega * t) +
               std::abs(r.c2) * peakOrLater * std::exp(-m_omega * peakOrLater);
    }
    const double root = std::sqrt(m_damping * m_damping - 1);
    return std::abs(r.c1) * std::exp(-m_omega / (m_damping + root) * t) +
           std::abs(r.c2) * std::exp(-m_omega * (m_damping + root) * t);
}

double Spring::settlingDuration(double offset0, double velocity0, double tolerance) const {
    if (!moves())
        return 0;
    const Release r = release(offset0, velocity0);
    const double start = bound(0, r);
    if (start <= tolerance)
        return 0;
    if (!(tolerance > 0) || !std::isfinite(start))
        return maxSettlingSeconds;
    if (m_damping < 1) {
        // Below critical damping the offset oscillates inside an exponential envelope; the first
        // time the envelope drops under the tolerance the spring is settled for good.
        const double decay = m_damping * m_omega;
        if (!(decay > 0))
            return maxSettlingSeconds;
        return std::min(std::log(start / tolerance) / decay, maxSettlingSeconds);
    }
    // At or above critical damping the bound falls monotonically: bisect for the tolerance.
    double low = 0;
    double high = m_response;
    while (bound(high, r) > tolerance && high < maxSettlingSeconds)
        high *= 2;
    for (int i = 0; i < 60; ++i) {
        const double mid = (low + high) / 2;
        (bound(mid, r) > tolerance ? low : high) = mid;
    }
    return std::min(high, maxSettlingSeconds);
}

double Spring::value(double t) const {
    if (!(t > 0))
        return 0;
    if (!moves())
        return 1;
    return 1 - offset(t, 1, 0);
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

} // namespace quorvex
