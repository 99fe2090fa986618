#pragma once

#include "app/MenuRow.h"

#include <QString>

namespace quorvex {

class NetworkService;

/// The "Blocked Hosts" submenu: one row per host rule with its switch and removal, and the row
/// that asks for a new host. Everything it shows and changes is the network model's.
class BlockedHostsSubmenuBuilder final {
public:
    explicit BlockedHostsSubmenuBuilder(NetworkService& network)
        : m_network(network) {}

    void fill(MenuRows& rows) const;
    void fillHostRuleSubmenu(MenuRows& rows, const QString& host, bool enabled) const;
    /// Asks for a host in the add-host alert and adds the rule when the alert was confirmed.
    static void addBlockedHost(NetworkService& network);

private:
    NetworkService& m_network;
};

} // namespace quorvex
