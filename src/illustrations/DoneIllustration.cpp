#include "illustrations/DoneIllustration.h"

#include "illustrations/DoneFrame.h"
#include "illustrations/MockParts.h"
#include "platform/core/Clock.h"
#include "ui/Palette.h"

#include <QDateTime>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace quorvex {
namespace {

constexpr double kBadgeHeight = 150;
constexpr double kSpacing = 28;
constexpr double kMenuBarHeight = MockParts::kMenuBarHeight;
constexpr double kDisc = 84;
// The widest a ring grows, and the most the badge's spring overshoots (a generous bound).
constexpr double kMaxRing = 84 + 70;
constexpr double kMaxDiscScale = 1.5;

// The first `fraction` of a polyline's length.
QPainterPath trimmed(const QPainterPath& path, double fraction) {
    QPainterPath out;
    if (fraction <= 0 || path.elementCount() == 0)
        return out;
    double total = 0;
    for (int i = 1; i < path.elementCount(); ++i)
        total += QLineF(path.elementAt(i - 1), path.elementAt(i)).length();
    double left = total * std::min(fraction, 1.0);
    out.moveTo(path.elementAt(0));
    for (int i = 1; i < path.elementCount() && left > 0; ++i) {
        const QLineF segment(path.elementAt(i - 1), path.elementAt(i));
        if (segment.length() <= left) {
            out.lineTo(segment.p2());
            left -= segment.length();
        } else {
            out.lineTo(segment.pointAt(left / segment.length()));
            left = 0;
        }
    }
    return out;
}

} // namespace

DoneIllustration::DoneIllustration(Clock& clock, QString profileSymbol, bool verified, QWidget* parent)
    : LoopingTimeline(clock, DoneFrame::kRingDuration, DoneFrame::kRingStillFrame, parent)
    , m_clock(clock)
    , m_symbol(std::move(profileSymbol))
    , m_verified(verified)
    , m_playedAt(clock.now()) {
    setAccessibleName(verified ? QStringLiteral("Setup confirmed")
                               : QStringLiteral("Waiting for confirmation"));
}

void DoneIllustration::setVerified(bool verified) {
    if (verified == m_verified)
        return;
    m_verified = verified;
    setAccessibleName(verified ? QStringLiteral("Setup confirmed")
                               : QStringLiteral("Waiting for confirmation"));
    play();
}

double DoneIllustration::drawn() const {
    return DoneFrame::drawnProgress(m_clock.now() - m_playedAt, m_verified, reduceMotion());
}

void DoneIllustration::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        m_menuBar.clear();
        m_badge.clear();
        m_rings.clear();
    }
    LoopingTimeline::changeEvent(event);
}

void DoneIllustration::showEvent(QShowEvent* event) {
    LoopingTimeline::showEvent(event);
    play();
}

void DoneIllustration::play() {
    m_playedAt = m_clock.now();
    update();
}

double DoneIllustration::badgeTop() const {
    return (height() - (kBadgeHeight + kSpacing + kMenuBarHeight)) / 2;
}

QPointF DoneIllustration::badgeCentre() const {
    return {width() / 2.0, badgeTop() + kBadgeHeight / 2};
}

QRegion DoneIllustration::movingRegion(double) const {
    // The bar shows the time: a new minute repaints it all.
    if (QDateTime::currentSecsSinceEpoch() / 60 != m_paintedMinute)
        return rect();
    // The rings reach kMaxRing across; the badge's spring overshoot and the turning hourglass stay
    // inside them. The pulsing status item is the only other moving part.
    const double reach = kMaxRing / 2 + 3;
    const double badge = kDisc * kMaxDiscScale / 2 + 3;
    const double half = std::max(reach, badge);
    QRegion region(QRectF(badgeCentre() - QPointF(half, half), QSizeF(2 * half, 2 * half)).toAlignedRect());
    if (!m_statusItem.isEmpty())
        region |= m_statusItem.adjusted(-2, -2, 2, 2).toAlignedRect();
    return region;
}

const QPixmap& DoneIllustration::ringPicture(int side) {
    // Stroking a large antialiased circle every frame costs far more than blitting it: each width a
    // ring passes through is drawn once, opaque, and faded as it is blitted.
    const qreal dpr = devicePixelRatioF();
    if (!qFuzzyCompare(m_ringsRatio, dpr)) {
        m_rings.clear();
        m_ringsRatio = dpr;
    }
    QPixmap& picture = m_rings[side];
    if (picture.isNull()) {
        const int extent = side + 2;
        picture = QPixmap(QSize(extent, extent) * dpr);
        picture.setDevicePixelRatio(dpr);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Palette::green(), 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        const double r = side / 2.0 - 1;
        p.drawEllipse(QPointF(extent / 2.0, extent / 2.0), r, r);
    }
    return picture;
}

void DoneIllustration::paintFrame(QPainter& painter, double t) {
    const DoneFrame f = DoneFrame::at(t, m_verified, drawn());
    const SceneColors colors = SceneColors::of(palette());
    const double top = badgeTop();
    const QPointF centre = badgeCentre();

    if (f.rings) {
        for (const DoneFrame::Ring& ring : f.ring) {
            painter.save();
            painter.setOpacity(ring.opacity);
            const QPixmap& picture = ringPicture(static_cast<int>(std::lround(ring.side)));
            const QSizeF size = picture.deviceIndependentSize();
            painter.drawPixmap(centre - QPointF(size.width() / 2, size.height() / 2), picture);
            painter.restore();
        }
    }

    // The disc and its check settle after the spring: they are redrawn only while they move.
    const double side = kDisc * std::max(f.discScale, 1.0) + 2;
    const QRectF badgeArea(centre - QPointF(side / 2, side / 2), QSizeF(side, side));
    const auto badgeKey = static_cast<quint64>(std::lround(f.discScale * 1000)) << 12 |
                          static_cast<quint64>(std::lround(f.checkTrim * 1000)) << 1 | (f.verified ? 1 : 0);
    m_badge.draw(painter, badgeArea, devicePixelRatioF(), badgeKey, [&](QPainter& p) {
        const QPointF middle(side / 2, side / 2);
        const double d = kDisc * f.discScale;
        const QRectF disc(middle - QPointF(d / 2, d / 2), QSizeF(d, d));
        p.setPen(Qt::NoPen);
        if (f.verified)
            p.setBrush(Palette::gradient(Palette::green(), disc));
        else
            p.setBrush(colors.primaryAt(0.08));
        p.drawEllipse(disc);
        if (f.checkTrim > 0) {
            const QRectF frame(middle - QPointF(18, 14), QSizeF(36, 28));
            p.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(trimmed(DoneFrame::checkmarkPath(frame), f.checkTrim));
        }
    });

    if (f.hourglass) {
        painter.save();
        painter.translate(centre);
        painter.rotate(f.hourglassAngle);
        MockParts::paintSymbol(painter, QRectF(-18, -18, 36, 36), QStringLiteral("hourglass"), 30,
                               colors.secondary);
        painter.restore();
    }

    // The bar changes with the clock's minute; the status item's symbol pulses over it twice a
    // loop, and a still frame holds it at rest.
    const QRectF barArea(0, top + kBadgeHeight + kSpacing - 4, width(), kMenuBarHeight + 8);
    m_paintedMinute = QDateTime::currentSecsSinceEpoch() / 60;
    const auto minute = static_cast<quint64>(m_paintedMinute);
    m_menuBar.draw(painter, barArea, devicePixelRatioF(), minute, [&](QPainter& p) {
        m_statusItem =
            MockParts::paintMenuBarMock(p, QPointF(barArea.width() / 2, 4 + kMenuBarHeight / 2), {}, colors)
                .translated(barArea.topLeft());
    });
    const double pulse =
        reduceMotion() ? 0 : 0.5 - 0.5 * std::cos(2 * std::numbers::pi * t / (DoneFrame::kRingDuration / 2));
    painter.save();
    painter.setOpacity(1 - 0.55 * pulse);
    MockParts::paintSymbol(painter, m_statusItem, m_symbol, 13, colors.accent);
    painter.restore();
}

} // namespace quorvex
