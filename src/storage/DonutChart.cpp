#include "storage/DonutChart.h"

#include "storage/CleanerLook.h"
#include "storage/StorageCleanerModel.h"
#include "ui/Fonts.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;
constexpr double kTwoPi = 2 * std::numbers::pi;

double grandTotal(const std::vector<DonutChart::Slice>& slices) {
    double total = 0;
    for (const DonutChart::Slice& slice : slices)
        total += static_cast<double>(slice.size);
    return total;
}

QPointF onCircle(QPointF centre, double radius, double angle) {
    // Clockwise from 12 o'clock, y growing downwards.
    return {centre.x() + radius * std::sin(angle), centre.y() - radius * std::cos(angle)};
}

// Adds the arc from angle `from` to `to` at `radius` as short lines.
void addArc(QPainterPath& path, QPointF centre, double radius, double from, double to) {
    const int steps = std::max(2, static_cast<int>(std::ceil(std::abs(to - from) / (kTwoPi / 180))));
    for (int step = 0; step <= steps; ++step)
        path.lineTo(onCircle(centre, radius, from + (to - from) * step / steps));
}

// A ring sector between two angles, its edges moved in by `inset` points and its corners rounded
// with `corner`: the sector is shrunk by the corner radius and drawn with a round pen that wide.
void paintSector(QPainter& painter, QPointF centre, double inner, double outer, double from, double to,
                 const QColor& color) {
    const double corner = std::min(DonutChart::kCornerRadius, (outer - inner) / 2);
    const double innerEdge = inner + corner;
    const double outerEdge = outer - corner;
    const double edge = DonutChart::kAngularInset + corner;
    const double innerFrom = from + edge / innerEdge;
    const double innerTo = to - edge / innerEdge;
    const double outerFrom = from + edge / outerEdge;
    const double outerTo = to - edge / outerEdge;
    QPainterPath path;
    if (innerTo > innerFrom) {
        path.moveTo(onCircle(centre, outerEdge, outerFrom));
        addArc(path, centre, outerEdge, outerFrom, outerTo);
        addArc(path, centre, innerEdge, innerTo, innerFrom);
        path.closeSubpath();
    } else if (outerTo > outerFrom) {
        // Too narrow for its corners at the hole: a wedge that ends in a point there.
        const double middle = (from + to) / 2;
        path.moveTo(onCircle(centre, outerEdge, outerFrom));
        addArc(path, centre, outerEdge, outerFrom, outerTo);
        path.lineTo(onCircle(centre, innerEdge, middle));
        path.closeSubpath();
    } else {
        return;
    }
    painter.setBrush(color);
    painter.setPen(QPen(color, 2 * corner, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
}

} // namespace

DonutChart::DonutChart(StorageCleanerModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model) {
    setFixedSize(static_cast<int>(kSide), static_cast<int>(kSide));
    setMouseTracking(true);
    setToolTip(QStringLiteral("Click a slice to open its category"));
    connect(&m_model, &StorageCleanerModel::changed, this, qOverload<>(&QWidget::update));
}

std::vector<DonutChart::Slice> DonutChart::slices(const StorageCleanerModel& model) {
    std::vector<Slice> slices;
    for (Kind kind : CleanupCategory::allKinds) {
        // Read in place: a category can hold many thousands of items.
        const auto found = model.categories().find(kind);
        if (found == model.categories().end())
            continue;
        std::int64_t size = 0;
        for (const CleanupItem& item : found->second.items)
            size = saturatingSum(size, item.size);
        if (size > 0)
            slices.push_back({CleanupCategory::rawValue(kind), size, categoryColor(found->second.tint)});
    }
    if (slices.empty())
        slices.push_back({QStringLiteral("empty"), 1, QColor(128, 128, 128, 46)});
    return slices;
}

std::optional<Kind> DonutChart::category(double value, const std::vector<Slice>& slices) {
    double start = 0;
    for (const Slice& slice : slices) {
        const double end = start + static_cast<double>(slice.size);
        if (start <= value && value < end)
            return CleanupCategory::kindFromRawValue(slice.kind);
        start = end;
    }
    return std::nullopt;
}

double DonutChart::angleValue(QPointF point, QSizeF size, const std::vector<Slice>& slices) {
    const double dx = point.x() - size.width() * 0.5;
    const double dy = point.y() - size.height() * 0.5;
    double theta = std::atan2(dx, -dy);
    if (theta < 0)
        theta += kTwoPi;
    return theta / kTwoPi * grandTotal(slices);
}

std::optional<Kind> DonutChart::category(QPointF point, QSizeF size, const std::vector<Slice>& slices) {
    const double radius = std::min(size.width(), size.height()) * 0.5;
    if (!(radius > 0))
        return std::nullopt; // a chart with no area has no ring to hit
    // As a share of the radius, so a point exactly on either bound compares equal to it.
    const double share = std::hypot(point.x() - size.width() * 0.5, point.y() - size.height() * 0.5) / radius;
    if (share < kHitInnerRatio || share > 1.0)
        return std::nullopt;
    return category(angleValue(point, size, slices), slices);
}

std::optional<Kind> DonutChart::selectedKind() const {
    if (!m_selectedValue)
        return std::nullopt;
    return category(*m_selectedValue, slices(m_model));
}

qreal DonutChart::opacity(const Slice& slice) const {
    const std::optional<Kind> selected = selectedKind();
    return !selected || CleanupCategory::rawValue(*selected) == slice.kind ? 1.0 : kDimmedOpacity;
}

QSize DonutChart::sizeHint() const {
    return {static_cast<int>(kSide), static_cast<int>(kSide)};
}

void DonutChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const std::vector<Slice> shown = slices(m_model);
    const double total = grandTotal(shown);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double outer = std::min(width(), height()) / 2.0;
    const double inner = outer * kInnerRatio;

    if (shown.size() == 1) {
        // One slice is the whole ring, with no edges to inset or round.
        QPainterPath ring;
        ring.addEllipse(centre, outer, outer);
        ring.addEllipse(centre, inner, inner);
        painter.setOpacity(opacity(shown.front()));
        painter.fillPath(ring, shown.front().tint);
    } else {
        double start = 0;
        for (const Slice& slice : shown) {
            const double end = start + static_cast<double>(slice.size);
            painter.setOpacity(opacity(slice));
            paintSector(painter, centre, inner, outer, start / total * kTwoPi, end / total * kTwoPi,
                        slice.tint);
            start = end;
        }
    }
    painter.setOpacity(1);

    // The total in the hole.
    const QFont figureFont = Fonts::system(15, QFont::DemiBold);
    const QFont captionFont = Fonts::caption();
    const QFontMetricsF figure(figureFont);
    const QFontMetricsF caption(captionFont);
    const double stack = figure.height() + 2 + caption.height();
    const double top = centre.y() - stack / 2;
    const QColor primary = palette().color(QPalette::WindowText);
    painter.setFont(figureFont);
    painter.setPen(primary);
    painter.drawText(QRectF(0, top, width(), figure.height()), Qt::AlignCenter,
                     sizeText(m_model.totalBytes()));
    painter.setFont(captionFont);
    painter.setPen(secondaryText(primary));
    painter.drawText(QRectF(0, top + figure.height() + 2, width(), caption.height()), Qt::AlignCenter,
                     QStringLiteral("total"));
}

void DonutChart::mouseMoveEvent(QMouseEvent* event) {
    const std::optional<Kind> before = selectedKind();
    m_selectedValue = angleValue(event->position(), QSizeF(size()), slices(m_model));
    if (selectedKind() != before)
        update();
}

void DonutChart::leaveEvent(QEvent*) {
    if (!m_selectedValue)
        return;
    m_selectedValue.reset();
    update();
}

void DonutChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (const std::optional<Kind> kind = category(event->position(), QSizeF(size()), slices(m_model)))
        m_model.setSection(StorageCleanerModel::Section::category(*kind));
}

} // namespace quorvex
