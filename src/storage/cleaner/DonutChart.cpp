#include "storage/cleaner/DonutChart.h"

#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/engine/StorageCleanerModel.h"
#include "ui/AccessibleValue.h"
#include "ui/AnimatedValue.h"
#include "ui/Fonts.h"
#include "ui/RollingText.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
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

// Adds the arc from angle `from` to `to` at `radius`, joined to the path by a line. A true arc,
// not short lines: the round pen that rounds the corners would otherwise put a round join at
// every step, which made each frame of a moving chart cost several times its fill.
void addArc(QPainterPath& path, QPointF centre, double radius, double from, double to) {
    constexpr double kDegrees = 180 / std::numbers::pi;
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    path.arcTo(circle, 90 - from * kDegrees, -(to - from) * kDegrees);
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
    AccessibleValue::setRole(this, QAccessible::Chart);
    setFixedSize(static_cast<int>(kSide), static_cast<int>(kSide));
    setMouseTracking(true);
    setToolTip(QStringLiteral("Click a slice to open its category"));
    setAccessibleName(QStringLiteral("Storage by category"));
    AccessibleValue::set(this, totalText(m_model));
    Animator& animator = CleanerMotion::of(model).animator();
    m_fade = std::make_unique<AnimatedValue>(animator, 1);
    m_move = std::make_unique<AnimatedValue>(animator, 1);
    m_figure = std::make_unique<RollingText>(animator, sizeText(m_model.totalBytes()));
    m_figure->setMonospacedDigits(false);
    connect(m_fade.get(), &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    connect(m_move.get(), &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    connect(m_figure.get(), &RollingText::changed, this, qOverload<>(&QWidget::update));
    m_moveTo = spans(slices(m_model));
    connect(&m_model, &StorageCleanerModel::changed, this, &DonutChart::follow);
}

std::vector<DonutChart::Span> DonutChart::spans(const std::vector<Slice>& slices) {
    QStringList order;
    for (Kind kind : CleanupCategory::allKinds)
        order << CleanupCategory::rawValue(kind);
    order << QStringLiteral("empty");
    const double total = grandTotal(slices);
    std::vector<Span> made;
    double at = 0;
    for (const QString& kind : order) {
        const auto slice =
            std::find_if(slices.begin(), slices.end(), [&](const Slice& each) { return each.kind == kind; });
        const double width =
            slice != slices.end() && total > 0 ? static_cast<double>(slice->size) / total : 0;
        made.push_back({kind, at, at + width, slice != slices.end() ? slice->tint : QColor()});
        at += width;
    }
    return made;
}

std::vector<DonutChart::Span> DonutChart::blend(const std::vector<Span>& from, const std::vector<Span>& to,
                                                double progress) {
    if (from.size() != to.size())
        return to;
    std::vector<Span> blended = to;
    for (std::size_t i = 0; i < to.size(); ++i) {
        blended[i].from = from[i].from + (to[i].from - from[i].from) * progress;
        blended[i].to = from[i].to + (to[i].to - from[i].to) * progress;
        // A slice on its way out keeps its colour while it shrinks.
        if (!blended[i].tint.isValid())
            blended[i].tint = from[i].tint;
    }
    return blended;
}

DonutChart::~DonutChart() = default;

std::vector<DonutChart::Span> DonutChart::shownSpans() const {
    if (!m_move->isAnimating() || m_moveFrom.empty())
        return m_moveTo;
    return blend(m_moveFrom, m_moveTo, m_move->value());
}

// What the chart says to a screen reader: the total in use, the figure in its hole.
QString DonutChart::totalText(const StorageCleanerModel& model) {
    return sizeText(model.totalBytes()) + QStringLiteral(" in use");
}

// The slices and the figure in the hole move together, on the content spring, whatever change
// of the model brought the new sizes; a hidden chart takes them at once.
void DonutChart::follow() {
    AccessibleValue::set(this, totalText(m_model));
    const Motion motion = isVisible() ? CleanerMotion::contentSpring() : Motion::none();
    m_figure->setText(sizeText(m_model.totalBytes()), motion);
    std::vector<Span> target = spans(slices(m_model));
    if (target == m_moveTo)
        return update();
    m_moveFrom = shownSpans();
    m_moveTo = std::move(target);
    m_move->setValue(0);
    m_move->animateTo(1, motion);
    update();
}

std::vector<DonutChart::Slice> DonutChart::slices(const StorageCleanerModel& model) {
    std::vector<Slice> slices;
    for (Kind kind : CleanupCategory::allKinds) {
        const std::int64_t size = model.categoryBytes(kind);
        if (size > 0)
            slices.push_back(
                {CleanupCategory::rawValue(kind), size, categoryColor(model.category(kind).tint)});
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

qreal DonutChart::shownOpacity(const Slice& slice) const {
    const qreal target = opacity(slice);
    const auto from = m_fadeFrom.find(slice.kind);
    if (from == m_fadeFrom.end() || !m_fade->isAnimating())
        return target;
    return from->second + (target - from->second) * m_fade->value();
}

void DonutChart::select(std::optional<double> value) {
    const std::optional<Kind> before = selectedKind();
    std::map<QString, qreal> shown;
    for (const Slice& slice : slices(m_model))
        shown[slice.kind] = shownOpacity(slice);
    m_selectedValue = value;
    if (selectedKind() == before)
        return;
    m_fadeFrom = std::move(shown);
    m_fade->setValue(0);
    m_fade->animateTo(1, CleanerMotion::pointerFade());
    update();
}

QSize DonutChart::sizeHint() const {
    return {static_cast<int>(kSide), static_cast<int>(kSide)};
}

void DonutChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double outer = std::min(width(), height()) / 2.0;
    const double inner = outer * kInnerRatio;

    const std::vector<Span> ring = shownSpans();
    const auto whole = std::find_if(ring.begin(), ring.end(),
                                    [](const Span& span) { return span.to - span.from > 1 - 1e-9; });
    if (whole != ring.end()) {
        // One slice is the whole ring, with no edges to inset or round.
        QPainterPath path;
        path.addEllipse(centre, outer, outer);
        path.addEllipse(centre, inner, inner);
        painter.setOpacity(shownOpacity({whole->kind, 1, whole->tint}));
        painter.fillPath(path, whole->tint);
    } else {
        for (const Span& span : ring) {
            if (span.to - span.from <= 1e-9)
                continue;
            painter.setOpacity(shownOpacity({span.kind, 1, span.tint}));
            paintSector(painter, centre, inner, outer, span.from * kTwoPi, span.to * kTwoPi, span.tint);
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
    m_figure->paint(painter, QRectF(0, top, width(), figure.height()), Qt::AlignCenter);
    painter.setFont(captionFont);
    painter.setPen(secondaryText(primary));
    painter.drawText(QRectF(0, top + figure.height() + 2, width(), caption.height()), Qt::AlignCenter,
                     QStringLiteral("total"));
}

void DonutChart::mouseMoveEvent(QMouseEvent* event) {
    select(angleValue(event->position(), QSizeF(size()), slices(m_model)));
}

void DonutChart::leaveEvent(QEvent*) {
    select(std::nullopt);
}

void DonutChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (const std::optional<Kind> kind = category(event->position(), QSizeF(size()), slices(m_model)))
        m_model.setSection(StorageCleanerModel::Section::category(*kind));
}

} // namespace quorvex
