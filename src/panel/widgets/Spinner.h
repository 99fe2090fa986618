#pragma once

#include <QWidget>

class QTimer;

namespace quorvex {

/// The small indeterminate progress wheel the cards show while something runs: twelve spokes
/// fading round, 14 by 14. It turns only while visible. A screen reader hears a busy progress
/// indicator, named (accessibleName) after what it waits for.
class Spinner final : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {14, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer* m_timer;
    int m_step = 0;
};

} // namespace quorvex
