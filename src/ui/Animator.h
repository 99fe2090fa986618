#pragma once

#include <memory>
#include <vector>

namespace quorvex {

class AnimatedValue;
class Clock;
class ScheduledCall;

/// Runs the animations of the views that share it (a window, a panel) on the injected Clock.
///
/// It asks the clock for one frame every 1/60 s, and only while some AnimatedValue moves: a
/// window at rest has no timer at all. A frame reads every moving value at the clock's time and
/// lets it announce its change; a value that has arrived leaves, and the last one to leave ends
/// the frames. The values are pure functions of the clock's time, so frames that come late or
/// are skipped change nothing but how often the views repaint.
///
/// Under Reduce Motion every change lands at once and no frame is ever scheduled; turning it on
/// lands the changes under way. The Animator must outlive the values made on it; GUI thread only.
class Animator final {
public:
    static constexpr double kFrameInterval = 1.0 / 60;

    /// Reduce Motion starts as the user's preference (reduceMotionPreferred()).
    explicit Animator(Clock& clock);
    ~Animator();
    Animator(const Animator&) = delete;
    Animator& operator=(const Animator&) = delete;

    Clock& clock() const { return m_clock; }
    /// The clock's time, in seconds.
    double now() const;

    bool reduceMotion() const { return m_reduceMotion; }
    void setReduceMotion(bool reduce);

    /// Whether a frame is scheduled, that is whether anything moves.
    bool isRunning() const { return m_frame != nullptr; }

private:
    friend class AnimatedValue;
    void start(AnimatedValue* value);
    void stop(AnimatedValue* value);
    void frame();

    Clock& m_clock;
    bool m_reduceMotion;
    std::vector<AnimatedValue*> m_moving;
    std::unique_ptr<ScheduledCall> m_frame;
    std::unique_ptr<ScheduledCall> m_spent;
};

} // namespace quorvex
