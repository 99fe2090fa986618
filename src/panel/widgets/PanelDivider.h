#pragma once

#include <QWidget>

namespace quorvex {

/// A 1-point horizontal line in the separator colour at the given opacity, as the panel draws
/// between rows and along the footer's top edge.
class PanelDivider final : public QWidget {
    Q_OBJECT
public:
    explicit PanelDivider(double opacity, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_opacity;
};

} // namespace quorvex
