#include "windows/ThumbnailView.h"

#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

#include <cmath>

namespace quorvex {

ThumbnailView::ThumbnailView(QImage image, std::filesystem::path file, QWidget* parent)
    : QWidget(parent)
    , m_image(std::move(image))
    , m_file(std::move(file)) {
    setObjectName(QStringLiteral("thumbnailView"));
    setToolTip(QStringLiteral("Click to preview, drag to use the screenshot"));
    setMouseTracking(true);
    beginDrag = [this] { return dragFile(); };
}

void ThumbnailView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(bounds, 8, 8);
    painter.setClipPath(shape);
    painter.drawImage(QRectF(rect()), m_image);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, 153), 1));
    painter.drawPath(shape);
}

void ThumbnailView::enterEvent(QEnterEvent*) {
    onHover(true);
}

void ThumbnailView::leaveEvent(QEvent*) {
    onHover(false);
}

void ThumbnailView::mousePressEvent(QMouseEvent* event) {
    m_mouseDownPoint = event->position();
}

void ThumbnailView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_mouseDownPoint)
        return;
    const QPointF moved = event->position() - *m_mouseDownPoint;
    if (std::hypot(moved.x(), moved.y()) <= kDragDistance)
        return;
    m_mouseDownPoint.reset();
    if (beginDrag && beginDrag())
        onDragEnded();
}

void ThumbnailView::mouseReleaseEvent(QMouseEvent*) {
    if (m_mouseDownPoint)
        onClick();
    m_mouseDownPoint.reset();
}

bool ThumbnailView::dragFile() {
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(m_file.string())))});
    drag->setMimeData(data);
    drag->setPixmap(
        QPixmap::fromImage(m_image.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    // Only a copy is offered: the screenshot stays where it was saved.
    return drag->exec(Qt::CopyAction) != Qt::IgnoreAction;
}

} // namespace quorvex
