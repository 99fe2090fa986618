#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

#include <memory>

class QLabel;
class QWidget;

namespace quorvex {

class Clock;
class ScheduledCall;

/// A small bubble with a hint that appears once the pointer has rested kDelay on a control and
/// goes as soon as it leaves; a quick pass shows nothing. It fades in and out, ease-out over
/// kFade on the given Clock. The bubble hangs kGap below the control (aligned left, centred or
/// right) or sits kGap to its left, never takes clicks or the focus, and is owned by the hint,
/// which lives as long as the control. GUI thread.
class HoverHint final : public QObject {
    Q_OBJECT
public:
    enum class Placement { below, leading };

    static constexpr double kDelay = 0.4;
    static constexpr double kFade = 0.12;
    static constexpr int kGap = 6;

    /// Attaches a hint to `control` (which becomes its parent).
    HoverHint(QWidget* control, const QString& text, Qt::Alignment alignment, Placement placement,
              Clock& clock);
    ~HoverHint() override;

    /// Whether the bubble is shown, or fading in; false from the moment the pointer leaves.
    bool isShown() const { return m_shown; }
    /// The bubble's opacity as drawn now: 0 while hidden, 1 once faded in.
    double opacity() const { return m_opacity; }
    QString text() const { return m_text; }
    QWidget* bubble() const;

    /// Where a bubble of `size` goes for a control at `control` (both in screen coordinates).
    static QRect bubbleFrame(const QRect& control, QSize size, Placement placement, Qt::Alignment alignment);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void hoverChanged(bool inside);
    void show();
    void startFade(); // towards shown or hidden, from the opacity drawn now
    void stepFade();

    QWidget* m_control;
    QString m_text;
    Qt::Alignment m_alignment;
    Placement m_placement;
    Clock& m_clock;
    std::unique_ptr<QWidget> m_bubble;
    std::unique_ptr<ScheduledCall> m_showTask;
    bool m_shown = false;
    double m_opacity = 0;
    double m_fadeFrom = 0;
    double m_fadeStart = 0;
    std::unique_ptr<ScheduledCall> m_fadeTick;
    std::unique_ptr<ScheduledCall> m_retiredTick; // a tick may not destroy itself while it runs
};

} // namespace quorvex
