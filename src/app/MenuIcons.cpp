#include "app/MenuIcons.h"

#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

constexpr qreal kBadgeHeight = 16.0;
constexpr qreal kBadgeMinWidth = 20.0;
constexpr qreal kBadgePadding = 12.0;
constexpr qreal kTileSize = 16.0;
constexpr qreal kTileRadius = 4.0;
constexpr qreal kSymbolSize = 10.0;

QImage canvas(QSizeF logical) {
    const qreal dpr = MenuIcons::devicePixelRatio;
    QImage image(int(std::ceil(logical.width() * dpr)), int(std::ceil(logical.height() * dpr)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

QFont badgeFont() {
    return Fonts::system(11, QFont::DemiBold);
}

QHash<QString, QImage>& tiles() {
    static QHash<QString, QImage> cache;
    return cache;
}

} // namespace

QImage MenuIcons::statusItemImage(bool active, const QColor& color) {
    QImage image = canvas({18, 18});
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen line(color, 1.5, Qt::SolidLine, Qt::RoundCap);

    p.setPen(line);
    p.drawLine(QPointF(2, 4.5), QPointF(9.5, 4.5));
    p.drawLine(QPointF(2, 9.5), QPointF(16, 9.5));
    p.drawLine(QPointF(2, 14.5), QPointF(active ? 11 : 16, 14.5));

    // Each knob first clears a disc, so the line it sits on is cut, then draws its ring.
    for (const QPointF centre : {QPointF(6, 9.5), QPointF(11.5, 14.5)}) {
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(centre, 3.1, 3.1);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, 2.1, 2.1);
    }

    const qreal cx = 13.6, cy = 4.4, r = 4.2, k = 0.22 * r;
    QPainterPath sparkle(QPointF(cx, cy - r));
    sparkle.cubicTo(QPointF(cx + k, cy - k), QPointF(cx + k, cy - k), QPointF(cx + r, cy));
    sparkle.cubicTo(QPointF(cx + k, cy + k), QPointF(cx + k, cy + k), QPointF(cx, cy + r));
    sparkle.cubicTo(QPointF(cx - k, cy + k), QPointF(cx - k, cy + k), QPointF(cx - r, cy));
    sparkle.cubicTo(QPointF(cx - k, cy - k), QPointF(cx - k, cy - k), QPointF(cx, cy - r));
    sparkle.closeSubpath();
    p.fillPath(sparkle, color);

    if (active) {
        p.setPen(Qt::NoPen);
        p.setBrush(activeDotColor(color));
        p.drawEllipse(QRectF(13.4, 12.4, 4.2, 4.2));
    }
    return image;
}

MenuIcons::PanelShade MenuIcons::panelShade(const QColor& background) {
    return statusGlyphColor(background) == QColor(Qt::white) ? PanelShade::dark : PanelShade::light;
}

QColor MenuIcons::statusGlyphColor(PanelShade shade) {
    return shade == PanelShade::dark ? QColor(Qt::white) : QColor(0x1d, 0x1d, 0x1f);
}

QColor MenuIcons::activeDotColor(const QColor& glyph) {
    // A light glyph sits on a dark panel: a bright orange. A dark glyph on a light panel: a deep
    // one, as a bright orange on white is hard to see at this size.
    return glyph.lightness() >= 128 ? QColor(0xff, 0x9f, 0x0a) : QColor(0xc2, 0x4e, 0x00);
}

QString MenuIcons::statusIconName(bool active) {
    return active ? QStringLiteral("quorvex-tray-active-symbolic") : QStringLiteral("quorvex-tray-symbolic");
}

QIcon MenuIcons::statusIcon(bool active, PanelShade shade, bool byName) {
    QIcon glyph(QPixmap::fromImage(statusItemImage(active, statusGlyphColor(shade))));
    if (!byName)
        return glyph;
    // Our copies of the themed icons, for a desktop that has not installed them. Without a theme
    // name Qt looks nothing up by name; the base theme every theme inherits serves then.
    static const bool searchPathAdded = [] {
        QIcon::setFallbackSearchPaths(QIcon::fallbackSearchPaths() << QStringLiteral(":/icons/tray"));
        if (QIcon::themeName().isEmpty())
            QIcon::setThemeName(QStringLiteral("hicolor"));
        return true;
    }();
    Q_UNUSED(searchPathAdded);
    // Not fromTheme's fallback form: it drops a scalable icon as having no sizes.
    const QIcon themed = QIcon::fromTheme(statusIconName(active));
    return themed.isNull() ? glyph : themed;
}

QString MenuIcons::statusItemDescription(bool active) {
    return active ? QStringLiteral("Quorvex, network changes active") : QStringLiteral("Quorvex");
}

QImage MenuIcons::menuImage(const QString& symbol, const QColor& color) {
    const QString key = symbol + QLatin1Char('|') + color.name(QColor::HexArgb);
    auto& cache = tiles();
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;

    QImage image = canvas({kTileSize, kTileSize});
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(0, 0, kTileSize, kTileSize), kTileRadius, kTileRadius);
    if (Symbols::contains(symbol)) {
        const QPixmap glyph =
            Symbols::pixmap(symbol, QSize(int(kSymbolSize), int(kSymbolSize)), Qt::white, devicePixelRatio);
        const qreal offset = (kTileSize - kSymbolSize) / 2;
        p.drawPixmap(QPointF(offset, offset), glyph);
    }
    p.end();
    cache.insert(key, image);
    return image;
}

const QHash<QString, QImage>& MenuIcons::imageCache() {
    return tiles();
}

MenuIcons::Appearance MenuIcons::currentAppearance() {
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightness() < 128 ? Appearance::dark : Appearance::light;
}

QSizeF MenuIcons::badgeSize(const QString& text) {
    const qreal textWidth = QFontMetricsF(badgeFont()).horizontalAdvance(text);
    // Rounded up to whole device pixels so the capsule's right end is not cut.
    const qreal width =
        std::ceil(std::max(kBadgeMinWidth, textWidth + kBadgePadding) * devicePixelRatio) / devicePixelRatio;
    return {width, kBadgeHeight};
}

QImage MenuIcons::badgeImage(const QString& text, Appearance appearance) {
    const QSizeF size = badgeSize(text);
    QImage image = canvas(size);
    const bool dark = appearance == Appearance::dark;
    const QColor fill = dark ? QColor::fromRgbF(1, 1, 1, 0.16f) : QColor::fromRgbF(0, 0, 0, 0.09f);
    // The secondary label colour of each appearance.
    const QColor textColor = dark ? QColor::fromRgbF(1, 1, 1, 0.55f) : QColor::fromRgbF(0, 0, 0, 0.5f);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    const qreal radius = kBadgeHeight / 2;
    p.drawRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);

    const QFont font = badgeFont();
    const QFontMetricsF metrics(font);
    const qreal w = metrics.horizontalAdvance(text);
    const qreal h = metrics.height();
    p.setFont(font);
    p.setPen(textColor);
    p.drawText(QPointF((size.width() - w) / 2, (kBadgeHeight - h) / 2 + metrics.ascent()), text);
    return image;
}

QColor MenuIcons::statusGlyphColor(const QColor& background) {
    // Relative luminance (sRGB) and the contrast ratio of each candidate against the panel.
    const auto luminance = [](const QColor& color) {
        const auto channel = [](double value) {
            return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
               0.0722 * channel(color.blueF());
    };
    const QColor light(Qt::white);
    const QColor dark(0x1d, 0x1d, 0x1f);
    const double panel = luminance(background);
    const auto contrast = [panel, &luminance](const QColor& glyph) {
        const double a = luminance(glyph);
        return (std::max(a, panel) + 0.05) / (std::min(a, panel) + 0.05);
    };
    return contrast(light) >= contrast(dark) ? light : dark;
}

std::optional<QColor> MenuIcons::panelColorAt(const QRect& geometry) {
    QScreen* screen = geometry.isValid() ? QGuiApplication::screenAt(geometry.center()) : nullptr;
    if (!screen)
        return std::nullopt;
    const QRect local = geometry.translated(-screen->geometry().topLeft());
    const QImage image = screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage();
    if (image.width() < 2 || image.height() < 2)
        return std::nullopt;
    // The glyph sits in the middle; the corners show the panel behind it.
    long red = 0;
    long green = 0;
    long blue = 0;
    const QPoint corners[] = {
        {0, 0}, {image.width() - 1, 0}, {0, image.height() - 1}, {image.width() - 1, image.height() - 1}};
    for (const QPoint& corner : corners) {
        const QColor color = image.pixelColor(corner);
        red += color.red();
        green += color.green();
        blue += color.blue();
    }
    return QColor(int(red / 4), int(green / 4), int(blue / 4));
}

} // namespace quorvex
