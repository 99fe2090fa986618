#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QColor>
#include <QPainterPath>
#include <QStaticText>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace quorvex {

class AnimatedValue;
class RollingText;
class StorageCleanerModel;

/// The overview's ring chart of the categories' sizes, with the total in its hole. A slice under
/// the pointer keeps its colour while the others fade; a click on a slice opens its category.
/// New sizes move the slices and roll the figure together on the content spring, the fades take
/// 0.15 s; both run on the model's CleanerMotion.
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

    /// Where a slice lies on the ring, as fractions of the whole turn; a kind without bytes is a
    /// span of no width at its place in the order, so slices can grow from and shrink to nothing.
    struct Span {
        QString kind;
        double from = 0;
        double to = 0;
        QColor tint;
        friend bool operator==(const Span&, const Span&) = default;
    };

    static constexpr qreal kSide = 200;
    static constexpr qreal kInnerRatio = 0.62;
    /// Clicks closer to the centre than this share of the radius fall into the hole.
    static constexpr qreal kHitInnerRatio = 0.55;
    static constexpr qreal kAngularInset = 1.5;
    static constexpr qreal kCornerRadius = 4;
    static constexpr qreal kDimmedOpacity = 0.45;

    explicit DonutChart(StorageCleanerModel& model, QWidget* parent = nullptr);

    /// The outline of the slice between angles `from` and `to` (radians clockwise from 12 o'clock)
    /// of a ring about `centre`: its sides moved in by kAngularInset, its corners rounded by
    /// kCornerRadius; a wedge with a round point at the hole when too narrow for both corners
    /// there, and empty when too narrow for any.
    static QPainterPath sectorPath(QPointF centre, double inner, double outer, double from, double to);
    ~DonutChart() override;

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

    /// Every kind's span (and the placeholder's last) for these slices.
    static std::vector<Span> spans(const std::vector<Slice>& slices);
    /// The spans part of the way (`progress` 0 to 1) from `from` to `to`.
    static std::vector<Span> blend(const std::vector<Span>& from, const std::vector<Span>& to,
                                   double progress);

    /// The kind under the pointer, none while the pointer is elsewhere.
    std::optional<CleanupCategory::Kind> selectedKind() const;
    /// The opacity a slice settles at: 1, or dimmed while another slice is under the pointer.
    qreal opacity(const Slice& slice) const;

    /// The total in use, as the chart's accessible value.
    static QString totalText(const StorageCleanerModel& model);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void select(std::optional<double> value);
    void follow();
    std::vector<Span> shownSpans() const;
    /// The opacity drawn this frame, on its way from where it was to opacity(slice).
    qreal shownOpacity(const Slice& slice) const;

    StorageCleanerModel& m_model;
    std::optional<double> m_selectedValue;
    std::map<QString, qreal> m_fadeFrom; // opacities when the selection last changed
    std::unique_ptr<AnimatedValue> m_fade;
    // The ring moves to new sizes on a spring, with the figure in the hole.
    std::vector<Span> m_moveFrom;
    std::vector<Span> m_moveTo;
    std::unique_ptr<AnimatedValue> m_move;
    std::unique_ptr<RollingText> m_figure;
    QStaticText m_caption;
};

} // namespace quorvex
