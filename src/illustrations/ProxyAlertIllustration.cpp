#include "illustrations/ProxyAlertIllustration.h"

#include "illustrations/MockParts.h"
#include "illustrations/Pointer.h"
#include "illustrations/ProxyAlertFrame.h"
#include "ui/Palette.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

constexpr QRectF kWindow{10, 10, 380, 230};

// The alert's pieces in fixed boxes, so "Allow" stays under the pointer whatever the font.
constexpr double kAlertWidth = 220;
constexpr double kAlertPadding = 14;
constexpr double kAlertIcon = 36;
constexpr double kAlertTitle = 28;
constexpr double kAlertMessage = 34;
constexpr double kAlertButtons = 22;
constexpr double kAlertHeight =
    kAlertPadding + kAlertIcon + 8 + kAlertTitle + 8 + kAlertMessage + 8 + 4 + kAlertButtons + kAlertPadding;
constexpr QRectF kAlert{(400 - kAlertWidth) / 2, (250 - kAlertHeight) / 2 + 5, kAlertWidth, kAlertHeight};

// What the alert's and the badge's pictures cover: the card and its shadow.
constexpr QRectF kAlertArea = kAlert.adjusted(-20, -20, 20, 28);

QRectF badgeArea(const QRectF& badge) {
    return badge.adjusted(-10, -10, 10, 12);
}

// `rect` scaled by `scale` about `anchor`.
QRectF scaledAbout(const QRectF& rect, QPointF anchor, double scale) {
    return {anchor + (rect.topLeft() - anchor) * scale, rect.size() * scale};
}

// The window's blur radius in whole device pixels. Its copies are blitted on whole pixels, so the
// picture changes only when this does, and only then is the window behind the alert repainted.
quint64 blurPixels(const ProxyAlertFrame& f, qreal dpr) {
    return static_cast<quint64>(std::lround(std::max(f.windowBlur, 0.0) * 0.6 * dpr));
}

QRectF buttonRow() {
    return {kAlert.left() + kAlertPadding, kAlert.bottom() - kAlertPadding - kAlertButtons,
            kAlertWidth - 2 * kAlertPadding, kAlertButtons};
}

QRectF dontAllowButton() {
    const QRectF row = buttonRow();
    return {row.left(), row.top(), (row.width() - 8) / 2, row.height()};
}

void paintAlertBody(QPainter& p, bool pressed, const SceneColors& colors) {
    MockParts::paintShadow(p, kAlert, 14, 18, QPointF(0, 8), 0.25);
    p.setPen(Qt::NoPen);
    p.setBrush(SceneColors::withAlpha(colors.window, 0.97));
    p.drawRoundedRect(kAlert, 14, 14);

    const double left = kAlert.left() + kAlertPadding;
    const double width = kAlertWidth - 2 * kAlertPadding;
    double y = kAlert.top() + kAlertPadding;
    MockParts::paintAppMark(p, QRectF(kAlert.center().x() - kAlertIcon / 2, y, kAlertIcon, kAlertIcon));
    y += kAlertIcon + 8;
    p.setFont(MockParts::font(p, 10.5, QFont::Bold));
    p.setPen(colors.primary);
    p.drawText(QRectF(left, y, width, kAlertTitle), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("\u201cQuorvex\u201d Would Like to Add Proxy Configurations"));
    y += kAlertTitle + 8;
    p.setFont(MockParts::font(p, 8.5));
    p.setPen(colors.secondary);
    p.drawText(QRectF(left, y, width, kAlertMessage), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("All network activity on this computer may be filtered or monitored when using "
                              "proxies."));

    p.setFont(MockParts::font(p, 9.5, QFont::Medium));
    const QRectF dontAllow = dontAllowButton();
    p.setPen(Qt::NoPen);
    p.setBrush(colors.primaryAt(0.08));
    p.drawRoundedRect(dontAllow, 6, 6);
    p.setPen(colors.primary);
    p.drawText(dontAllow, Qt::AlignCenter, QStringLiteral("Don\u2019t Allow"));
    const QRectF allow = ProxyAlertIllustration::allowButtonRect();
    p.setPen(Qt::NoPen);
    p.setBrush(SceneColors::withAlpha(colors.accent, pressed ? 0.7 : 1.0));
    p.drawRoundedRect(allow, 6, 6);
    p.setPen(Qt::white);
    p.drawText(allow, Qt::AlignCenter, QStringLiteral("Allow"));
}

const QString kBadgeText = QStringLiteral("Proxy configuration added");
constexpr double kBadgeIcon = 13;

QFont badgeFont(const QFont& base, int dpi) {
    return MockParts::font(base, dpi, 11, QFont::DemiBold);
}

// The badge sits at the scene's centre and is as wide as its text.
QRectF badgeRect(const QFont& font) {
    const QFontMetricsF metrics(font);
    const QSizeF size(12 + kBadgeIcon + 6 + metrics.horizontalAdvance(kBadgeText) + 12,
                      std::max(kBadgeIcon, metrics.height()) + 14);
    return {QPointF(200 - size.width() / 2, 125 - size.height() / 2), size};
}

void paintBadgeBody(QPainter& p, const QRectF& badge, const QFont& font, const SceneColors& colors) {
    MockParts::paintShadow(p, badge, badge.height() / 2, 8, QPointF(0, 2), 0.12);
    MockParts::fillCapsule(p, badge, colors.window.lighter(104));
    p.setPen(QPen(colors.primaryAt(0.08), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(badge.adjusted(0.5, 0.5, -0.5, -0.5), badge.height() / 2 - 0.5,
                      badge.height() / 2 - 0.5);
    MockParts::paintSymbol(p, QRectF(badge.left() + 12, badge.top(), kBadgeIcon, badge.height()),
                           QStringLiteral("checkmark.circle.fill"), kBadgeIcon, Palette::green());
    p.setFont(font);
    p.setPen(Palette::green());
    p.drawText(QRectF(badge.left() + 12 + kBadgeIcon + 6, badge.top(), badge.width(), badge.height()),
               Qt::AlignLeft | Qt::AlignVCenter, kBadgeText);
}

} // namespace

ProxyAlertIllustration::ProxyAlertIllustration(Clock& clock, QPointF allowButton, QPointF rest,
                                               QWidget* parent)
    : LoopingTimeline(clock, ProxyAlertFrame::kDuration, ProxyAlertFrame::kStillFrame, parent)
    , m_allowButton(allowButton)
    , m_rest(rest) {
    setAccessibleName(QStringLiteral("Allowing the proxy configuration"));
}

QRectF ProxyAlertIllustration::allowButtonRect() {
    const QRectF dontAllow = dontAllowButton();
    return dontAllow.translated(dontAllow.width() + 8, 0);
}

std::optional<size_t> ProxyAlertIllustration::frameDigest(double t) const {
    const ProxyAlertFrame f = ProxyAlertFrame::at(t, m_allowButton, m_rest);
    const auto ring = Pointer::ringProgress(ProxyAlertFrame::kClicks, t);
    return digestOf({f.alertScale, f.alertOpacity, f.windowBlur, f.badgeScale, f.badgeOpacity,
                     double(f.allowPressed), f.pointer.x(), f.pointer.y(), f.pointerOpacity,
                     double(Pointer::pressed(ProxyAlertFrame::kClicks, t)), ring.value_or(-1)});
}

QRegion ProxyAlertIllustration::movingRegion(double t) const {
    const auto painted = paintedTime();
    if (!painted)
        return rect();
    const double was = *painted;
    const ProxyAlertFrame a = ProxyAlertFrame::at(was, m_allowButton, m_rest);
    const ProxyAlertFrame b = ProxyAlertFrame::at(t, m_allowButton, m_rest);
    // The window behind everything changing its blur repaints the scene; the alert and the badge
    // repaint their own boxes, as large as they grow.
    QRectF scene;
    const qreal dpr = devicePixelRatioF();
    if (blurPixels(a, dpr) != blurPixels(b, dpr))
        scene = QRectF(QPointF(0, 0), kScene);
    if (a.alertOpacity != b.alertOpacity || a.alertScale != b.alertScale || a.allowPressed != b.allowPressed)
        scene |= scaledAbout(kAlertArea, kAlert.center(), std::max({1.0, a.alertScale, b.alertScale}));
    if (a.badgeOpacity != b.badgeOpacity || a.badgeScale != b.badgeScale) {
        const QRectF badge = badgeRect(badgeFont(font(), logicalDpiY()));
        scene |= scaledAbout(badgeArea(badge), badge.center(), std::max({1.0, a.badgeScale, b.badgeScale}));
    }
    const auto& clicks = ProxyAlertFrame::kClicks;
    scene |= Pointer::changedBounds(clicks, was, a.pointer, a.pointerOpacity, t, b.pointer, b.pointerOpacity);
    if (scene.isEmpty())
        return {};
    return SceneFit::of(kScene, size()).toWidget(scene);
}

void ProxyAlertIllustration::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        for (CachedLayer* layer : {&m_window, &m_blurred, &m_alert, &m_badge})
            layer->clear();
    LoopingTimeline::changeEvent(event);
}

void ProxyAlertIllustration::paintFrame(QPainter& painter, double t) {
    const ProxyAlertFrame f = ProxyAlertFrame::at(t, m_allowButton, m_rest);
    const SceneColors colors = SceneColors::of(palette());
    const qreal dpr = devicePixelRatioF();
    const SceneFit fit = SceneFit::of(kScene, size());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    fit.apply(painter);

    // The window never changes; its blur changes only while the alert comes and goes. A small
    // blur is made from copies of the window spread over the radius, averaged.
    const QRectF windowArea = kWindow.adjusted(-4, -4, 4, 4);
    const auto paintWindow = [&](QPainter& p) {
        p.translate(4, 4);
        MockParts::paintMiniWindow(p, QRectF(QPointF(0, 0), kWindow.size()), colors, [&](QPainter& inner) {
            double y = 40;
            for (double lineWidth : ProxyAlertFrame::kLineWidths) {
                MockParts::fillCapsule(inner, QRectF(24, y, lineWidth, 8), colors.primaryAt(0.08));
                y += 8 + 8;
            }
        });
    };
    const quint64 blur = blurPixels(f, dpr);
    if (blur == 0) {
        m_window.draw(painter, windowArea, dpr, 0, paintWindow);
    } else {
        const double r = static_cast<double>(blur) / dpr;
        m_blurred.draw(painter, windowArea, dpr, blur, [&](QPainter& p) {
            // Copies of the sharp window's picture, spread over the radius and averaged.
            const QPointF offsets[] = {{0, 0}, {-r, 0}, {r, 0}, {0, -r}, {0, r}};
            for (size_t i = 0; i < std::size(offsets); ++i) {
                p.setOpacity(1.0 / static_cast<double>(i + 1));
                m_window.draw(p, QRectF(offsets[i], windowArea.size()), dpr, 0, paintWindow);
            }
        });
    }

    if (f.alertOpacity > 0) {
        painter.save();
        painter.setOpacity(f.alertOpacity);
        MockParts::scaleAbout(painter, kAlert.center(), f.alertScale);
        const QRectF area = kAlertArea;
        m_alert.draw(painter, area, dpr, f.allowPressed ? 1 : 0, [&](QPainter& p) {
            p.translate(-area.topLeft());
            paintAlertBody(p, f.allowPressed, colors);
        });
        painter.restore();
    }
    if (f.badgeOpacity > 0) {
        const QFont font = badgeFont(painter.font(), painter.device()->logicalDpiY());
        const QRectF badge = badgeRect(font);
        painter.save();
        painter.setOpacity(f.badgeOpacity);
        MockParts::scaleAbout(painter, badge.center(), f.badgeScale);
        const QRectF area = badgeArea(badge);
        m_badge.draw(painter, area, dpr, 0, [&](QPainter& p) {
            p.translate(-area.topLeft());
            paintBadgeBody(p, badge, font, colors);
        });
        painter.restore();
    }
    Pointer::paint(painter, f.pointer, ProxyAlertFrame::kClicks, t, f.pointerOpacity);
}

} // namespace quorvex
