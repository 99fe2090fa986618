#pragma once

#include "actions/PermissionAction.h"
#include "app/MenuRowView.h"

#include <QList>

#include <functional>
#include <optional>

class QAbstractButton;

namespace quorvex {

/// A menu row for one privacy service of an app (or all of them): its title and one button per
/// action, Grant, Revoke and Reset, tagged 0, 1 and 2 in that order. The action applied last shows
/// as a filled symbol in its colour (green, red, blue); the others are secondary outlines. With
/// the keyboard, Left and Right pick a button, shown by a focus ring, and Return presses it. A
/// click changes something only on a button: the rest of the row is no button of its own.
class PermissionRowView final : public MenuRowView {
    Q_OBJECT
public:
    using Perform = std::function<void(PermissionAction)>;

    PermissionRowView(const QString& title, const QString& symbol, std::optional<PermissionAction> state,
                      Perform perform);

    std::optional<PermissionAction> state() const { return m_state; }
    /// Shows `state` as the recorded choice; none draws every button as an outline.
    void setState(std::optional<PermissionAction> state);
    const QList<QAbstractButton*>& buttons() const { return m_buttons; }
    /// The symbol a button shows now: the filled one for the recorded action, else the outline.
    QString shownSymbol(PermissionAction action) const;
    /// The button that Return presses, drawn with a focus ring while the keyboard is on the row;
    /// -1 while it is not.
    int focusRingButton() const;
    /// A button was pressed: the action of its tag goes to `perform`.
    void tapped(int tag);

protected:
    void activate() override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void highlightUpdated() override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();

    std::optional<PermissionAction> m_state;
    Perform m_perform;
    QList<QAbstractButton*> m_buttons;
    int m_keyboardButton = 0;
};

} // namespace quorvex
