#include "storage/cleaner/CleanupHUD.h"

#include "platform/data/SystemClock.h"
#include "storage/cleaner/CleanupHUDView.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace quorvex {

namespace {

constexpr double kMarkSize = 92;
// Reports move the panel with this spring; a new run starts still.
const Motion kUpdateSpring = Motion::spring(0.45, 1.0);

} // namespace

CleanupHUD::CleanupHUD(Clock& clock)
    : m_clock(clock) {}

CleanupHUD::~CleanupHUD() {
    delete m_panel.data();
}

CleanupHUD& CleanupHUD::shared() {
    static CleanupHUD* hud = new CleanupHUD(systemClock());
    return *hud;
}

CleanupHUD::RunToken CleanupHUD::show(const QString& title) {
    ++m_run;
    m_progress.setTitle(title);
    m_progress.setPhase(CleanupProgress::Phase::measuring());
    if (!m_panel) {
        auto* panel = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                               Qt::NoDropShadowWindowHint);
        panel->setObjectName(QStringLiteral("cleanupHUD"));
        panel->setAttribute(Qt::WA_TranslucentBackground);
        auto* layout = new QVBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        auto* view = new CleanupHUDView(
            m_progress, [this] { hide(); }, kMarkSize, m_clock, panel);
        layout->addWidget(view);
        m_view = view;
        panel->setFocusProxy(view);
        m_panel = panel;
    }
    m_panel->adjustSize();
    const QScreen* screen = m_panel->screen() ? m_panel->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = m_panel->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_panel->move(frame.topLeft());
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
    m_panel->setFocus();
    return m_run;
}

bool CleanupHUD::update(RunToken token, const std::optional<QString>& title,
                        const CleanupProgress::Phase& phase) {
    if (token != m_run)
        return false;
    if (m_progress.phase().isFinished() && !phase.isFinished())
        return false;
    if (m_view)
        m_view->setChangeMotion(kUpdateSpring);
    if (title)
        m_progress.setTitle(*title);
    m_progress.setPhase(phase);
    if (m_view)
        m_view->setChangeMotion(Motion::none());
    return true;
}

void CleanupHUD::hide() {
    if (m_panel)
        m_panel->hide();
}

} // namespace quorvex
