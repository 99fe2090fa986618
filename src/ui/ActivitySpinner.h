#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace quorvex {

/// The small indeterminate progress indicator: twelve spokes fading round, turning only while
/// the widget is shown.
class ActivitySpinner final : public QWidget {
    Q_OBJECT
public:
    explicit ActivitySpinner(int side = 16, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {m_side, m_side}; }
    /// Draws one frame (`step` of 12) into `rect`; the overview cards draw it without a widget.
    static void paint(QPainter& painter, const QRectF& rect, const QColor& color, int step);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    int m_side;
    int m_step = 0;
    QBasicTimer m_timer;
};

} // namespace quorvex
