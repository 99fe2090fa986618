#include "app/HostAppSubmenuBuilder.h"

#include "panel/DeviceHubService.h"

namespace quorvex {
namespace {

// The window shortcuts that work while the host app is in front, in the tracker's order.
struct WindowShortcut {
    const char* keys;
    const char* title;
};
constexpr WindowShortcut kWindowShortcuts[] = {
    {"⌃⌥N", "Cycle Network Speed"},
    {"⌃⌥S", "Take Screenshot"},
    {"⌃⌥C", "Copy Screenshot"},
    {"⌃⌥R", "Repeat Last Deep Link or Push"},
    {"⌃⌥P", "Show or Hide Side Panel"},
    {"⌃⌘Z", "Shake Gesture"},
    {"⌃⌘A", "Switch Light and Dark Appearance"},
    {"⌃⌘M", "Simulate Memory Warning"},
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
        follow.withSubtitle(QStringLiteral("Needs Accessibility access"));
    else if (const auto target = deviceHub->targetDevice())
        follow.withSubtitle(QStringLiteral("Now: ") + target->name);
    else
        follow.withSubtitle(QStringLiteral("No simulator in focus"));
    follow.checked = readsTitles;
    rows.push_back(std::move(follow));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("While ") + host + QStringLiteral(" Is in Front")));
    for (const WindowShortcut& shortcut : kWindowShortcuts)
        rows.push_back(MenuRow::info(QString::fromUtf8(shortcut.keys) + QStringLiteral("   ") +
                                         QString::fromUtf8(shortcut.title),
                                     QStringLiteral("keyboard")));
}

void HostAppSubmenuBuilder::toggleSidePanel(DeviceHubService& deviceHub) {
    deviceHub.setPanelEnabled(!deviceHub.isPanelEnabled());
}

} // namespace quorvex
