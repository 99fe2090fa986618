#pragma once

#include <QWidget>

class QTimer;

namespace quorvex {

/// A small busy indicator: eight fading spokes turning while the spinner is visible. The timer
/// runs only while it is shown, so a hidden spinner costs nothing.
class Spinner final : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {16, 16}; }
    bool isSpinning() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer* m_timer;
    int m_step = 0;
};

} // namespace quorvex
