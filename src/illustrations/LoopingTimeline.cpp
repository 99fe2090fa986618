#include "illustrations/LoopingTimeline.h"

#include "illustrations/Curves.h"
#include "illustrations/IllustrationsLog.h"
#include "platform/core/Clock.h"
#include "ui/MotionPreference.h"

#include <QEvent>
#include <QPainter>

#include <functional>

namespace quorvex {

LoopingTimeline::LoopingTimeline(Clock& clock, double duration, double stillFrame, QWidget* parent)
    : QWidget(parent)
    , m_clock(clock)
    , m_duration(duration)
    , m_stillFrame(stillFrame)
    , m_start(clock.now())
    , m_reduceMotion(reduceMotionPreferred()) {}

LoopingTimeline::~LoopingTimeline() = default;

void LoopingTimeline::setReduceMotion(bool reduce) {
    if (reduce == m_reduceMotion)
        return;
    m_reduceMotion = reduce;
    m_lastDigest.reset();
    m_lastMoving = {};
    if (reduce)
        m_tick.reset();
    else if (isVisible())
        scheduleNextFrame();
    update();
}

double LoopingTimeline::currentTime() const {
    if (m_reduceMotion)
        return m_stillFrame;
    // loopTime keeps t in [0, duration) even if the clock ever reads earlier than the start.
    return loopTime(m_clock.now() - m_start, m_duration);
}

bool LoopingTimeline::hasLooped() const {
    return !m_reduceMotion && m_duration > 0 && m_clock.now() - m_start >= m_duration;
}

void LoopingTimeline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double t = currentTime();
    paintFrame(painter, t);
    m_paintedTime = t;
}

void LoopingTimeline::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        m_paintedTime.reset();
    QWidget::changeEvent(event);
}

std::optional<size_t> LoopingTimeline::frameDigest(double) const {
    return std::nullopt;
}

QRegion LoopingTimeline::movingRegion(double) const {
    return rect();
}

QRegion LoopingTimeline::nextFrameRegion() const {
    return movingRegion(currentTime()) | m_lastMoving;
}

size_t LoopingTimeline::digestOf(std::initializer_list<double> values) {
    size_t digest = 1469598103934665603ull;
    for (double value : values) {
        digest ^= std::hash<double>{}(value);
        digest *= 1099511628211ull;
    }
    return digest;
}

void LoopingTimeline::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_start = m_clock.now();
    m_lastDigest.reset();
    m_lastMoving = {};
    qCDebug(illustrationsLog) << metaObject()->className() << "shown, animating:" << !m_reduceMotion;
    if (!m_reduceMotion)
        scheduleNextFrame();
}

void LoopingTimeline::hideEvent(QHideEvent* event) {
    m_tick.reset();
    m_spent.reset();
    qCDebug(illustrationsLog) << metaObject()->className() << "hidden, no frames scheduled";
    QWidget::hideEvent(event);
}

void LoopingTimeline::scheduleNextFrame() {
    m_tick = m_clock.schedule(kFrameInterval, [this] {
        // The handle of the call running now must outlive it: keep it until the next frame.
        m_spent = std::move(m_tick);
        const double t = currentTime();
        const std::optional<size_t> digest = frameDigest(t);
        const QRegion moving = movingRegion(t);
        if (digest && digest == m_lastDigest)
            ++m_skipped;
        else
            update((moving | m_lastMoving).boundingRect());
        m_lastDigest = digest;
        m_lastMoving = moving;
        scheduleNextFrame();
    });
}

} // namespace quorvex
