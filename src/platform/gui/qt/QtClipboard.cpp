#include "platform/gui/qt/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace quorvex {

bool QtClipboard::canWrite() const {
    if (!qGuiApp || !QGuiApplication::clipboard())
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
}

void QtClipboard::setPng(const QByteArray& png) {
    if (!canWrite())
        return;
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png);
    data->setImageData(QImage::fromData(png, "PNG"));
    QGuiApplication::clipboard()->setMimeData(data);
}

void QtClipboard::setImage(const QImage& image) {
    if (!canWrite())
        return;
    QGuiApplication::clipboard()->setImage(image);
}

Clipboard& Clipboard::system() {
    static QtClipboard clipboard;
    return clipboard;
}

} // namespace quorvex
