#pragma once

#include <QColor>
#include <QHash>
#include <QIcon>
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
    /// (there is no template tinting here). The active dot is orange, light or dark to stand out
    /// on the panel the colour was chosen for, so the active glyph never reads as the idle one.
    static QImage statusItemImage(bool active, const QColor& color = Qt::black);
    /// The glyph colour for a panel of `background`: white on a dark panel, near-black on a light
    /// one, whichever contrasts more.
    static QColor statusGlyphColor(const QColor& background);
    /// The glyph's two variants: for a light panel (dark glyph) and for a dark one (light glyph).
    enum class PanelShade { light, dark };
    static PanelShade panelShade(const QColor& background);
    static QColor statusGlyphColor(PanelShade shade);
    /// The colour of the active dot on a glyph drawn in `glyph`.
    static QColor activeDotColor(const QColor& glyph);
    /// The themed icon names of the glyph ("quorvex-tray-symbolic", "quorvex-tray-active-symbolic"),
    /// for tray hosts that draw icons by name in the panel's own colours.
    static QString statusIconName(bool active);
    /// The tray icon: for a host that looks icons up by name, the themed icon (its own theme's
    /// copy if installed, else ours) with the glyph of `shade` as the pixels it falls back to;
    /// otherwise just the glyph of `shade`.
    static QIcon statusIcon(bool active, PanelShade shade, bool byName);
    /// The panel colour under a tray icon at `geometry`, read from the screen around the glyph
    /// (its corners); nothing when the screen cannot be read there.
    static std::optional<QColor> panelColorAt(const QRect& geometry);
    /// The glyph's accessible description.
    static QString statusItemDescription(bool active);

    /// A 16 × 16 rounded square in `color` with the symbol in white at its centre. An unknown
    /// symbol gives the plain square. Built once per symbol and colour.
    static QImage menuImage(const QString& symbol, const QColor& color);
    /// The tiles built so far, by symbol + "|" + colour name; never emptied, so each distinct
    /// tile is drawn once however often the menu is rebuilt.
    static const QHash<QString, QImage>& imageCache();

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
