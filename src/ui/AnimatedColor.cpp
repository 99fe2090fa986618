#include "ui/AnimatedColor.h"

#include <algorithm>
#include <cmath>

namespace quorvex {

AnimatedColor::AnimatedColor(Animator& animator, QColor color, QObject* parent)
    : QObject(parent)
    , m_from(color)
    , m_to(color)
    , m_blend(animator, 1) {
    connect(&m_blend, &AnimatedValue::changed, this, &AnimatedColor::changed);
}

void AnimatedColor::animateTo(const QColor& target, const Motion& motion) {
    if (target == m_to)
        return;
    m_from = color();
    m_to = target;
    m_blend.setValue(0);
    m_blend.animateTo(1, motion);
}

void AnimatedColor::setColor(const QColor& color) {
    if (color == m_to && !isAnimating())
        return;
    m_from = m_to = color;
    if (isAnimating())
        m_blend.setValue(1); // lands, and says so
    else
        emit changed();
}

QColor AnimatedColor::color() const {
    return mix(m_from, m_to, m_blend.value());
}

QColor AnimatedColor::mix(const QColor& from, const QColor& to, double amount) {
    const double t = std::isfinite(amount) ? std::clamp(amount, 0.0, 1.0) : 1.0;
    if (!from.isValid())
        return to;
    if (!to.isValid())
        return from;
    if (t <= 0)
        return from;
    if (t >= 1)
        return to;
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    const double alpha = a.alphaF() + (b.alphaF() - a.alphaF()) * t;
    if (!(alpha > 0))
        return QColor::fromRgbF(0, 0, 0, 0);
    auto channel = [&](float x, float y) {
        const double premultiplied = x * a.alphaF() + (y * b.alphaF() - x * a.alphaF()) * t;
        return static_cast<float>(std::clamp(premultiplied / alpha, 0.0, 1.0));
    };
    return QColor::fromRgbF(channel(a.redF(), b.redF()), channel(a.greenF(), b.greenF()),
                            channel(a.blueF(), b.blueF()), static_cast<float>(alpha));
}

} // namespace quorvex
