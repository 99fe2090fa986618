#pragma once

#include <QWidget>

namespace quorvex {

/// A thin upright line between groups of tool buttons: 1 by 16, padded 2 at the sides.
class GlassSeparator final : public QWidget {
    Q_OBJECT
public:
    explicit GlassSeparator(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quorvex
