#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;
class QPalette;

namespace quorvex {

/// The colours a drawing takes from the widget's palette, so the mocks follow light and dark.
struct SceneColors {
    QColor primary;
    QColor secondary;
    QColor accent;
    QColor window;

    static SceneColors of(const QPalette& palette);
    static QColor withAlpha(QColor color, double alpha);
    QColor primaryAt(double alpha) const { return withAlpha(primary, alpha); }
};

/// How a drawing's fixed scene sits in its widget: scaled down to fit (never up) and centred.
struct SceneFit {
    double scale = 1;
    QPointF offset;

    static SceneFit of(QSizeF scene, QSize widget);
    /// Moves and scales the painter from widget pixels to scene points.
    void apply(QPainter& painter) const;
    /// The widget pixels a rectangle of the scene covers, with a 2-pixel margin for antialiasing.
    QRect toWidget(const QRectF& scene) const;
};

/// The small mock views the setup drawings share: a window frame, the app's mark, the on/off
/// switch and the menu bar. Each draws into the rectangle it is given; sizes are in the scene's
/// points.
struct MockParts {
    /// A font of `pixels` scene points (fractions kept), whatever the screen's resolution.
    static QFont font(const QPainter& painter, double pixels, QFont::Weight weight = QFont::Normal);
    /// The same from `base` on a device of `dpi` dots per inch, for sizing outside a paint.
    static QFont font(QFont base, int dpi, double pixels, QFont::Weight weight = QFont::Normal);

    /// A window with traffic lights over `content`, clipped to its rounded corners.
    static void paintMiniWindow(QPainter& painter, const QRectF& rect, const SceneColors& colors,
                                const std::function<void(QPainter&)>& content);
    /// The application's icon, `rect` square.
    static void paintAppMark(QPainter& painter, const QRectF& rect);
    /// The small switch, 24 × 14 at `topLeft`; `on` from 0 (off) to 1 (on).
    static void paintMiniToggle(QPainter& painter, QPointF topLeft, double on, const SceneColors& colors);
    static constexpr QSizeF kMiniToggleSize{24, 14};
    /// A soft shadow under a rounded rectangle, built from a few widening translucent layers.
    static void paintShadow(QPainter& painter, const QRectF& rect, double radius, double blur, QPointF offset,
                            double opacity);
    /// The menu bar centred on `centre`, with a status item showing `symbol` (none when empty, for
    /// a caller that draws the pulsing symbol itself). Returns the status item's box.
    static QRectF paintMenuBarMock(QPainter& painter, QPointF centre, const QString& symbol,
                                   const SceneColors& colors);
    static constexpr double kMenuBarHeight = 34;
    /// Scales what is drawn next by `scale` about `anchor`, as a layer pops in or out.
    static void scaleAbout(QPainter& painter, QPointF anchor, double scale);
    static void fillCapsule(QPainter& painter, const QRectF& rect, const QColor& color);
    /// A symbol of `size` points centred in `rect`.
    static void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, double size,
                            const QColor& color);
};

} // namespace quorvex
