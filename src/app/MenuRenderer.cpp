#include "app/MenuRenderer.h"

#include "app/MenuIcons.h"
#include "app/RowMenu.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPalette>
#include <QWidgetAction>

namespace quorvex {
namespace {

QColor secondaryTextColor() {
    QColor color = QApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(0.55f);
    return color;
}

// Headers and info rows: labels that never take the keyboard, so the arrows step over them.
QWidget* labelRow(const MenuRow& row, QWidget* parent) {
    auto* view = new QWidget(parent);
    view->setObjectName(row.kind == MenuRow::Kind::header ? QStringLiteral("menuHeader")
                                                          : QStringLiteral("menuInfo"));
    auto* layout = new QHBoxLayout(view);
    layout->setContentsMargins(row.kind == MenuRow::Kind::header ? 12 : 8, 4, 14, 4);
    layout->setSpacing(6);
    QPalette palette = view->palette();
    palette.setColor(QPalette::WindowText, secondaryTextColor());
    if (!row.symbol.isEmpty()) {
        auto* icon = new QLabel(view);
        icon->setPixmap(Symbols::pixmap(row.symbol, QSize(14, 14), secondaryTextColor()));
        icon->setAlignment(Qt::AlignTop);
        layout->addWidget(icon);
    }
    auto* text = new QLabel(row.title, view);
    text->setTextFormat(Qt::PlainText);
    text->setPalette(palette);
    text->setFont(row.kind == MenuRow::Kind::header ? Fonts::caption(QFont::DemiBold) : Fonts::caption());
    layout->addWidget(text, 1);
    return view;
}

// The subtitle and badge RowMenu draws; the subtitle doubles as the tool tip.
void setRowTexts(QAction& action, const MenuRow& row) {
    if (row.subtitle) {
        action.setProperty(RowMenu::subtitleProperty, *row.subtitle);
        action.setToolTip(*row.subtitle);
    }
    if (row.badge)
        action.setProperty(RowMenu::badgeProperty, row.badge->text);
    if (row.indentation > 0)
        action.setProperty(RowMenu::indentationProperty, row.indentation);
}

} // namespace

QPixmap MenuRenderer::image(const MenuRow& row) {
    if (!row.icon.isNull())
        return row.icon;
    if (row.symbol.isEmpty())
        return {};
    if (row.color)
        return QPixmap::fromImage(MenuIcons::menuImage(row.symbol, *row.color));
    return Symbols::pixmap(row.symbol, QSize(16, 16), QApplication::palette().color(QPalette::WindowText));
}

QString MenuRenderer::actionText(const MenuRow& row) {
    QString title = row.title;
    title.replace(QLatin1Char('&'), QLatin1String("&&"));
    return title;
}

void MenuRenderer::render(const MenuRows& rows, QMenu& menu) {
    menu.setToolTipsVisible(true);
    for (const MenuRow& row : rows) {
        switch (row.kind) {
        case MenuRow::Kind::separator:
            menu.addSeparator();
            break;
        case MenuRow::Kind::header:
        case MenuRow::Kind::info: {
            auto* action = new QWidgetAction(&menu);
            action->setDefaultWidget(labelRow(row, &menu));
            action->setText(row.title);
            action->setEnabled(false);
            menu.addAction(action);
            break;
        }
        case MenuRow::Kind::custom: {
            auto* action = new QWidgetAction(&menu);
            action->setDefaultWidget(row.makeWidget ? row.makeWidget() : new QWidget);
            action->setEnabled(row.enabled);
            menu.addAction(action);
            break;
        }
        case MenuRow::Kind::tool:
        case MenuRow::Kind::lazySubmenu: {
            auto* submenu = new RowMenu(row.title, &menu);
            submenu->setToolTipsVisible(true);
            if (row.kind == MenuRow::Kind::tool) {
                render(row.children, *submenu);
            } else {
                std::weak_ptr<LazySubmenuFiller> weakFiller = row.filler;
                QObject::connect(submenu, &QMenu::aboutToShow, submenu, [weakFiller, submenu] {
                    const auto filler = weakFiller.lock();
                    MenuRows filled;
                    if (filler && filler->menuNeedsUpdate(filled))
                        render(filled, *submenu);
                });
            }
            QAction* action = submenu->menuAction();
            action->setText(actionText(row));
            action->setIcon(image(row));
            action->setEnabled(row.enabled);
            setRowTexts(*action, row);
            menu.addAction(action);
            break;
        }
        case MenuRow::Kind::action: {
            auto* item = new ActionItem(actionText(row), row.handler, &menu);
            item->setIcon(image(row));
            item->setEnabled(row.enabled);
            if (row.checked) {
                item->setCheckable(true);
                item->setChecked(*row.checked);
            }
            if (!row.shortcut.isEmpty()) {
                // Shown in the menu; the key itself belongs to the global hot key, not to Qt.
                item->setShortcut(row.shortcut);
                item->setShortcutContext(Qt::WidgetShortcut);
            }
            setRowTexts(*item, row);
            menu.addAction(item);
            break;
        }
        }
    }
}

} // namespace quorvex
