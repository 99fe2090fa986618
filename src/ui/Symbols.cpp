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

QByteArray iconSource(const QString& name) {
    QFile file(QStringLiteral(":/icons/tabler/%1.svg").arg(table().value(name, kFallbackIcon)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

bool Symbols::contains(const QString& name) {
    return table().contains(name);
}

QByteArray Symbols::svg(const QString& name, const QColor& color) {
    QByteArray source = iconSource(name);
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
    QSvgRenderer renderer(svg(name, color));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, image);
    return image;
}

} // namespace quorvex
