#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>

#include <filesystem>
#include <memory>
#include <optional>

namespace Poppler {
class Document;
}

namespace quorvex {

/// One page of vector artwork (the first page of a PDF), drawn at whatever pixel size a frame
/// needs. Each value owns its own document, so two threads may each render their own artwork.
class PdfArtwork final {
public:
    /// Nothing when the file is missing, is no PDF, is locked or has no page.
    static std::optional<PdfArtwork> load(const std::filesystem::path& file);

    /// The page's own size in points.
    QSizeF size() const { return m_size; }
    /// The page stretched to exactly `pixels`, on a transparent background (premultiplied ARGB).
    /// A null image when the size is empty or rendering fails.
    QImage render(QSize pixels) const;

private:
    std::shared_ptr<Poppler::Document> m_document;
    QSizeF m_size;
};

} // namespace quorvex
