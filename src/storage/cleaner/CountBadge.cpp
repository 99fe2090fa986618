#include "storage/cleaner/CountBadge.h"

#include "storage/cleaner/CleanerMotion.h"
#include "ui/AnimatedValue.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

constexpr qreal kPaddingX = 7;
constexpr qreal kPaddingY = 2;

// Every digit takes the widest digit's cell, so the capsule keeps its width as the count changes.
qreal digitCell(const QFontMetricsF& metrics) {
    qreal widest = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar::fromLatin1(digit)));
    return widest;
}

} // namespace

CountBadge::CountBadge(Animator& animator, QWidget* parent)
    : QWidget(parent)
    , m_shown(new AnimatedValue(animator, 0, this)) {
    setObjectName(QStringLiteral("rowBadge"));
    setFont(Fonts::caption(QFont::Bold));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_shown, &AnimatedValue::changed, this, &CountBadge::follow);
    hide();
}

void CountBadge::setCount(int count) {
    if (count == m_count)
        return;
    const bool wasShown = m_count > 0;
    m_count = count;
    if (count > 0) {
        m_text = QString::number(count);
        updateGeometry();
    }
    if (wasShown != (count > 0))
        m_shown->animateTo(count > 0 ? 1 : 0, CleanerMotion::selectionSpring());
    follow();
}

ScaleFade CountBadge::look() const {
    return ScaleFade::appearing(m_shown->value());
}

void CountBadge::follow() {
    // Hidden only once the shrinking has ended, so that the row's texts keep their place until then.
    setVisible(m_count > 0 || m_shown->isAnimating());
    update();
}

QSize CountBadge::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {static_cast<int>(std::ceil(digitCell(metrics) * m_text.size() + 2 * kPaddingX)),
            static_cast<int>(std::ceil(metrics.height() + 2 * kPaddingY))};
}

void CountBadge::paintEvent(QPaintEvent*) {
    const ScaleFade shown = look();
    if (!shown.visible())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    shown.apply(painter, capsule);
    QPainterPath path;
    const qreal radius = capsule.height() / 2;
    path.addRoundedRect(capsule, radius, radius);
    painter.fillPath(path, Palette::blue());
    painter.setPen(Qt::white);
    const qreal cell = digitCell(QFontMetricsF(font()));
    QRectF digit(capsule.center().x() - cell * m_text.size() / 2, capsule.top(), cell, capsule.height());
    for (const QChar character : m_text) {
        painter.drawText(digit, Qt::AlignCenter, QString(character));
        digit.translate(cell, 0);
    }
}

} // namespace quorvex
