#include "panel/widgets/HoverHint.h"

#include "platform/core/Clock.h"
#include "ui/Fonts.h"

#include <algorithm>

#include <QEasingCurve>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QWidget>

namespace quorvex {

HoverHint::HoverHint(QWidget* control, const QString& text, Qt::Alignment alignment, Placement placement,
                     Clock& clock)
    : QObject(control)
    , m_control(control)
    , m_text(text)
    , m_alignment(alignment)
    , m_placement(placement)
    , m_clock(clock)
    , m_bubble(std::make_unique<QWidget>(nullptr, Qt::ToolTip | Qt::FramelessWindowHint)) {
    m_bubble->setAttribute(Qt::WA_ShowWithoutActivating);
    m_bubble->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_bubble->setObjectName(QStringLiteral("hoverHint"));
    m_bubble->setStyleSheet(QStringLiteral("#hoverHint { background: palette(window); border: 1px solid "
                                           "palette(mid); border-radius: 6px; }"));
    auto* layout = new QHBoxLayout(m_bubble.get());
    layout->setContentsMargins(8, 4, 8, 4);
    auto* label = new QLabel(text, m_bubble.get());
    label->setFont(Fonts::caption());
    layout->addWidget(label);
    auto* shadow = new QGraphicsDropShadowEffect(m_bubble.get());
    shadow->setColor(QColor(0, 0, 0, 38));
    shadow->setBlurRadius(4);
    shadow->setOffset(0, 2);
    m_bubble->setGraphicsEffect(shadow);
    control->setAttribute(Qt::WA_Hover);
    control->installEventFilter(this);
}

HoverHint::~HoverHint() = default;

QWidget* HoverHint::bubble() const {
    return m_bubble.get();
}

QRect HoverHint::bubbleFrame(const QRect& control, QSize size, Placement placement, Qt::Alignment alignment) {
    if (placement == Placement::leading)
        return {control.left() - kGap - size.width(), control.top() + (control.height() - size.height()) / 2,
                size.width(), size.height()};
    int x = control.left();
    if (alignment & Qt::AlignHCenter)
        x = control.left() + (control.width() - size.width()) / 2;
    else if (alignment & Qt::AlignRight)
        x = control.left() + control.width() - size.width();
    return {x, control.top() + control.height() + kGap, size.width(), size.height()};
}

bool HoverHint::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_control) {
        if (event->type() == QEvent::Enter)
            hoverChanged(true);
        else if (event->type() == QEvent::Leave || event->type() == QEvent::Hide)
            hoverChanged(false);
    }
    return false;
}

void HoverHint::hoverChanged(bool inside) {
    m_showTask.reset();
    if (inside) {
        m_showTask = m_clock.schedule(kDelay, [this] { show(); });
    } else if (m_shown) {
        m_shown = false;
        startFade();
    }
}

void HoverHint::show() {
    m_shown = true;
    if (m_bubble->isHidden()) {
        m_bubble->adjustSize();
        const QRect control(m_control->mapToGlobal(QPoint(0, 0)), m_control->size());
        m_bubble->setGeometry(bubbleFrame(control, m_bubble->sizeHint(), m_placement, m_alignment));
        m_bubble->setWindowOpacity(0);
        m_bubble->show();
    }
    startFade();
}

void HoverHint::startFade() {
    m_fadeFrom = m_opacity;
    m_fadeStart = m_clock.now();
    m_retiredTick = std::move(m_fadeTick);
    stepFade();
}

void HoverHint::stepFade() {
    const double target = m_shown ? 1.0 : 0.0;
    const double progress = std::clamp((m_clock.now() - m_fadeStart) / kFade, 0.0, 1.0);
    m_opacity =
        m_fadeFrom + (target - m_fadeFrom) * QEasingCurve(QEasingCurve::OutQuad).valueForProgress(progress);
    m_bubble->setWindowOpacity(m_opacity);
    m_retiredTick = std::move(m_fadeTick); // this may run inside that very call
    if (progress < 1.0) {
        m_fadeTick = m_clock.schedule(1.0 / 60.0, [this] { stepFade(); });
        return;
    }
    if (!m_shown)
        m_bubble->hide();
}

} // namespace quorvex
