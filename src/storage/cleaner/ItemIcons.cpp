#include "storage/cleaner/ItemIcons.h"

#include <QFileIconProvider>
#include <QImageReader>
#include <QPointer>
#include <QThreadPool>

namespace quorvex {

ItemIcons::ItemIcons(QObject* parent, Reader reader)
    : QObject(parent)
    , m_reader(reader ? std::move(reader) : Reader(&ItemIcons::read)) {}

std::optional<QPixmap> ItemIcons::icon(const QString& path, int side) {
    const QString key = QString::number(side) + QLatin1Char(':') + path;
    const auto found = m_entries.constFind(key);
    if (found != m_entries.cend())
        return *found;
    m_entries.insert(key, std::nullopt);
    QPointer<ItemIcons> self(this);
    QThreadPool::globalInstance()->start(
        [self, reader = m_reader, key, path, side, generation = m_generation] {
            Found read = reader(path, side);
            QMetaObject::invokeMethod(
                self.data(),
                [self, key, side, generation, read = std::move(read)] {
                    if (!self || self->m_generation != generation)
                        return;
                    std::optional<QPixmap>& entry = self->m_entries[key];
                    if (read.image && !read.image->isNull()) {
                        entry = QPixmap::fromImage(*read.image);
                    } else if (read.bundle) {
                        // Whatever the desktop shows for that path; the bundle need not exist.
                        static const QFileIconProvider provider;
                        const QPixmap pixmap = provider.icon(*read.bundle).pixmap(side, side);
                        if (!pixmap.isNull())
                            entry = pixmap;
                    }
                    emit self->loaded();
                },
                Qt::QueuedConnection);
        });
    return std::nullopt;
}

void ItemIcons::clear() {
    m_entries.clear();
    ++m_generation;
}

ItemIcons::Found ItemIcons::read(const QString& path, int side) {
    if (path.endsWith(QLatin1String(".app"))) {
        QFileInfo bundle(path);
        bundle.stat(); // kept in the info, so the GUI thread does not read it again
        return {std::nullopt, bundle};
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > 4 * side || size.height() > 4 * side))
        reader.setScaledSize(size.scaled(4 * side, 4 * side, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    return {std::move(image), std::nullopt};
}

} // namespace quorvex
