#pragma once

#include "actions/PermissionAction.h"
#include "app/MenuRowView.h"

#include <QList>

#include <functional>
#include <optional>

class QAbstractButton;
class QButtonGroup;

namespace quorvex {

/// A menu row for one privacy service of an app (or all of them): its title and one button per
/// action, Grant, Revoke and Reset, tagged 0, 1 and 2 in that order. The action applied last is
/// shown checked. With the keyboard, Left and Right pick a button and Return presses it.
class PermissionRowView final : public MenuRowView {
    Q_OBJECT
public:
    using Perform = std::function<void(PermissionAction)>;

    PermissionRowView(const QString& title, const QString& symbol, std::optional<PermissionAction> state,
                      Perform perform);

    std::optional<PermissionAction> state() const { return m_state; }
    /// Shows `state` as the current choice; none leaves every button unchecked.
    void setState(std::optional<PermissionAction> state);
    const QList<QAbstractButton*>& buttons() const { return m_buttons; }
    /// A button was pressed: the action of its tag goes to `perform`.
    void tapped(int tag);

protected:
    void activate() override;
    void keyPressEvent(QKeyEvent* event) override;
    void highlightUpdated() override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<PermissionAction> m_state;
    Perform m_perform;
    QList<QAbstractButton*> m_buttons;
    QButtonGroup* m_group = nullptr;
    int m_keyboardButton = 0;
};

} // namespace quorvex
