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

// Adds the arc from angle `from` to `to` at `radius`, joined to the path by a line.
void addArc(QPainterPath& path, QPointF centre, double radius, double from, double to) {
    constexpr double kDegrees = 180 / std::numbers::pi;
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    path.arcTo(circle, 90 - from * kDegrees, -(to - from) * kDegrees);
}

// Outward from the centre at `angle` (clockwise from 12 o'clock, y growing downwards).
QPointF radial(double angle) {
    return {std::sin(angle), -std::cos(angle)};
}

// The outward normal of a side run clockwise from `from` to `to`.
QPointF sideNormal(QPointF from, QPointF to) {
    const QPointF along = to - from;
    const double length = std::hypot(along.x(), along.y());
    return length > 0 ? QPointF(along.y() / length, -along.x() / length) : QPointF();
}

// Turns clockwise about `corner` by `radius`, from outward direction `from` to `to`: a round
// corner of the outline.
void addCorner(QPainterPath& path, QPointF corner, double radius, QPointF from, QPointF to) {
    constexpr double kDegrees = 180 / std::numbers::pi;
    const double start = std::atan2(-from.y(), from.x()) * kDegrees;
    double sweep = std::atan2(-to.y(), to.x()) * kDegrees - start;
    while (sweep > 0)
        sweep -= 360;
    while (sweep <= -360)
        sweep += 360;
    path.arcTo(QRectF(corner.x() - radius, corner.y() - radius, 2 * radius, 2 * radius), start, sweep);
}

} // namespace

// The sector shrunk by the corner radius, grown back by it with round corners: outer arc, corner,
// the far side, corner, inner arc, corner, the near side, corner. Its outline is filled in one go;
// stroking the shrunk sector with a round pen draws the same shape but costs several times more
// on every frame of a moving chart.
QPainterPath DonutChart::sectorPath(QPointF centre, double inner, double outer, double from, double to) {
    const double corner = std::min(kCornerRadius, (outer - inner) / 2);
    const double innerEdge = inner + corner;
    const double outerEdge = outer - corner;
    const double edge = kAngularInset + corner;
    const double innerFrom = from + edge / innerEdge;
    const double innerTo = to - edge / innerEdge;
    const double outerFrom = from + edge / outerEdge;
    const double outerTo = to - edge / outerEdge;
    QPainterPath path;
    if (!(outerTo > outerFrom))
        return path;
    const QPointF a = onCircle(centre, outerEdge, outerFrom);
    const QPointF b = onCircle(centre, outerEdge, outerTo);
    path.moveTo(onCircle(centre, outer, outerFrom));
    addArc(path, centre, outer, outerFrom, outerTo);
    if (innerTo > innerFrom) {
        const QPointF c = onCircle(centre, innerEdge, innerTo);
        const QPointF d = onCircle(centre, innerEdge, innerFrom);
        const QPointF far = sideNormal(b, c);
        const QPointF near = sideNormal(d, a);
        addCorner(path, b, corner, radial(outerTo), far);
        path.lineTo(c + corner * far);
        addCorner(path, c, corner, far, -radial(innerTo));
        addArc(path, centre, inner, innerTo, innerFrom);
        addCorner(path, d, corner, -radial(innerFrom), near);
        path.lineTo(a + corner * near);
        addCorner(path, a, corner, near, radial(outerFrom));
    } else {
        // Too narrow for its corners at the hole: a wedge that ends in a round point there.
        const QPointF tip = onCircle(centre, innerEdge, (from + to) / 2);
        const QPointF far = sideNormal(b, tip);
        const QPointF near = sideNormal(tip, a);
        addCorner(path, b, corner, radial(outerTo), far);
        path.lineTo(tip + corner * far);
        addCorner(path, tip, corner, far, near);
        path.lineTo(a + corner * near);
        addCorner(path, a, corner, near, radial(outerFrom));
    }
    path.closeSubpath();
    return path;
}

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
            painter.fillPath(sectorPath(centre, inner, outer, span.from * kTwoPi, span.to * kTwoPi),
                             span.tint);
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
    // Laid out once: the chart repaints on every frame while its slices move.
    if (m_caption.text().isEmpty()) {
        m_caption.setText(QStringLiteral("total"));
        m_caption.setTextFormat(Qt::PlainText);
        m_caption.prepare(QTransform(), captionFont);
    }
    const QSizeF captionSize = m_caption.size();
    painter.drawStaticText(QPointF((width() - captionSize.width()) / 2,
                                   top + figure.height() + 2 + (caption.height() - captionSize.height()) / 2),
                           m_caption);
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
