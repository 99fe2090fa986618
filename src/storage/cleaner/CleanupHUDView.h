#pragma once

#include "storage/cleaner/CleanupHUDPresenter.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace quorvex {

class Clock;
class CleanupProgress;
class ScheduledCall;

/// The content of the cleanup progress panel: a rounded card with the headline, the detail line
/// and one button, crowned by a round mark that stands 45 % above the card's top edge. Everything
/// shown follows the CleanupProgress it watches.
///
/// Animations run on the injected Clock: while a mark moves (the spinner always, the ring, the
/// success and failure entrances for about a second) the view schedules a repaint every 1/60 s,
/// and only while it is visible; the pending repaint is cancelled with the view. A mark's time
/// starts when it appears, so a new phase of another kind replays its entrance while successive
/// deleting phases only move the same ring. GUI thread.
class CleanupHUDView final : public QWidget {
    Q_OBJECT
public:
    CleanupHUDView(CleanupProgress& progress, std::function<void()> dismiss, double markSize, Clock& clock,
                   QWidget* parent = nullptr);
    ~CleanupHUDView() override;

    CleanupHUDPresenter::Mark mark() const { return m_mark; }
    /// The ring's fraction as drawn now (it eases towards the phase's fraction).
    double drawnFraction() const;
    /// Seconds since the current mark appeared.
    double markAge() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class MarkWidget;
    void refresh();
    void tick();
    bool isAnimating() const;
    void paintMark(QPainter& painter, const QRectF& rect) const;

    CleanupProgress& m_progress;
    std::function<void()> m_dismiss;
    double m_markSize;
    Clock& m_clock;
    QWidget* m_card = nullptr;
    QLabel* m_headline = nullptr;
    QLabel* m_detail = nullptr;
    QPushButton* m_button = nullptr;
    MarkWidget* m_markWidget = nullptr;
    CleanupHUDPresenter::Mark m_mark = CleanupHUDPresenter::Mark::spinner;
    double m_markStart = 0;
    double m_ringFrom = 0;
    double m_ringTo = 0;
    double m_ringStart = 0;
    QPoint m_dragOffset;
    std::unique_ptr<ScheduledCall> m_frame;
};

} // namespace quorvex
