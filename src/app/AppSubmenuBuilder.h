#pragma once

#include "app/ClearDataSubmenuBuilder.h"
#include "app/MenuRow.h"
#include "app/StatusMenuFlows.h"
#include "simulator/AppDetails.h"
#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApp.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace quorvex {

class ActionWindowsService;
class Clock;
class DeviceHubService;
class NetworkService;
struct NetworkProfile;
class Permissions;

/// The per-app submenu: network profile, permissions, side panel, links and pushes, data
/// folders, snapshots, keychain, cleaning, launch and uninstall, and the app's identity. Filled
/// when it is first opened; everything it shows is read at that moment and not refreshed while
/// it stays open.
class AppSubmenuBuilder final {
public:
    struct Context {
        NetworkService& network;
        DeviceHubService& deviceHub;
        ActionWindowsService& actionWindows;
        Permissions& permissions;
        Clock& clock; // the "copied" period of the copy rows
        ClearDataSubmenuBuilder::Context clearData;
        StatusMenuFlows::Handle flows;
        /// Counts the app's own keychain items on one simulator; nothing when it cannot be read.
        std::function<std::optional<std::int64_t>(const QString& bundleID, const QString& udid)>
            keychainCount = &DeviceTools::keychainItemCount;
        /// How long the keychain rows wait for their counts, all together.
        std::chrono::milliseconds keychainCountTimeout{2'000};
    };

    explicit AppSubmenuBuilder(Context context)
        : m_context(std::move(context)) {}

    /// `running`: whether a booted simulator has the app.
    void fill(MenuRows& rows, const SimulatorApp& app, bool running) const;

    void fillNetworkSubmenu(MenuRows& rows, const SimulatorApp& app) const;
    /// One profile row: checked when it is the app's current profile, off while the model is busy.
    static MenuRow networkProfileItem(NetworkService& network, const NetworkProfile& profile,
                                      const NetworkProfile& current, const SimulatorApp& app);
    void fillPermissionsSubmenu(MenuRows& rows, const SimulatorApp& app) const;
    void fillAppDataSubmenu(MenuRows& rows, const SimulatorApp& app) const;
    void fillKeychainSubmenu(MenuRows& rows, const SimulatorApp& app) const;
    void addLaunchItems(MenuRows& rows, const SimulatorApp& app) const;
    void addAppInfoItems(MenuRows& rows, const SimulatorApp& app) const;
    void fillEntitlementsSubmenu(MenuRows& rows,
                                 const std::vector<AppDetails::Entitlement>& entitlements) const;
    /// Points the side panel at the app on the target simulator (else its first) and opens it.
    static void showInSidePanel(DeviceHubService& deviceHub, const SimulatorApp& app);

private:
    Context m_context;
};

} // namespace quorvex
