#include "windows/PdfArtwork.h"

#include <QFile>
#include <QPainter>
#include <poppler-qt6.h>

#include <system_error>

namespace quorvex {

std::optional<PdfArtwork> PdfArtwork::load(const std::filesystem::path& file) {
    // Poppler reports a missing file on standard error; an absent optional piece is no error here.
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return std::nullopt;
    std::unique_ptr<Poppler::Document> document =
        Poppler::Document::load(QFile::decodeName(QByteArray::fromStdString(file.string())));
    if (!document || document->isLocked() || document->numPages() < 1)
        return std::nullopt;
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page)
        return std::nullopt;
    const QSizeF size = page->pageSizeF();
    if (size.isEmpty())
        return std::nullopt;
    // The QPainter backend leaves the page transparent where nothing is drawn (frames and masks
    // are cut-outs) and draws a full-screen frame about three times faster than Splash.
    document->setRenderBackend(Poppler::Document::QPainterBackend);
    document->setPaperColor(Qt::transparent);
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::ThinLineSolid);
    PdfArtwork artwork;
    artwork.m_document = std::move(document);
    artwork.m_size = size;
    return artwork;
}

QImage PdfArtwork::render(QSize pixels) const {
    if (pixels.isEmpty() || !m_document)
        return {};
    const std::unique_ptr<Poppler::Page> page = m_document->page(0);
    if (!page)
        return {};
    // Resolutions per axis stretch the page to the requested size, ignoring its aspect.
    const double xres = 72.0 * pixels.width() / m_size.width();
    const double yres = 72.0 * pixels.height() / m_size.height();
    QImage image = page->renderToImage(xres, yres, 0, 0, pixels.width(), pixels.height());
    if (image.isNull())
        return {};
    if (image.size() != pixels)
        image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

bool PdfArtwork::draw(QPainter& painter, const QRectF& target) const {
    if (target.isEmpty() || !m_document)
        return false;
    const std::unique_ptr<Poppler::Page> page = m_document->page(0);
    if (!page)
        return false;
    // Poppler sets the painter's world transform itself, so the page is placed through the
    // viewport, which it leaves alone.
    const QRect pixels = target.toRect();
    painter.save();
    painter.resetTransform();
    painter.setViewport(pixels);
    painter.setWindow(QRect(QPoint(0, 0), pixels.size()));
    painter.setClipRect(QRect(QPoint(0, 0), pixels.size()));
    const bool drawn = page->renderToPainter(&painter, 72.0 * pixels.width() / m_size.width(),
                                             72.0 * pixels.height() / m_size.height());
    painter.restore();
    return drawn;
}

} // namespace quorvex
