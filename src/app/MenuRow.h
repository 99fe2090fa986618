#pragma once

#include "app/MenuItems.h"

#include <QColor>
#include <QKeySequence>
#include <QPixmap>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace quorvex {

/// One row of a menu as plain data. Menus are built as trees of rows from the current models and
/// only then rendered into QMenus (MenuRenderer), so what a menu offers can be tested without a
/// display and the rendering is written once.
struct MenuRow {
    enum class Kind {
        header, // a section title
        info,   // a disabled explanatory line, with a symbol
        tool,   // a row that opens a submenu filled during the build
        action, // a command; `checked` makes it a toggle
        separator,
        custom,      // a row view of its own (permission buttons, copyable values, ...)
        lazySubmenu, // a row whose submenu is filled by `filler` when first opened
    };

    Kind kind = Kind::action;
    QString title;
    std::optional<QString> subtitle;
    QString symbol;              // system symbol name; empty: no image
    std::optional<QColor> color; // a coloured tile when set, else the plain symbol
    QPixmap icon;                // an image of its own (app icons); wins over `symbol`
    bool enabled = true;
    int indentation = 0;         // levels in, under the row above
    std::optional<bool> checked; // present for toggles
    QKeySequence shortcut;
    std::optional<MenuCount> badge;
    ActionItem::Handler handler;               // action rows
    MenuRows children;                         // tool rows
    std::shared_ptr<LazySubmenuFiller> filler; // lazy submenus
    std::function<QWidget*()> makeWidget;      // custom rows: builds the row view

    static MenuRow header(const QString& title);
    static MenuRow info(const QString& text, const QString& symbol);
    static MenuRow tool(const QString& title, const QString& symbol, std::optional<QColor> color,
                        MenuRows children = {});
    static MenuRow action(const QString& title, const QString& symbol, std::optional<QColor> color,
                          ActionItem::Handler handler);
    static MenuRow separator();
    static MenuRow custom(std::function<QWidget*()> makeWidget);
    static MenuRow lazy(const QString& title, std::shared_ptr<LazySubmenuFiller> filler);

    MenuRow& withSubtitle(const QString& text) {
        subtitle = text;
        return *this;
    }
    MenuRow& withBadge(qsizetype count) {
        // No badge at all for nothing to count.
        if (count > 0)
            badge = MenuCount(QString::number(count));
        else
            badge.reset();
        return *this;
    }
};

} // namespace quorvex
