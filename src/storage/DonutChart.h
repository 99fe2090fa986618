#pragma once

#include "storage/CleanupCategory.h"

#include <QColor>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

namespace quorvex {

class StorageCleanerModel;

/// The overview's ring chart of the categories' sizes, with the total in its hole. A slice under
/// the pointer keeps its colour while the others fade; a click on a slice opens its category.
class DonutChart final : public QWidget {
    Q_OBJECT
public:
    /// One sector: a kind's raw value ("empty" for the grey placeholder ring), bytes, colour.
    struct Slice {
        QString kind;
        std::int64_t size = 0;
        QColor tint;
        friend bool operator==(const Slice&, const Slice&) = default;
    };

    static constexpr qreal kSide = 200;
    static constexpr qreal kInnerRatio = 0.62;
    /// Clicks closer to the centre than this share of the radius fall into the hole.
    static constexpr qreal kHitInnerRatio = 0.55;
    static constexpr qreal kAngularInset = 1.5;
    static constexpr qreal kCornerRadius = 4;
    static constexpr qreal kDimmedOpacity = 0.45;

    explicit DonutChart(StorageCleanerModel& model, QWidget* parent = nullptr);

    /// The categories with bytes, in kind order, or the one placeholder slice when none has any.
    static std::vector<Slice> slices(const StorageCleanerModel& model);
    /// The kind whose span of the running sum of sizes holds `value` (half-open spans).
    static std::optional<CleanupCategory::Kind> category(double value, const std::vector<Slice>& slices);
    /// The kind under `point` of a chart drawn in `size`: on the ring only, by the angle clockwise
    /// from 12 o'clock.
    static std::optional<CleanupCategory::Kind> category(QPointF point, QSizeF size,
                                                         const std::vector<Slice>& slices);
    /// The value along the running sum of sizes at `point`'s angle.
    static double angleValue(QPointF point, QSizeF size, const std::vector<Slice>& slices);

    /// The kind under the pointer, none while the pointer is elsewhere.
    std::optional<CleanupCategory::Kind> selectedKind() const;
    /// The opacity a slice is drawn with now.
    qreal opacity(const Slice& slice) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    StorageCleanerModel& m_model;
    std::optional<double> m_selectedValue;
};

} // namespace quorvex
