#pragma once

#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPixmap>

#include <functional>
#include <memory>
#include <optional>

namespace quorvex {

/// The images the rows of a list show for their items, read on the thread pool and kept, misses
/// included, so painting never touches the disk: a row asks, draws its stand-in until the image
/// has come, and an item whose image cannot be read is never read again. One per list, cleared
/// when the list is made anew (so a replaced image is read again after a rescan). GUI thread.
///
/// Reads still under way when the icons are cleared or destroyed come back to nothing: each
/// carries the generation it was asked in, and a guard on this object.
class ItemIcons final : public QObject {
    Q_OBJECT
public:
    /// What a read finds: an image, or the file's details for an app bundle (whose icon is the
    /// desktop's, made on the GUI thread), or nothing.
    struct Found {
        std::optional<QImage> image;
        std::optional<QFileInfo> bundle;
    };
    using Reader = std::function<Found(const QString& path, int side)>;

    /// `reader` reads one image on a worker thread (read() unless a test gives another).
    explicit ItemIcons(QObject* parent = nullptr, Reader reader = {});

    /// The image of `path`, `side` pixels square at most, once read; nothing before that and for
    /// a path that cannot be read. The first call for a path starts its read.
    std::optional<QPixmap> icon(const QString& path, int side);
    void clear();

    /// An app bundle's details, or the image file scaled down to at most four times `side`,
    /// or nothing when it is no readable image. Blocks; any thread.
    static Found read(const QString& path, int side);

signals:
    /// An image has come (or turned out to be missing): the rows repaint.
    void loaded();

private:
    Reader m_reader;
    QHash<QString, std::optional<QPixmap>> m_entries; // asked; an image once one has come
    unsigned m_generation = 0;
};

} // namespace quorvex
