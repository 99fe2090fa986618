#include "app/ConnectedDeviceSubmenuBuilder.h"

#include "app/DeviceActions.h"
#include "app/ScreenshotRowsBuilder.h"
#include "app/StatusMenuDialogs.h"
#include "devices/core/DeviceFlowsService.h"
#include "ui/Formatters.h"
#include "ui/Palette.h"

namespace quorvex {
namespace {

const QString kDeviceStatusBarCapability = QStringLiteral("com.apple.coredevice.feature.simulateStatusBar");

} // namespace

void ConnectedDeviceSubmenuBuilder::fill(MenuRows& rows, const std::vector<PhysicalDevice>& devices) const {
    DeviceFlowsService* flows = &m_context.deviceFlows;
    const ScreenshotRowsBuilder screenshots(m_context.deviceHub);
    const QString summary = screenshots.summary();
    for (size_t i = 0; i < devices.size(); ++i) {
        const PhysicalDevice& device = devices[i];
        if (i > 0)
            rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::header(device.name));
        rows.push_back(MenuRow::action(QStringLiteral("Take Screenshot"), QStringLiteral("camera.fill"),
                                       Palette::blue(), [flows, device] { flows->screenshot(device, false); })
                           .withSubtitle(summary));
        rows.push_back(screenshots.copyScreenshotItem([flows, device] { flows->screenshot(device, true); }));
        MenuRow options = MenuRow::tool(QStringLiteral("Screenshot Options"),
                                        QStringLiteral("slider.horizontal.3"), Palette::blue());
        screenshots.fillOptions(options.children);
        rows.push_back(std::move(options));
        if (device.capabilities.contains(kDeviceStatusBarCapability)) {
            MenuRow statusBar = MenuRow::tool(QStringLiteral("Status Bar"),
                                              QStringLiteral("menubar.rectangle"), Palette::gray());
            fillDeviceStatusBarSubmenu(statusBar.children, device);
            rows.push_back(std::move(statusBar));
        }
        rows.push_back(MenuRow::action(QStringLiteral("Open URL…"), QStringLiteral("link"), Palette::green(),
                                       [device] { promptOpenURL(device); }));
        rows.push_back(MenuRow::action(QStringLiteral("Send Push Notification…"),
                                       QStringLiteral("bell.badge.fill"), Palette::red(),
                                       [flows, device] { flows->showPushWindow(device); })
                           .withSubtitle(QStringLiteral("Through APNs with your .p8 key")));
        MenuRow appData =
            MenuRow::tool(QStringLiteral("App Data"), QStringLiteral("folder.fill"), Palette::cyan());
        fillDeviceAppData(appData.children, device);
        rows.push_back(std::move(appData));
        rows.push_back(MenuRow::action(QStringLiteral("Launch App with Arguments…"),
                                       QStringLiteral("play.fill"), Palette::green(),
                                       [device] { startLaunchWithArguments(device); }));
        rows.push_back(MenuRow::action(QStringLiteral("Install Configuration Profile…"),
                                       QStringLiteral("checkmark.seal.fill"), Palette::blue(),
                                       [device] { chooseProfile(device); })
                           .withSubtitle(QStringLiteral("Trust a proxy certificate, and more")));
    }
}

void ConnectedDeviceSubmenuBuilder::fillDeviceAppData(MenuRows& rows, const PhysicalDevice& device) const {
    const std::vector<DeviceApp> apps = m_context.deviceFlows.apps(device.id);
    if (apps.empty()) {
        rows.push_back(MenuRow::info(QStringLiteral("Apps you run from Xcode show up here."),
                                     QStringLiteral("info.circle")));
        return;
    }
    for (const DeviceApp& app : apps) {
        const std::vector<DeviceSnapshot> snapshots = DeviceSnapshot::list(app.id);
        MenuRow row = MenuRow::tool(app.name, QStringLiteral("app"), std::nullopt);
        if (const size_t count = snapshots.size(); count > 0)
            row.withSubtitle(count == 1 ? QStringLiteral("1 snapshot")
                                        : QStringLiteral("%1 snapshots").arg(count));
        fillDeviceAppSubmenu(row.children, device, app, snapshots);
        rows.push_back(std::move(row));
    }
}

void ConnectedDeviceSubmenuBuilder::fillDeviceAppSubmenu(MenuRows& rows, const PhysicalDevice& device,
                                                         const DeviceApp& app,
                                                         const std::vector<DeviceSnapshot>& snapshots) const {
    DeviceFlowsService* flows = &m_context.deviceFlows;
    rows.push_back(MenuRow::action(QStringLiteral("Save Snapshot…"), QStringLiteral("clock.arrow.circlepath"),
                                   std::nullopt,
                                   [flows, app, device] { saveDeviceSnapshot(*flows, app, device); }));
    rows.push_back(MenuRow::action(QStringLiteral("Download"), QStringLiteral("arrow.down.circle"),
                                   std::nullopt,
                                   [flows, app, device] { downloadDeviceAppData(*flows, app, device); })
                       .withSubtitle(QStringLiteral("To your Downloads folder")));
    if (snapshots.empty())
        return;
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Snapshots")));
    for (const DeviceSnapshot& snapshot : snapshots) {
        MenuRow row = MenuRow::tool(snapshot.name, QStringLiteral("doc.on.doc"), std::nullopt);
        row.withSubtitle(Formatters::abbreviatedDateTime(snapshot.date) + QStringLiteral(" · ") +
                         Formatters::fileSize(snapshot.size));
        fillDeviceSnapshotSubmenu(*flows, row.children, snapshot, app, device);
        rows.push_back(std::move(row));
    }
}

} // namespace quorvex
