#pragma once

namespace quorvex {

/// A damped spring, described the way the views specify their animations: the response (seconds
/// of one undamped oscillation) and the damping fraction (1 settles without overshoot, below 1
/// overshoots and swings back, above 1 creeps in). It is a closed form: every position is a pure
/// function of the time since release, which is what lets animations be read at any time.
class Spring final {
public:
    Spring(double response, double dampingFraction);

    double response() const { return m_response; }
    double dampingFraction() const { return m_damping; }
    /// False for a zero, negative or non-finite response: such a spring is a jump.
    bool moves() const;

    /// The spring's position t seconds after release from 0 at rest towards 1: 0 up to t = 0,
    /// then towards 1, past it while underdamped. A spring that does not move jumps to 1 at once.
    double value(double t) const;

    /// Offset from the target t seconds after a release at offset `offset0` moving at `velocity0`
    /// (units per second); 0 for a spring that does not move and for t that is not finite.
    double offset(double t, double offset0, double velocity0) const;
    /// The velocity of that release at t.
    double velocity(double t, double offset0, double velocity0) const;

    /// Seconds until the spring stays within 0.001 of 1 for good (capped at maxSettlingSeconds,
    /// so an undamped spring still ends).
    double settlingDuration() const;
    /// Seconds until the offset of a release at (`offset0`, `velocity0`) stays within `tolerance`
    /// for good; 0 when it already does, at most maxSettlingSeconds.
    double settlingDuration(double offset0, double velocity0, double tolerance) const;

    /// The position at a fraction of the settling duration; exactly 0 at 0 and exactly 1 from
    /// 1 on, so an animation driven by it ends on its target.
    double progress(double fraction) const;

    static constexpr double maxSettlingSeconds = 10.0;

private:
    // The release in closed form: x(t) = c1·e^(r1·t) + c2·e^(r2·t) above critical damping,
    // (c1 + c2·t)·e^(−ω·t) at it, e^(−ζω·t)·(c1·cos ωd·t + c2·sin ωd·t) below it.
    struct Release {
        double c1, c2;
    };
    Release release(double offset0, double velocity0) const;
    struct State {
        double offset, velocity;
    };
    // Offset and velocity t seconds after such a release.
    State state(double t, double offset0, double velocity0) const;
    // An upper bound of |offset| from t on, falling with t: what the settling duration bisects.
    double bound(double t, const Release& r) const;

    double m_response;
    double m_damping;
    double m_omega = 0;
    double m_settling = 0;
};

} // namespace quorvex
