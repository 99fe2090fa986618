#include "app/ToolsSubmenuBuilder.h"

#include "app/MenuIcons.h"
#include "network/guide/SetupHelp.h"
#include "network/model/NetworkService.h"
#include "panel/sections/DeviceHubService.h"
#include "simulator/SimulatorApps.h"
#include "ui/Palette.h"

#include <QPixmap>

namespace quorvex {

void ToolsSubmenuBuilder::fillSimulators(MenuRows& rows) const {
    const std::vector<SimulatorDevice>& devices = m_context.simulatorApps.devices();
    const QString hostName = m_context.deviceHub.hostName();
    if (devices.empty()) {
        rows.push_back(MenuRow::info(QStringLiteral("Start a simulator in %1 first.").arg(hostName),
                                     QStringLiteral("info.circle")));
        return;
    }
    const std::optional<QString> focused = m_context.deviceHub.focusedUDID();
    const FillSimulator fill = m_context.fillSimulator;
    for (const SimulatorDevice& device : devices) {
        const bool isFocused = focused && *focused == device.udid;
        MenuRow row = m_context.lazyRow(
            device.name, [fill, device, devices](MenuRows& submenu) { fill(submenu, device, devices); });
        row.icon = QPixmap::fromImage(
            MenuIcons::menuImage(QStringLiteral("iphone"), isFocused ? Palette::blue() : Palette::gray()));
        if (isFocused)
            row.withSubtitle(QStringLiteral("In %1").arg(hostName));
        rows.push_back(std::move(row));
    }
}

void ToolsSubmenuBuilder::appendExtensionState(MenuRows& rows) const {
    const NetworkService& network = m_context.network;
    if (const auto topic = SetupHelp::pressing(network.setupObstacle(), network.awaitingApproval(),
                                               network.awaitingProxyAllowance())) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::info(SetupHelp::line(*topic), QStringLiteral("exclamationmark.shield")));
        rows.push_back(MenuRow::action(SetupHelp::buttonTitle(*topic), QStringLiteral("gear"), std::nullopt,
                                       [topic = *topic] { SetupHelp::show(topic); }));
    } else if (network.isBusy()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::info(QStringLiteral("Applying…"), QStringLiteral("hourglass")));
    } else if (const auto error = network.lastError()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::info(*error, QStringLiteral("exclamationmark.triangle")));
    }
}

} // namespace quorvex
