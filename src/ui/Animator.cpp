#include "ui/Animator.h"

#include "platform/core/Clock.h"
#include "ui/AnimatedValue.h"
#include "ui/MotionPreference.h"

#include <algorithm>

namespace quorvex {

Animator::Animator(Clock& clock)
    : m_clock(clock)
    , m_reduceMotion(reduceMotionPreferred()) {}

Animator::~Animator() = default;

double Animator::now() const {
    return m_clock.now();
}

void Animator::setReduceMotion(bool reduce) {
    m_reduceMotion = reduce;
    if (!reduce)
        return;
    const std::vector<AnimatedValue*> moving = m_moving;
    for (AnimatedValue* value : moving) {
        if (std::find(m_moving.begin(), m_moving.end(), value) != m_moving.end())
            value->land();
    }
}

void Animator::start(AnimatedValue* value) {
    if (std::find(m_moving.begin(), m_moving.end(), value) == m_moving.end())
        m_moving.push_back(value);
    if (!m_frame)
        m_frame = m_clock.schedule(kFrameInterval, [this] { frame(); });
}

void Animator::stop(AnimatedValue* value) {
    std::erase(m_moving, value);
    if (m_moving.empty())
        m_frame.reset();
}

void Animator::frame() {
    // The handle of the call running now must outlive it: keep it until the next frame.
    m_spent = std::move(m_frame);
    const double time = now();
    // The values' listeners may start, stop or delete values: walk a copy, skip those gone.
    const std::vector<AnimatedValue*> moving = m_moving;
    for (AnimatedValue* value : moving) {
        if (std::find(m_moving.begin(), m_moving.end(), value) != m_moving.end())
            value->advance(time);
    }
    if (!m_moving.empty() && !m_frame)
        m_frame = m_clock.schedule(kFrameInterval, [this] { frame(); });
}

} // namespace quorvex
