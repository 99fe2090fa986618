#pragma once

#include <QVariantAnimation>

namespace quorvex {

/// A damped spring that carries a value from 0 to 1, described the way the views specify their
/// animations: the response (seconds of one undamped oscillation) and the damping fraction
/// (1 settles without overshoot, below 1 overshoots and swings back, above 1 creeps in).
class Spring final {
public:
    Spring(double response, double dampingFraction);

    double response() const { return m_response; }
    double dampingFraction() const { return m_damping; }

    /// The spring's position t seconds after release: 0 up to t = 0, then towards 1, past it
    /// while underdamped. A zero, negative or non-finite response jumps to 1 at once.
    double value(double t) const;

    /// Seconds until the spring stays within 0.001 of 1 for good (capped at maxSettlingSeconds,
    /// so an undamped spring still ends).
    double settlingDuration() const;

    /// The position at a fraction of the settling duration; exactly 0 at 0 and exactly 1 from
    /// 1 on, so an animation driven by it ends on its target.
    double progress(double fraction) const;

    static constexpr double maxSettlingSeconds = 10.0;

private:
    double m_response;
    double m_damping;
    double m_settling;
};

/// A QVariantAnimation that runs linearly over the spring's settling duration and maps each step
/// through the spring, so a start/end value pair (numbers, points, rects, colours) moves the way
/// the spring does. Qt's easing curves take no parameters, which is why the mapping lives here.
class SpringAnimation final : public QVariantAnimation {
    Q_OBJECT

public:
    explicit SpringAnimation(const Spring& spring, QObject* parent = nullptr);

    const Spring& spring() const { return m_spring; }

protected:
    QVariant interpolated(const QVariant& from, const QVariant& to, qreal progress) const override;

private:
    Spring m_spring;
};

} // namespace quorvex
