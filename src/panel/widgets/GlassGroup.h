#pragma once

#include <QWidget>

class QHBoxLayout;

namespace quorvex {

/// A capsule holding a row of tool buttons, padded 3 all round, filled with the window colour
/// and outlined with a faint 1-point border.
class GlassGroup final : public QWidget {
    Q_OBJECT
public:
    explicit GlassGroup(QWidget* parent = nullptr);
    void add(QWidget* widget);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* m_items;
};

} // namespace quorvex
