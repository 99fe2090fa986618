#pragma once

#include "app/MenuRow.h"

class QMenu;

namespace quorvex {

/// Turns a tree of rows into QMenus. Action rows become ActionItems, tool rows QMenus filled at
/// once, lazy rows QMenus that ask their filler on the first aboutToShow (the renderer holds the
/// filler weakly, like a menu its delegate: whoever built the tree keeps it alive), headers and
/// info rows small label rows, custom rows QWidgetActions around the row's view. Submenus are
/// RowMenus, which draw a row's subtitle under its title and its count badge at the right; the
/// subtitle is the tool tip as well.
class MenuRenderer final {
public:
    /// Appends the rows to `menu` (the caller empties it first when it rebuilds).
    static void render(const MenuRows& rows, QMenu& menu);
    /// The image a row shows: its own icon, the coloured tile, the plain symbol, or none.
    static QPixmap image(const MenuRow& row);
    /// The text of a row's action: its title with "&" kept as text. Indentation is drawn by RowMenu.
    static QString actionText(const MenuRow& row);
};

} // namespace quorvex
