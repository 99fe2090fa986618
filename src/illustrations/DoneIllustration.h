#pragma once

#include "illustrations/CachedLayer.h"
#include "illustrations/LoopingTimeline.h"

#include <QPixmap>
#include <QString>

#include <map>

namespace quorvex {

/// The setup guide's last drawing: a round badge above a mock menu bar showing the chosen profile.
/// Unconfirmed, the badge is a grey disc with a turning hourglass; once confirmed it springs from
/// 60 % to full size in green while a check mark draws in, and two rings ripple out of it.
///
/// The rings and the hourglass run on the looping timeline; the badge's spring is timed from the
/// last play (each show, and each change of `verified`) on the same injected clock.
class DoneIllustration final : public LoopingTimeline {
public:
    DoneIllustration(Clock& clock, QString profileSymbol, bool verified, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {400, 250}; }

    bool verified() const { return m_verified; }
    void setVerified(bool verified);
    /// The badge's progress towards its final look at this moment (past 1 while the spring overshoots).
    double drawn() const;

protected:
    void paintFrame(QPainter& painter, double t) override;
    QRegion movingRegion(double t) const override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void play();
    double badgeTop() const;
    QPointF badgeCentre() const;
    /// A ring `side` pixels across, opaque, cached per width.
    const QPixmap& ringPicture(int side);

    Clock& m_clock;
    QString m_symbol;
    bool m_verified;
    double m_playedAt;
    CachedLayer m_badge;
    CachedLayer m_menuBar;
    QRectF m_statusItem;
    qint64 m_paintedMinute = -1;
    std::map<int, QPixmap> m_rings;
    qreal m_ringsRatio = 0;
};

} // namespace quorvex
