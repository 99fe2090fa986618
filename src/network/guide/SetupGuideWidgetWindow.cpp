#include "network/guide/SetupGuideWidgetWindow.h"

#include "network/guide/SetupGuideView.h"

#include <QApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace quorvex {

SetupGuideWidgetWindow::SetupGuideWidgetWindow(SetupGuide& guide, IllustrationFactory illustrations,
                                               std::function<void(SetupHelp::Topic)> help) {
    m_window = new QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint |
                                        Qt::WindowTitleHint);
    m_window->setWindowTitle(QStringLiteral("Quorvex Setup"));
    m_window->setObjectName(QStringLiteral("setupGuideWindow"));
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* window = m_window;
    layout->addWidget(new SetupGuideView(
        guide, std::move(illustrations), std::move(help), [window] { window->hide(); }, m_window));
    m_window->setFixedSize(SetupGuideView::kWidth, SetupGuideView::kHeight);
}

SetupGuideWidgetWindow::~SetupGuideWidgetWindow() {
    delete m_window.data();
}

std::function<std::unique_ptr<SetupGuideWindow>(SetupGuide&)>
SetupGuideWidgetWindow::factory(IllustrationFactory illustrations,
                                std::function<void(SetupHelp::Topic)> help) {
    return [illustrations = std::move(illustrations), help = std::move(help)](SetupGuide& guide) {
        return std::make_unique<SetupGuideWidgetWindow>(guide, illustrations, help);
    };
}

void SetupGuideWidgetWindow::present() {
    if (!m_window)
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect visible = screen->availableGeometry();
        m_window->move(visible.left() + 40, visible.center().y() - m_window->height() / 2);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SetupGuideWidgetWindow::close() {
    if (m_window)
        m_window->hide();
}

bool SetupGuideWidgetWindow::isVisible() const {
    return m_window && m_window->isVisible();
}

} // namespace quorvex
