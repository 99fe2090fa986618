#pragma once

#include "app/MenuItems.h"
#include "app/MenuRow.h"

#include <QString>

namespace quorvex {

class DeviceHubService;

/// The screenshot rows the simulator and connected-device submenus share: the summary of where a
/// screenshot goes, the copy row and the options submenu, which writes the shared settings.
class ScreenshotRowsBuilder final {
public:
    explicit ScreenshotRowsBuilder(DeviceHubService& deviceHub)
        : m_deviceHub(deviceHub) {}

    /// Where a screenshot goes: "Device frame · saved to Desktop · copied".
    QString summary() const;
    MenuRow copyScreenshotItem(ActionItem::Handler handler) const;
    void fillOptions(MenuRows& rows) const;

private:
    DeviceHubService& m_deviceHub;
};

} // namespace quorvex
