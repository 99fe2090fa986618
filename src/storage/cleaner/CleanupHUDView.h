#pragma once

#include "storage/cleaner/CleanupHUDPresenter.h"
#include "ui/Motion.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace quorvex {

class AnimatedValue;
class Animator;
class Clock;
class CleanupProgress;
class RollingText;
class ScheduledCall;

/// The content of the cleanup progress panel: a rounded card with the headline, the detail line
/// and one button, crowned by a round mark that stands 45 % above the card's top edge. Everything
/// shown follows the CleanupProgress it watches.
///
/// Animations run on the injected Clock. A change of title or phase moves with the view's change
/// motion (none unless the controller sets one around its update): the headline cross-fades,
/// the detail line's digits roll up, and a new mark fades in over the old one. The ring and its
/// rolling percentage ease out over 0.3 s to each new fraction, and the button's colours fade
/// over 0.2 s between "Cleaning…" and "Done"; those run on the view's Animator. A mark's own
/// timeline (the spinner's turn, the success and failure entrances) starts when it appears, so
/// a new phase of another kind replays its entrance while successive deleting phases only move
/// the same ring; while one plays, and only while the view is visible, the view repaints every
/// 1/60 s. Under Reduce Motion everything shows its end state and nothing is scheduled. GUI thread.
class CleanupHUDView final : public QWidget {
    Q_OBJECT
public:
    CleanupHUDView(CleanupProgress& progress, std::function<void()> dismiss, double markSize, Clock& clock,
                   QWidget* parent = nullptr);
    ~CleanupHUDView() override;

    /// The motion of the changes of title and phase that follow; Motion::none() shows them at once.
    void setChangeMotion(const Motion& motion) { m_motion = motion; }
    Animator& animator() const;

    CleanupHUDPresenter::Mark mark() const { return m_mark; }
    /// The ring's fraction as drawn now (it eases towards the phase's fraction).
    double drawnFraction() const;
    /// How far the current mark has faded in over the one it replaced (1 once it stands alone).
    double markBlend() const;
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
    void paintMark(QPainter& painter, const QRectF& rect, CleanupHUDPresenter::Mark mark, double age,
                   double fraction) const;

    CleanupProgress& m_progress;
    std::function<void()> m_dismiss;
    double m_markSize;
    Clock& m_clock;
    std::unique_ptr<Animator> m_animator;
    Motion m_motion = Motion::none();
    AnimatedValue* m_markBlend;
    AnimatedValue* m_ring;
    RollingText* m_percent;
    QWidget* m_card = nullptr;
    QLabel* m_headline = nullptr;
    QLabel* m_detail = nullptr;
    QPushButton* m_button = nullptr;
    MarkWidget* m_markWidget = nullptr;
    CleanupHUDPresenter::Mark m_mark = CleanupHUDPresenter::Mark::spinner;
    double m_markStart = 0;
    CleanupHUDPresenter::Mark m_leaving = CleanupHUDPresenter::Mark::spinner;
    double m_leavingStart = 0;
    double m_leavingFraction = 0;
    QPoint m_dragOffset;
    std::unique_ptr<ScheduledCall> m_frame;
};

} // namespace quorvex
