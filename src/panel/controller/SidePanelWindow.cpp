#include "panel/controller/SidePanelWindow.h"

#include <QEasingCurve>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWidget>

namespace quorvex {

SidePanelWindow::SidePanelWindow(WindowSystem& windows, QWidget* content)
    : m_windows(windows)
    , m_window(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint)) {
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    m_window->setObjectName(QStringLiteral("sidePanel"));
    m_window->setWindowTitle(QStringLiteral("Side Panel"));
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    if (content)
        layout->addWidget(content);
    m_window->resize(316, 400);
    m_window->winId(); // a native window from the start, so the window list can name it
}

SidePanelWindow::~SidePanelWindow() {
    if (m_animation)
        m_animation->stop();
}

double SidePanelWindow::firstScreenHeight() const {
    const auto screens = m_windows.screens();
    return screens.empty() ? 0.0 : screens.front().frame.height();
}

QRectF SidePanelWindow::frame() const {
    const QRect g = m_window->geometry();
    return QRectF(g.x(), firstScreenHeight() - g.y() - g.height(), g.width(), g.height());
}

void SidePanelWindow::setFrame(const QRectF& frame) {
    const double top = firstScreenHeight() - frame.y() - frame.height();
    m_window->setGeometry(QRectF(frame.x(), top, frame.width(), frame.height()).toRect());
}

double SidePanelWindow::alpha() const {
    return m_window->windowOpacity();
}

void SidePanelWindow::setAlpha(double alpha) {
    m_window->setWindowOpacity(alpha);
}

bool SidePanelWindow::isVisible() const {
    return m_window->isVisible();
}

void SidePanelWindow::order(WindowSystem::Order order, quint64 hostWindow) {
    if (!m_window->isVisible())
        m_window->show();
    m_windows.orderWindow(number(), order, hostWindow);
}

void SidePanelWindow::orderOut() {
    m_window->hide();
}

quint64 SidePanelWindow::number() const {
    return quint64(m_window->winId());
}

void SidePanelWindow::animate(std::optional<QRectF> frame, std::optional<double> alpha, double seconds,
                              Easing easing, std::function<void()> done) {
    if (m_animation)
        m_animation->stop();
    const QRectF startFrame = this->frame();
    const double startAlpha = this->alpha();
    auto* animation = new QVariantAnimation(m_window.get());
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(int(seconds * 1000));
    animation->setEasingCurve(easing == Easing::easeOut ? QEasingCurve::OutCubic : QEasingCurve::InCubic);
    QObject::connect(
        animation, &QVariantAnimation::valueChanged, m_window.get(), [=, this](const QVariant& value) {
            const double t = value.toDouble();
            if (frame) {
                const QRectF f(startFrame.x() + (frame->x() - startFrame.x()) * t,
                               startFrame.y() + (frame->y() - startFrame.y()) * t,
                               startFrame.width() + (frame->width() - startFrame.width()) * t,
                               startFrame.height() + (frame->height() - startFrame.height()) * t);
                setFrame(f);
            }
            if (alpha)
                setAlpha(startAlpha + (*alpha - startAlpha) * t);
        });
    QObject::connect(animation, &QVariantAnimation::finished, m_window.get(), [done = std::move(done)] {
        if (done)
            done();
    });
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace quorvex
