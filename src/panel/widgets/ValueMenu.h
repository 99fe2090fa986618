#pragma once

#include <QToolButton>

class QMenu;

namespace quorvex {

/// A menu shown as its current value and an up-down chevron, always at its full width so the
/// row around it never cuts the value; the items are the caller's own actions.
class ValueMenu final : public QToolButton {
    Q_OBJECT
public:
    explicit ValueMenu(const QString& value, QWidget* parent = nullptr);

    QMenu* items() const { return m_menu; }
    void setValue(const QString& value);

private:
    QMenu* m_menu;
};

} // namespace quorvex
