#include "app/HostAppSubmenuBuilder.h"

#include "panel/sections/DeviceHubService.h"

namespace quorvex {
void HostAppSubmenuBuilder::fill(MenuRows& rows) const {
    DeviceHubService* deviceHub = &m_deviceHub;
    const QString host = deviceHub->hostName();
    rows.push_back(MenuRow::action(QStringLiteral("Open ") + host, QStringLiteral("macbook.and.iphone"),
                                   std::nullopt, [deviceHub] { deviceHub->openHost(); }));
    rows.push_back(MenuRow::separator());
    MenuRow panel = MenuRow::action(QStringLiteral("Show Side Panel"), QStringLiteral("sidebar.right"),
                                    std::nullopt, [deviceHub] { toggleSidePanel(*deviceHub); });
    panel.withSubtitle(deviceHub->panelUnavailableReason().value_or(QStringLiteral("Next to ") + host +
                                                                    QStringLiteral("’s window")));
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
    // The rows of the shortcuts the device hub installs, so the menu can never list a key that
    // does something else.
    for (const DeviceHubService::WindowShortcut& shortcut : deviceHub->windowShortcuts())
        rows.push_back(MenuRow::info(shortcut.keys + QStringLiteral("   ") + shortcut.title,
                                     QStringLiteral("keyboard")));
}

void HostAppSubmenuBuilder::toggleSidePanel(DeviceHubService& deviceHub) {
    deviceHub.setPanelEnabled(!deviceHub.isPanelEnabled());
}

} // namespace quorvex
