#include "app/HostAppSubmenuBuilder.h"

#include "panel/DeviceHubService.h"

#include <QKeySequence>

namespace quorvex {
namespace {

// The window shortcuts that work while the host app is in front, in the tracker's order.
// Shown in the platform's own words for keys ("Ctrl+Alt+N" here), like every key in the menu.
struct WindowShortcut {
    QKeyCombination keys;
    const char* title;
};
const WindowShortcut kWindowShortcuts[] = {
    {Qt::CTRL | Qt::ALT | Qt::Key_N, "Cycle Network Speed"},
    {Qt::CTRL | Qt::ALT | Qt::Key_S, "Take Screenshot"},
    {Qt::CTRL | Qt::ALT | Qt::Key_C, "Copy Screenshot"},
    {Qt::CTRL | Qt::ALT | Qt::Key_R, "Repeat Last Deep Link or Push"},
    {Qt::CTRL | Qt::ALT | Qt::Key_P, "Show or Hide Side Panel"},
    {Qt::CTRL | Qt::META | Qt::Key_Z, "Shake Gesture"},
    {Qt::CTRL | Qt::META | Qt::Key_A, "Switch Light and Dark Appearance"},
    {Qt::CTRL | Qt::META | Qt::Key_M, "Simulate Memory Warning"},
};

} // namespace

void HostAppSubmenuBuilder::fill(MenuRows& rows) const {
    DeviceHubService* deviceHub = &m_deviceHub;
    const QString host = deviceHub->hostName();
    rows.push_back(MenuRow::action(QStringLiteral("Open ") + host, QStringLiteral("macbook.and.iphone"),
                                   std::nullopt, [deviceHub] { deviceHub->openHost(); }));
    rows.push_back(MenuRow::separator());
    MenuRow panel = MenuRow::action(QStringLiteral("Show Side Panel"), QStringLiteral("sidebar.right"),
                                    std::nullopt, [deviceHub] { toggleSidePanel(*deviceHub); });
    panel.withSubtitle(QStringLiteral("Next to ") + host + QStringLiteral("’s window"));
    panel.checked = deviceHub->isPanelEnabled();
    rows.push_back(std::move(panel));
    const bool readsTitles = deviceHub->canReadTitles();
    MenuRow follow = MenuRow::action(QStringLiteral("Follow Focused Device"), QStringLiteral("scope"),
                                     std::nullopt, [deviceHub] { deviceHub->requestAccessibility(); });
    if (!readsTitles)
        // The window tracker reads window titles through the X server; without one it sees none.
        follow.withSubtitle(QStringLiteral("Needs window titles from the X server"));
    else if (const auto target = deviceHub->targetDevice())
        follow.withSubtitle(QStringLiteral("Now: ") + target->name);
    else
        follow.withSubtitle(QStringLiteral("No simulator in focus"));
    follow.checked = readsTitles;
    rows.push_back(std::move(follow));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("While ") + host + QStringLiteral(" Is in Front")));
    for (const WindowShortcut& shortcut : kWindowShortcuts)
        rows.push_back(MenuRow::info(QKeySequence(shortcut.keys).toString(QKeySequence::NativeText) +
                                         QStringLiteral("   ") + QString::fromUtf8(shortcut.title),
                                     QStringLiteral("keyboard")));
}

void HostAppSubmenuBuilder::toggleSidePanel(DeviceHubService& deviceHub) {
    deviceHub.setPanelEnabled(!deviceHub.isPanelEnabled());
}

} // namespace quorvex
