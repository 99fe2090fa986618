#pragma once

#include <QRegion>
#include <QSize>
#include <QString>
#include <QWidget>

#include <optional>

namespace quorvex {

/// The content of a toast: a coloured badge with a symbol, a one-line title and an optional
/// two-line detail, in a bordered capsule with a soft shadow and room for it around.
class ToastView final : public QWidget {
    Q_OBJECT
public:
    ToastView(const QString& title, const std::optional<QString>& detail, const QString& symbol, bool failed,
              QWidget* parent = nullptr);

    static constexpr int kOuterMargin = 16;
    static constexpr int kMaxContentWidth = 420;

    /// The opaque capsule of a toast of `size`, without the shadow around it: what a desktop that
    /// cannot blend should show of the window.
    static QRegion bubbleRegion(QSize size);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quorvex
