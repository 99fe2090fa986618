#pragma once

#include <optional>

#include <QRectF>

class QPainter;

namespace quorvex {

struct SceneColors;

/// The mock of the system's Login Items & Extensions pane and of the extension's info sheet,
/// drawn inside the extension approval drawing. Both are fixed layouts: every row and button sits
/// at a fixed place whatever the font, so the drawing's pointer lands on them.
struct LoginItemsPane {
    /// Height of the pane's column, from the "Open at Login" heading to the last extension row.
    static constexpr double kHeight = 380;
    /// Height of the sheet's column: the app's name, the "Network Extension" box, the Done row.
    static constexpr double kSheetHeight = 99;

    /// Draws the pane's column `width` wide with its top-left at the painter's origin;
    /// `highlight` 0 to 1 tints the app's extension row.
    static void paint(QPainter& painter, double width, double highlight, const SceneColors& colors);
    /// The app's row of the extensions list and its info button, in the column's coordinates.
    static QRectF appExtensionRow(double width);
    static QRectF appInfoButton(double width);

    /// Draws the sheet's column `width` wide at the painter's origin; without `toggleOn` the
    /// switch is left out, for a caller that draws it over a picture of the rest.
    static void paintExtensionSheet(QPainter& painter, double width, std::optional<double> toggleOn,
                                    bool donePressed, const SceneColors& colors);
    static QRectF sheetToggle(double width);
    static QRectF sheetDoneButton(double width);
};

} // namespace quorvex
