#include "simulator/Toast.h"

#include "platform/core/Clock.h"
#include "platform/data/GuiThread.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/Compositing.h"
#include "simulator/ToastView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace quorvex {
namespace {

constexpr double kFrame = 1.0 / 60.0;
// Slack for clock arithmetic, so a phase that is due by a rounding error still ends.
constexpr double kEpsilon = 1e-6;

QWidget* makeWindow() {
    auto* window = new QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                            Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    window->setObjectName(QStringLiteral("toastWindow"));
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return window;
}

} // namespace

ToastPresenter::ToastPresenter(Clock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock) {}

ToastPresenter::~ToastPresenter() {
    delete m_window;
}

QWidget* ToastPresenter::window() const {
    return m_window;
}

void ToastPresenter::show(const ToastMessage& message) {
    Q_ASSERT(isGuiThread());
    if (!m_window)
        m_window = makeWindow();

    // Swap the content.
    QLayout* layout = m_window->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    layout->addWidget(new ToastView(message.title, message.detail, message.symbol, message.failed, m_window));
    layout->activate();
    m_window->adjustSize();
    // Without a compositor the shadow's see-through margin would show as a black frame.
    if (desktopBlendsTranslucentWindows())
        m_window->clearMask();
    else
        m_window->setMask(ToastView::bubbleRegion(m_window->size()));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect visible = screen->availableGeometry();
        m_window->move(visible.center().x() - m_window->width() / 2, visible.top() + 12);
    }

    m_current = message;
    m_dismissal.reset();
    m_tick.reset();
    setOpacity(0.0);
    m_window->show();
    m_phase = Phase::FadingIn;
    m_phaseStart = m_clock.now();
    scheduleTick();
    m_dismissal = m_clock.schedule(message.failed ? kDisplayFailed : kDisplay, [this] { beginFadeOut(); });
    emit toastShown(message);
}

void ToastPresenter::beginFadeOut() {
    m_phase = Phase::FadingOut;
    m_phaseStart = m_clock.now();
    scheduleTick();
}

void ToastPresenter::scheduleTick() {
    const double length = m_phase == Phase::FadingIn ? kFadeIn : kFadeOut;
    const double remaining = length - (m_clock.now() - m_phaseStart);
    m_tick = m_clock.schedule(std::clamp(remaining, 0.0, kFrame), [this] { tick(); });
}

void ToastPresenter::tick() {
    const double elapsed = m_clock.now() - m_phaseStart;
    if (m_phase == Phase::FadingIn) {
        if (elapsed >= kFadeIn - kEpsilon) {
            setOpacity(1.0);
            m_phase = Phase::Shown;
            return;
        }
        setOpacity(elapsed / kFadeIn);
    } else if (m_phase == Phase::FadingOut) {
        if (elapsed >= kFadeOut - kEpsilon) {
            setOpacity(0.0);
            m_phase = Phase::Hidden;
            if (m_window)
                m_window->hide();
            return;
        }
        setOpacity(1.0 - elapsed / kFadeOut);
    } else {
        return;
    }
    scheduleTick();
}

void ToastPresenter::setOpacity(double opacity) {
    m_opacity = opacity;
    // Headless platforms cannot fade windows and warn on every attempt.
    static const bool canFade = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                                QGuiApplication::platformName() != QLatin1String("minimal");
    if (m_window && canFade)
        m_window->setWindowOpacity(opacity);
}

void Toast::show(const QString& title, const std::optional<QString>& detail, const QString& symbol,
                 bool failed) {
    presenter().show(ToastMessage{title, detail, symbol, failed});
}

ToastPresenter& Toast::presenter() {
    static ToastPresenter* presenter = new ToastPresenter(systemClock());
    return *presenter;
}

} // namespace quorvex
