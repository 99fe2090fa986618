#pragma once

#include <QRegion>
#include <QWidget>

#include <initializer_list>
#include <memory>
#include <optional>

class QPainter;

namespace quorvex {

class Clock;
class ScheduledCall;

/// Base of the setup guide's animated drawings. A subclass draws one frame as a pure function of
/// the loop time t; this class redraws it about every display frame while shown, with t counted
/// from 0 at each show and wrapped to `duration`. Under Reduce Motion it draws `stillFrame` and
/// schedules nothing; while hidden it schedules nothing either.
class LoopingTimeline : public QWidget {
public:
    static constexpr double kFrameInterval = 1.0 / 60;

    LoopingTimeline(Clock& clock, double duration, double stillFrame, QWidget* parent = nullptr);
    ~LoopingTimeline() override;

    /// Defaults to reduceMotionPreferred(); switching keeps the loop's start.
    void setReduceMotion(bool reduce);
    bool reduceMotion() const { return m_reduceMotion; }
    /// Whether a next frame is scheduled.
    bool isAnimating() const { return m_tick != nullptr; }
    /// The loop time the next paint draws.
    double currentTime() const;
    /// Whether the loop has come round at least once since the show (never under Reduce Motion):
    /// what follows its end may differ from what the first pass started from.
    bool hasLooped() const;

    double duration() const { return m_duration; }
    double stillFrame() const { return m_stillFrame; }

    /// Frames asked for while shown, and how many of them were skipped as unchanged.
    int framesSkipped() const { return m_skipped; }
    /// What the next frame repaints: the region moving now joined with the last frame's.
    QRegion nextFrameRegion() const;

protected:
    virtual void paintFrame(QPainter& painter, double t) = 0;
    /// A digest of everything the frame at t shows. A frame whose digest equals the last one's is
    /// not repainted, so a drawing at rest costs nothing; none (the default) repaints every frame.
    virtual std::optional<size_t> frameDigest(double t) const;
    /// Where the frame at t may differ from other frames. Between frames only this, joined with the
    /// last frame's, is repainted, so the still parts and the backdrop under them are not redrawn
    /// sixty times a second; the whole widget (the default) when anything may move anywhere.
    virtual QRegion movingRegion(double t) const;
    /// Combines a frame's values into a digest.
    static size_t digestOf(std::initializer_list<double> values);
    /// The loop time the last paint drew, to tell what the next frame changes; none before the
    /// first paint and after a palette change (the next paint redraws everything).
    std::optional<double> paintedTime() const { return m_paintedTime; }

    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void scheduleNextFrame();

    Clock& m_clock;
    double m_duration;
    double m_stillFrame;
    double m_start = 0;
    bool m_reduceMotion;
    std::unique_ptr<ScheduledCall> m_tick;
    std::unique_ptr<ScheduledCall> m_spent;
    std::optional<size_t> m_lastDigest;
    QRegion m_lastMoving;
    std::optional<double> m_paintedTime;
    int m_skipped = 0;
};

} // namespace quorvex
