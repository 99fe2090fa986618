#include "app/MenuRow.h"

namespace quorvex {

MenuRow MenuRow::header(const QString& title) {
    MenuRow row;
    row.kind = Kind::header;
    row.title = title;
    row.enabled = false;
    return row;
}

MenuRow MenuRow::info(const QString& text, const QString& symbol) {
    MenuRow row;
    row.kind = Kind::info;
    row.title = text;
    row.symbol = symbol;
    row.enabled = false;
    return row;
}

MenuRow MenuRow::tool(const QString& title, const QString& symbol, std::optional<QColor> color,
                      MenuRows children) {
    MenuRow row;
    row.kind = Kind::tool;
    row.title = title;
    row.symbol = symbol;
    row.color = color;
    row.children = std::move(children);
    return row;
}

MenuRow MenuRow::action(const QString& title, const QString& symbol, std::optional<QColor> color,
                        ActionItem::Handler handler) {
    MenuRow row;
    row.kind = Kind::action;
    row.title = title;
    row.symbol = symbol;
    row.color = color;
    row.handler = std::move(handler);
    return row;
}

MenuRow MenuRow::separator() {
    MenuRow row;
    row.kind = Kind::separator;
    return row;
}

MenuRow MenuRow::custom(std::function<QWidget*()> makeWidget) {
    MenuRow row;
    row.kind = Kind::custom;
    row.makeWidget = std::move(makeWidget);
    return row;
}

MenuRow MenuRow::lazy(const QString& title, std::shared_ptr<LazySubmenuFiller> filler) {
    MenuRow row;
    row.kind = Kind::lazySubmenu;
    row.title = title;
    row.filler = std::move(filler);
    return row;
}

} // namespace quorvex
