#pragma once

#include <QToolButton>

class QMenu;

namespace quorvex {

/// A menu shown as its current value and an up-down chevron, always at its full width so the
/// row around it never cuts the value; the items are the caller's own actions. Space, Return and
/// Down open it; a screen reader hears it as a menu button named after its row, with the value.
class ValueMenu final : public QToolButton {
    Q_OBJECT
public:
    explicit ValueMenu(const QString& value, QWidget* parent = nullptr);

    QMenu* items() const { return m_menu; }
    void setValue(const QString& value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QMenu* m_menu;
};

} // namespace quorvex
