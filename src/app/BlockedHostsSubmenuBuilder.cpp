#include "app/BlockedHostsSubmenuBuilder.h"

#include "app/HostField.h"
#include "app/StatusMenuDialogs.h"
#include "network/model/NetworkService.h"
#include "platform/gui/Dialogs.h"

#include <QLineEdit>

namespace quorvex {

void BlockedHostsSubmenuBuilder::fill(MenuRows& rows) const {
    NetworkService* network = &m_network;
    const auto rules = network->hostRules();
    const bool busy = network->isBusy();
    if (rules.empty())
        rows.push_back(
            MenuRow::info(QStringLiteral("Block a host to test how apps handle\na backend that’s down."),
                          QStringLiteral("info.circle")));
    for (const NetworkService::HostRule& rule : rules) {
        const QString host = rule.host;
        MenuRow row = MenuRow::tool(
            host, rule.enabled ? QStringLiteral("nosign") : QStringLiteral("circle.dashed"), std::nullopt);
        row.withSubtitle(rule.enabled ? QStringLiteral("Blocked") : QStringLiteral("Off"));
        row.enabled = !busy;
        fillHostRuleSubmenu(row.children, host, rule.enabled);
        rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
    MenuRow add = MenuRow::action(QStringLiteral("Add Host…"), QStringLiteral("plus"), std::nullopt,
                                  [network] { addBlockedHost(*network); });
    add.enabled = !busy;
    rows.push_back(std::move(add));
    rows.push_back(
        MenuRow::info(QStringLiteral("Simulator apps get “connection refused” for\nthese hosts and their "
                                     "subdomains."),
                      QStringLiteral("info.circle")));
}

void BlockedHostsSubmenuBuilder::fillHostRuleSubmenu(MenuRows& rows, const QString& host,
                                                     bool enabled) const {
    NetworkService* network = &m_network;
    rows.push_back(MenuRow::action(enabled ? QStringLiteral("Stop Blocking") : QStringLiteral("Block"),
                                   enabled ? QStringLiteral("checkmark.circle") : QStringLiteral("nosign"),
                                   std::nullopt, [network, host] { network->toggleHostRule(host); }));
    rows.push_back(MenuRow::action(QStringLiteral("Remove"), QStringLiteral("trash"), std::nullopt,
                                   [network, host] { network->removeHostRule(host); }));
}

void BlockedHostsSubmenuBuilder::addBlockedHost(NetworkService& network) {
    BlockHostAlert dialog = makeBlockHostAlert();
    if (Dialogs::shared().runAlert(dialog.alert) == Dialogs::kFirstButton)
        network.addHostRule(dialog.field->field()->text().trimmed());
}

} // namespace quorvex
