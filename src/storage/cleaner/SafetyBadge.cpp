#include "storage/cleaner/SafetyBadge.h"

#include "storage/cleaner/CleanerLook.h"
#include "ui/Fonts.h"

#include <QPainter>

#include <cmath>

namespace quorvex {

SafetyBadge::SafetyBadge(CleanupSafety safety, QWidget* parent)
    : QWidget(parent)
    , m_safety(safety) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SafetyBadge::setSafety(CleanupSafety safety) {
    if (safety == m_safety)
        return;
    m_safety = safety;
    updateGeometry();
    update();
}

CapsuleLabel SafetyBadge::look(CleanupSafety safety) {
    const SafetyLook shown = safetyLook(safety);
    return {shown.title,
            shown.symbol,
            Fonts::caption(QFont::DemiBold),
            shown.color,
            withAlpha(shown.color, 0.12),
            8,
            3};
}

QSize SafetyBadge::sizeHint() const {
    const QSizeF size = look(m_safety).size();
    return {static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height()))};
}

void SafetyBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    look(m_safety).paint(painter, QPointF(0, 0));
}

} // namespace quorvex
