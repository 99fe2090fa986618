#include "ui/Symbols.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace quorvex {
namespace {

const QString kFallbackIcon = QStringLiteral("outline/help-circle");

const QHash<QString, QString>& table() {
    static const QHash<QString, QString> map = [] {
        QHash<QString, QString> result;
        QFile file(QStringLiteral(":/icons/symbols.tsv"));
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (line.isEmpty() || line.startsWith('#'))
                    continue;
                const QList<QByteArray> fields = line.split('\t');
                if (fields.size() == 2)
                    result.insert(QString::fromUtf8(fields[0]), QString::fromUtf8(fields[1].trimmed()));
            }
        }
        return result;
    }();
    return map;
}

QByteArray iconFile(const QString& icon) {
    QFile file(QStringLiteral(":/icons/tabler/%1.svg").arg(icon));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kCircleSuffix = QStringLiteral(".circle");
const QString kCircleFillSuffix = QStringLiteral(".circle.fill");

// How a name is drawn: an icon of the set as it is, or a glyph that we enclose in a circle
// ourselves, because the set has no circled (or no filled) variant of it.
struct Drawing {
    enum class Shape { plain, ring, disc };
    QString icon;
    Shape shape = Shape::plain;
};

Drawing drawing(const QString& name) {
    const auto& map = table();
    const bool fill = name.endsWith(kCircleFillSuffix);
    const bool circle = !fill && name.endsWith(kCircleSuffix);
    if (!fill && !circle)
        return {map.value(name, kFallbackIcon), Drawing::Shape::plain};
    const QString base = name.chopped(fill ? kCircleFillSuffix.size() : kCircleSuffix.size());
    const QString icon = map.value(name, map.value(base));
    if (icon.isEmpty())
        return {kFallbackIcon, Drawing::Shape::plain};
    // An icon with a circle of its own is already the circled form; a filled one is already the
    // filled form.
    const bool circled = icon.contains(QStringLiteral("circle"));
    if (fill)
        return {icon,
                icon.startsWith(QStringLiteral("filled/")) ? Drawing::Shape::plain : Drawing::Shape::disc};
    return {icon, circled ? Drawing::Shape::plain : Drawing::Shape::ring};
}

} // namespace

bool Symbols::contains(const QString& name) {
    return drawing(name).icon != kFallbackIcon;
}

QByteArray Symbols::svg(const QString& name, const QColor& color) {
    QByteArray source = iconFile(drawing(name).icon);
    source.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    if (color.alpha() < 255)
        source.replace("<svg", QByteArray("<svg opacity=\"") + QByteArray::number(color.alphaF()) + "\"");
    return source;
}

QPixmap Symbols::pixmap(const QString& name, QSize size, const QColor& color, qreal devicePixelRatio) {
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1|%2x%3|%4|%5")
                            .arg(name)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(color.name(QColor::HexArgb))
                            .arg(devicePixelRatio);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;

    QPixmap image(size * devicePixelRatio);
    image.fill(Qt::transparent);
    const Drawing how = drawing(name);
    QByteArray source = iconFile(how.icon);
    source.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(source);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(color.alphaF());
    const QRectF bounds(QPointF(0, 0), QSizeF(image.size()));
    // The set's own circles: radius 9 of 24 with a stroke of 2; a filled circle has radius 10.
    const qreal unit = bounds.width() / 24.0;
    const QPointF centre = bounds.center();
    // A glyph inside our circle is drawn smaller, as the set's circled icons do.
    const QRectF inner =
        how.icon.contains(QStringLiteral("circle"))
            ? bounds
            : QRectF(bounds.topLeft() + QPointF(4.8 * unit, 4.8 * unit), bounds.size() * 0.6);
    switch (how.shape) {
    case Drawing::Shape::plain:
        renderer.render(&painter, bounds);
        break;
    case Drawing::Shape::ring:
        painter.setPen(QPen(QColor(color.rgb()), 2 * unit));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, 9 * unit, 9 * unit);
        renderer.render(&painter, inner);
        break;
    case Drawing::Shape::disc: {
        // A disc with the glyph cut out of it: drawn whole first, then the glyph erases. The
        // opacity is applied once the cut is made, so the glyph erases fully.
        QImage disc(image.size(), QImage::Format_ARGB32_Premultiplied);
        disc.fill(Qt::transparent);
        QPainter discPainter(&disc);
        discPainter.setRenderHint(QPainter::Antialiasing);
        discPainter.setPen(Qt::NoPen);
        discPainter.setBrush(QColor(color.rgb()));
        discPainter.drawEllipse(centre, 10 * unit, 10 * unit);
        discPainter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        renderer.render(&discPainter, inner);
        discPainter.end();
        painter.drawImage(QPointF(0, 0), disc);
        break;
    }
    }
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, image);
    return image;
}

} // namespace quorvex
