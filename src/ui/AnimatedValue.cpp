#include "ui/AnimatedValue.h"

#include "ui/Animator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvex {
namespace {

// A spring has arrived when it stays within this share of its move (or of the distance its
// speed would carry it): below what a view can show, so the last frame's snap is invisible.
constexpr double kSettleShare = 0.001;

} // namespace

AnimatedValue::AnimatedValue(Animator& animator, double value, QObject* parent)
    : QObject(parent)
    , m_animator(animator)
    , m_target(std::isfinite(value) ? value : 0) {}

AnimatedValue::~AnimatedValue() {
    if (m_move)
        m_animator.stop(this);
}

void AnimatedValue::animateTo(double target, const Motion& motion) {
    if (!std::isfinite(target) || target == m_target)
        return;
    if (m_animator.reduceMotion() || motion.duration() <= 0)
        return setValue(target);
    const double now = m_animator.now();
    const double from = valueAt(now);
    // A delayed motion holds still first, so it starts from rest whatever the speed was.
    const double velocity = motion.delay() > 0 ? 0 : velocityAt(now);
    double end = now + motion.duration();
    if (motion.kind() == Motion::Kind::Spring) {
        const Spring& spring = motion.springCurve();
        const double omega = 2 * std::numbers::pi / spring.response();
        const double scale = std::max(std::abs(from - target), std::abs(velocity) / omega);
        end = now + motion.delay() + spring.settlingDuration(from - target, velocity, kSettleShare * scale);
    }
    if (end <= now)
        return setValue(target);
    m_target = target;
    m_move = Move{now, end, from, velocity, motion};
    m_animator.start(this);
}

void AnimatedValue::setValue(double value) {
    if (!std::isfinite(value) || (value == m_target && !m_move))
        return;
    m_target = value;
    land();
}

void AnimatedValue::land() {
    if (m_move) {
        m_move.reset();
        m_animator.stop(this);
    }
    emit changed();
}

bool AnimatedValue::advance(double now) {
    if (now >= m_move->end) {
        land();
        return false;
    }
    emit changed();
    return true;
}

double AnimatedValue::value() const {
    return valueAt(m_animator.now());
}

double AnimatedValue::valueAt(double time) const {
    if (!m_move || time >= m_move->end)
        return m_target;
    const Move& move = *m_move;
    const double elapsed = time - move.start;
    if (move.motion.kind() == Motion::Kind::Spring) {
        const double since = elapsed - move.motion.delay();
        if (!(since > 0))
            return move.from;
        return m_target + move.motion.springCurve().offset(since, move.from - m_target, move.velocity);
    }
    return move.from + (m_target - move.from) * move.motion.progress(elapsed);
}

double AnimatedValue::velocity() const {
    return velocityAt(m_animator.now());
}

double AnimatedValue::velocityAt(double time) const {
    if (!m_move || time >= m_move->end)
        return 0;
    const Move& move = *m_move;
    const double elapsed = time - move.start;
    if (move.motion.kind() == Motion::Kind::Spring) {
        const double since = elapsed - move.motion.delay();
        if (since < 0)
            return 0;
        return move.motion.springCurve().velocity(since, move.from - m_target, move.velocity);
    }
    // Timing curves have no closed-form speed here: a central difference is plenty to hand on.
    const double h = 1e-4;
    return (m_target - move.from) * (move.motion.progress(elapsed + h) - move.motion.progress(elapsed - h)) /
           (2 * h);
}

} // namespace quorvex
