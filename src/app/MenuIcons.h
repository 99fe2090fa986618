#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <optional>

namespace quorvex {

/// Every picture of the status menu, drawn in code at device pixel ratio 2 so it stays sharp on
/// high-density screens: the status glyph (inactive and active), the coloured 16 × 16 row tiles
/// (cached for the life of the process) and the count-badge capsules. Sizes are in logical
/// pixels (the design's points). GUI thread only.
class MenuIcons final {
public:
    static constexpr qreal devicePixelRatio = 2.0;

    /// The 18 × 18 status glyph: sliders with a sparkle, plus a dot when network changes are
    /// active. Drawn in `color` on transparent; the caller picks the colour that suits its panel
    /// (there is no template tinting here).
    static QImage statusItemImage(bool active, const QColor& color = Qt::black);
    /// The glyph colour for a panel of `background`: white on a dark panel, near-black on a light
    /// one, whichever contrasts more.
    static QColor statusGlyphColor(const QColor& background);
    /// The panel colour under a tray icon at `geometry`, read from the screen around the glyph
    /// (its corners); nothing when the screen cannot be read there.
    static std::optional<QColor> panelColorAt(const QRect& geometry);
    /// The glyph's accessible description.
    static QString statusItemDescription(bool active);

    /// A 16 × 16 rounded square in `color` with the symbol in white at its centre. An unknown
    /// symbol gives the plain square. Built once per symbol and colour.
    static QImage menuImage(const QString& symbol, const QColor& color);
    /// Number of distinct tiles built so far.
    static int menuImageCacheSize();

    enum class Appearance { light, dark };
    /// Dark when the application palette's window colour is dark.
    static Appearance currentAppearance();

    /// The size of the badge capsule for `text`: 16 high, at least 20 wide, text width + 12.
    static QSizeF badgeSize(const QString& text);
    /// A count badge: `text` centred in a capsule that is dark (black at 9 %) in the light
    /// appearance and light (white at 16 %) in the dark one.
    static QImage badgeImage(const QString& text, Appearance appearance = currentAppearance());
};

} // namespace quorvex
