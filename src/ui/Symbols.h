#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace quorvex {

/// Draws the system symbol names that the program uses ("bell.badge", "link", ...) from a bundled
/// icon set. Names map to icons through resources/icons/symbols.tsv; an unknown name draws the
/// fallback (a question mark in a circle). A "NAME.circle" or "NAME.circle.fill" that the set has
/// no circled or filled icon for is drawn from the glyph of NAME (or of its own row): inside a
/// ring, or cut out of a filled disc. GUI thread only.
class Symbols final {
public:
    /// True when the name has an icon of its own (not the fallback).
    static bool contains(const QString& name);

    /// The icon tinted with `color`, `size` logical pixels at `devicePixelRatio`. Cached.
    static QPixmap pixmap(const QString& name, QSize size, const QColor& color, qreal devicePixelRatio = 2.0);

    /// The SVG text of the icon with its colour set to `color`.
    static QByteArray svg(const QString& name, const QColor& color);
};

} // namespace quorvex
