#pragma once

#include <QToolButton>

namespace quorvex {

class Clock;
class HoverHint;

/// A tool of the panel that opens a menu: drawn like ToolButton (its icon is
/// ToolButton::toolIcon, never a menu arrow), with its help in a hover hint below it. With
/// QToolButton::InstantPopup a press opens the menu; with DelayedPopup a click acts and holding
/// the button opens the menu. From the keyboard, Down opens the menu; Space and Return do what a
/// click does.
class ToolMenuButton final : public QToolButton {
    Q_OBJECT
public:
    ToolMenuButton(const QString& symbol, const QString& help, Qt::Alignment hintAlignment, Clock& clock,
                   ToolButtonPopupMode mode, QWidget* parent = nullptr);

    HoverHint* hint() const { return m_hint; }
    QSize sizeHint() const override { return {34, 34}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    HoverHint* m_hint;
};

} // namespace quorvex
