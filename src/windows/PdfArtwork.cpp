#include "windows/PdfArtwork.h"

#include <QFile>
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
    // Frames and masks are cut-outs: the page must stay transparent where nothing is drawn.
    document->setRenderHint(Poppler::Document::IgnorePaperColor);
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

} // namespace quorvex
