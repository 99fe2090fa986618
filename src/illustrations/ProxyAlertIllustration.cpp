#include "illustrations/ProxyAlertIllustration.h"

#include "illustrations/MockParts.h"
#include "illustrations/Pointer.h"
#include "illustrations/ProxyAlertFrame.h"
#include "ui/Palette.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

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

QRectF buttonRow() {
    return {kAlert.left() + kAlertPadding, kAlert.bottom() - kAlertPadding - kAlertButtons,
            kAlertWidth - 2 * kAlertPadding, kAlertButtons};
}

QRectF dontAllowButton() {
    const QRectF row = buttonRow();
    return {row.left(), row.top(), (row.width() - 8) / 2, row.height()};
}

void paintAlert(QPainter& p, const ProxyAlertFrame& f, const SceneColors& colors) {
    if (f.alertOpacity <= 0)
        return;
    p.save();
    p.setOpacity(p.opacity() * f.alertOpacity);
    p.translate(kAlert.center());
    p.scale(f.alertScale, f.alertScale);
    p.translate(-kAlert.center());
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
    p.setBrush(SceneColors::withAlpha(colors.accent, f.allowPressed ? 0.7 : 1.0));
    p.drawRoundedRect(allow, 6, 6);
    p.setPen(Qt::white);
    p.drawText(allow, Qt::AlignCenter, QStringLiteral("Allow"));
    p.restore();
}

void paintBadge(QPainter& p, const ProxyAlertFrame& f, const SceneColors& colors) {
    if (f.badgeOpacity <= 0)
        return;
    const QString text = QStringLiteral("Proxy configuration added");
    const QFont font = MockParts::font(p, 11, QFont::DemiBold);
    const double textWidth = QFontMetricsF(font).horizontalAdvance(text);
    const double icon = 13;
    const QSizeF size(12 + icon + 6 + textWidth + 12, std::max(icon, QFontMetricsF(font).height()) + 14);
    const QRectF badge(QPointF(200 - size.width() / 2, 125 - size.height() / 2), size);
    p.save();
    p.setOpacity(p.opacity() * f.badgeOpacity);
    p.translate(badge.center());
    p.scale(f.badgeScale, f.badgeScale);
    p.translate(-badge.center());
    MockParts::paintShadow(p, badge, badge.height() / 2, 8, QPointF(0, 2), 0.12);
    MockParts::fillCapsule(p, badge, colors.window.lighter(104));
    p.setPen(QPen(colors.primaryAt(0.08), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(badge.adjusted(0.5, 0.5, -0.5, -0.5), badge.height() / 2 - 0.5,
                      badge.height() / 2 - 0.5);
    MockParts::paintSymbol(p, QRectF(badge.left() + 12, badge.top(), icon, badge.height()),
                           QStringLiteral("checkmark.circle.fill"), icon, Palette::green());
    p.setFont(font);
    p.setPen(Palette::green());
    p.drawText(QRectF(badge.left() + 12 + icon + 6, badge.top(), textWidth + 2, badge.height()),
               Qt::AlignLeft | Qt::AlignVCenter, text);
    p.restore();
}

} // namespace

ProxyAlertIllustration::ProxyAlertIllustration(Clock& clock, QPointF allowButton, QPointF rest,
                                               QWidget* parent)
    : LoopingTimelineWidget(clock, ProxyAlertFrame::kDuration, ProxyAlertFrame::kStillFrame, parent)
    , m_allowButton(allowButton)
    , m_rest(rest) {
    setAccessibleName(QStringLiteral("Allowing the proxy configuration"));
}

QRectF ProxyAlertIllustration::allowButtonRect() {
    const QRectF dontAllow = dontAllowButton();
    return dontAllow.translated(dontAllow.width() + 8, 0);
}

void ProxyAlertIllustration::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        m_window = {};
    LoopingTimelineWidget::changeEvent(event);
}

void ProxyAlertIllustration::paintFrame(QPainter& painter, double t) {
    const ProxyAlertFrame f = ProxyAlertFrame::at(t, m_allowButton, m_rest);
    const SceneColors colors = SceneColors::of(palette());
    const double scale = std::min({1.0, width() / kScene.width(), height() / kScene.height()});
    painter.translate((width() - kScene.width() * scale) / 2, (height() - kScene.height() * scale) / 2);
    painter.scale(scale, scale);

    const qreal dpr = devicePixelRatioF();
    if (m_window.isNull() || !qFuzzyCompare(m_window.devicePixelRatio(), dpr)) {
        m_window = QPixmap((kWindow.size() + QSizeF(8, 8)).toSize() * dpr);
        m_window.setDevicePixelRatio(dpr);
        m_window.fill(Qt::transparent);
        QPainter p(&m_window);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(4, 4);
        const QRectF rect(QPointF(0, 0), kWindow.size());
        MockParts::paintMiniWindow(p, rect, colors, [&](QPainter& inner) {
            double y = 40;
            for (double lineWidth : ProxyAlertFrame::kLineWidths) {
                MockParts::fillCapsule(inner, QRectF(24, y, lineWidth, 8), colors.primaryAt(0.08));
                y += 8 + 8;
            }
        });
    }
    // A small blur, made from copies of the window spread over the radius.
    const QPointF at = kWindow.topLeft() - QPointF(4, 4);
    const double r = f.windowBlur;
    if (r < 0.05) {
        painter.drawPixmap(at, m_window);
    } else {
        const QPointF offsets[] = {{0, 0}, {-r, 0}, {r, 0}, {0, -r}, {0, r}};
        const double base = painter.opacity();
        for (size_t i = 0; i < std::size(offsets); ++i) {
            painter.setOpacity(base / static_cast<double>(i + 1));
            painter.drawPixmap(at + offsets[i] * 0.6, m_window);
        }
        painter.setOpacity(base);
    }
    paintAlert(painter, f, colors);
    paintBadge(painter, f, colors);
    Pointer::paint(painter, f.pointer, ProxyAlertFrame::kClicks, t, f.pointerOpacity);
}

} // namespace quorvex
