#include "illustrations/MockParts.h"

#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QHash>
#include <QLocale>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace quorvex {

SceneFit SceneFit::of(QSizeF scene, QSize widget) {
    SceneFit fit;
    fit.scale = std::min({1.0, widget.width() / scene.width(), widget.height() / scene.height()});
    fit.offset = QPointF((widget.width() - scene.width() * fit.scale) / 2,
                         (widget.height() - scene.height() * fit.scale) / 2);
    return fit;
}

void SceneFit::apply(QPainter& painter) const {
    painter.translate(offset);
    painter.scale(scale, scale);
}

QRect SceneFit::toWidget(const QRectF& scene) const {
    const QRectF mapped(offset + scene.topLeft() * scale, scene.size() * scale);
    return mapped.adjusted(-2, -2, 2, 2).toAlignedRect();
}

void MockParts::scaleAbout(QPainter& painter, QPointF anchor, double scale) {
    painter.translate(anchor);
    painter.scale(scale, scale);
    painter.translate(-anchor);
}

SceneColors SceneColors::of(const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    return {text, withAlpha(text, 0.55), palette.color(QPalette::Highlight), palette.color(QPalette::Window)};
}

QColor SceneColors::withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0) * color.alphaF()));
    return color;
}

QFont MockParts::font(const QPainter& painter, double pixels, QFont::Weight weight) {
    return font(painter.font(), painter.device() ? painter.device()->logicalDpiY() : 96, pixels, weight);
}

QFont MockParts::font(QFont base, int dpi, double pixels, QFont::Weight weight) {
    base.setPointSizeF(pixels * 72.0 / std::max(dpi, 1));
    base.setWeight(weight);
    return base;
}

void MockParts::fillCapsule(QPainter& painter, const QRectF& rect, const QColor& color) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const double r = std::min(rect.width(), rect.height()) / 2;
    painter.drawRoundedRect(rect, r, r);
}

void MockParts::paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, double size,
                            const QColor& color) {
    const QSizeF box(size, size);
    const QRectF at(rect.center() - QPointF(size / 2, size / 2), box);
    const int pixels = static_cast<int>(std::ceil(size));
    // The symbol's picture has a transparent margin: antialiasing its edges changes nothing, and
    // with it Qt's raster engine splits even this small scaled blit over its thread pool.
    const bool antialiased = painter.testRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawPixmap(at, Symbols::pixmap(name, QSize(pixels, pixels), color, 2.0), QRectF());
    painter.setRenderHint(QPainter::Antialiasing, antialiased);
}

void MockParts::paintMiniWindow(QPainter& painter, const QRectF& rect, const SceneColors& colors,
                                const std::function<void(QPainter&)>& content) {
    constexpr double radius = 12;
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    painter.save();
    painter.setClipPath(shape, Qt::IntersectClip);
    painter.fillPath(shape, colors.window);
    painter.save();
    content(painter);
    painter.restore();
    const QColor lights[] = {QColor::fromRgbF(1.0f, 0.37f, 0.34f), QColor::fromRgbF(1.0f, 0.74f, 0.18f),
                             QColor::fromRgbF(0.16f, 0.79f, 0.25f)};
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(lights[i]);
        painter.drawEllipse(QRectF(rect.left() + 12 + 2 + i * 16, rect.top() + 11, 10, 10));
    }
    painter.restore();
    painter.setPen(QPen(colors.primaryAt(0.1), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
}

void MockParts::paintAppMark(QPainter& painter, const QRectF& rect) {
    // The logo is drawn from its vector once per size; every frame reuses the picture.
    static QHash<int, QPixmap> cache;
    const int pixels = static_cast<int>(std::ceil(rect.width() * 2));
    auto found = cache.find(pixels);
    if (found == cache.end()) {
        QPixmap pixmap(pixels, pixels);
        pixmap.fill(Qt::transparent);
        QSvgRenderer renderer(QStringLiteral(":/illustrations/images/AppLogo.svg"));
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        if (renderer.isValid()) {
            renderer.setAspectRatioMode(Qt::KeepAspectRatio);
            renderer.render(&p, QRectF(0, 0, pixels, pixels));
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(Palette::blue());
            p.drawRoundedRect(QRectF(0, 0, pixels, pixels), pixels * 0.22, pixels * 0.22);
        }
        p.end();
        found = cache.insert(pixels, pixmap);
    }
    painter.drawPixmap(rect, *found, QRectF());
}

void MockParts::paintMiniToggle(QPainter& painter, QPointF topLeft, double on, const SceneColors& colors) {
    on = std::clamp(on, 0.0, 1.0);
    const QRectF track(topLeft, kMiniToggleSize);
    fillCapsule(painter, track, colors.primaryAt(0.15));
    fillCapsule(painter, track, SceneColors::withAlpha(colors.accent, on));
    const QRectF knob(topLeft.x() + 1.5 + 10 * on, topLeft.y() + 1.5, 11, 11);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 50));
    painter.drawEllipse(knob.adjusted(-0.5, -0.5, 0.5, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
}

void MockParts::paintShadow(QPainter& painter, const QRectF& rect, double radius, double blur, QPointF offset,
                            double opacity) {
    // Layers from the widest in: their alphas add up to about half the opacity under the
    // rectangle and fade towards the edge, which reads as a soft shadow.
    constexpr int layers = 6;
    painter.setPen(Qt::NoPen);
    for (int i = layers; i >= 1; --i) {
        const double grow = blur * i / layers / 2 - blur / 6;
        painter.setBrush(QColor::fromRgbF(0, 0, 0, static_cast<float>(opacity / (2 * layers))));
        painter.drawRoundedRect(rect.translated(offset).adjusted(-grow, -grow, grow, grow), radius + grow,
                                radius + grow);
    }
}

namespace {

void paintBattery(QPainter& p, const QRectF& box, const QColor& color) {
    const QRectF body(box.left(), box.center().y() - 5, 20, 10);
    p.setPen(QPen(color, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(body.left() + 2, body.top() + 2, (body.width() - 4) * 0.75, body.height() - 4),
                      1, 1);
    p.drawRoundedRect(QRectF(body.right() + 1, body.center().y() - 2, 1.5, 4), 0.5, 0.5);
}

void paintMagnifier(QPainter& p, const QRectF& box, const QColor& color) {
    p.setPen(QPen(color, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QPointF c = box.center() - QPointF(1.5, 1.5);
    p.drawEllipse(c, 4.5, 4.5);
    p.drawLine(c + QPointF(3.3, 3.3), c + QPointF(6.5, 6.5));
}

} // namespace

QRectF MockParts::paintMenuBarMock(QPainter& painter, QPointF centre, const QString& symbol,
                                   const SceneColors& colors) {
    const QFont clockFont = font(painter, 12, QFont::Medium);
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    // The short time format of some locales carries seconds; a menu bar clock shows minutes.
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("[:.]s+")));
    const QString clock = locale.toString(now.date(), QStringLiteral("ddd d MMM")) + QStringLiteral("  ") +
                          locale.toString(now.time(), timeFormat);
    const double clockWidth = QFontMetricsF(clockFont).horizontalAdvance(clock);
    constexpr double icon = 14;
    constexpr double battery = 23;
    constexpr double item = icon + 14;
    const double contentWidth = icon + 14 + battery + 14 + item + 14 + icon + 14 + clockWidth;
    const double height = kMenuBarHeight;
    const QRectF bar(centre.x() - contentWidth / 2 - 16, centre.y() - height / 2, contentWidth + 32, height);

    fillCapsule(painter, bar, SceneColors::withAlpha(colors.window, 0.85));
    painter.setPen(QPen(colors.primaryAt(0.08), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bar.adjusted(0.5, 0.5, -0.5, -0.5), height / 2 - 0.5, height / 2 - 0.5);

    double x = bar.left() + 16;
    const double mid = bar.center().y();
    paintSymbol(painter, QRectF(x, mid - icon / 2, icon, icon), QStringLiteral("wifi"), 13, colors.primary);
    x += icon + 14;
    paintBattery(painter, QRectF(x, mid - 6, battery, 12), colors.primary);
    x += battery + 14;
    const QRectF itemBox(x, mid - 10, item, 20);
    painter.setPen(Qt::NoPen);
    painter.setBrush(SceneColors::withAlpha(colors.accent, 0.18));
    painter.drawRoundedRect(itemBox, 5, 5);
    if (!symbol.isEmpty())
        paintSymbol(painter, itemBox, symbol, 13, colors.accent);
    x += item + 14;
    paintMagnifier(painter, QRectF(x, mid - icon / 2, icon, icon), colors.primary);
    x += icon + 14;
    painter.setFont(clockFont);
    painter.setPen(colors.primary);
    painter.drawText(QRectF(x, bar.top(), clockWidth + 2, height), Qt::AlignLeft | Qt::AlignVCenter, clock);
    return itemBox;
}

} // namespace quorvex
