#pragma once

#include "ui/Motion.h"
#include "ui/RollingText.h"

#include <QWidget>

namespace quorvex {

class Animator;

/// A one-line label whose number texts roll when they change (RollingText), in the widget's font
/// and foreground colour. Each change rolls with the label's motion and direction; a change
/// while the label is hidden shows at once, so nothing moves where no one can see it.
class RollingLabel final : public QWidget {
    Q_OBJECT

public:
    explicit RollingLabel(Animator& animator, QWidget* parent = nullptr);

    QString text() const { return m_text.text(); }
    void setText(const QString& text);

    /// The motion of the label's changes; the spring the views give their totals by default.
    void setMotion(const Motion& motion) { m_motion = motion; }
    void setDirection(TextRoll::Direction direction) { m_direction = direction; }
    void setAlignment(Qt::Alignment alignment);
    void setMonospacedDigits(bool monospaced) { m_text.setMonospacedDigits(monospaced); }

    const RollingText& rollingText() const { return m_text; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    RollingText m_text;
    Motion m_motion = Motion::spring(0.5, 1.0);
    TextRoll::Direction m_direction = TextRoll::Direction::Up;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

} // namespace quorvex
