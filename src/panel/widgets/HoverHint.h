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
/// disappears as soon as it leaves; a quick pass shows nothing. The bubble hangs kGap below the
/// control (aligned left, centred or right) or sits kGap to its left, never takes clicks or the
/// focus, and is owned by the hint, which lives as long as the control. GUI thread.
class HoverHint final : public QObject {
    Q_OBJECT
public:
    enum class Placement { below, leading };

    static constexpr double kDelay = 0.4;
    static constexpr int kGap = 6;

    /// Attaches a hint to `control` (which becomes its parent).
    HoverHint(QWidget* control, const QString& text, Qt::Alignment alignment, Placement placement,
              Clock& clock);
    ~HoverHint() override;

    bool isShown() const;
    QString text() const { return m_text; }
    QWidget* bubble() const;

    /// Where a bubble of `size` goes for a control at `control` (both in screen coordinates).
    static QRect bubbleFrame(const QRect& control, QSize size, Placement placement, Qt::Alignment alignment);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void hoverChanged(bool inside);
    void show();

    QWidget* m_control;
    QString m_text;
    Qt::Alignment m_alignment;
    Placement m_placement;
    Clock& m_clock;
    std::unique_ptr<QWidget> m_bubble;
    std::unique_ptr<ScheduledCall> m_showTask;
};

} // namespace quorvex
