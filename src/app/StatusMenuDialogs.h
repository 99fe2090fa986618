#pragma once

#include "devices/core/PhysicalDevice.h"
#include "platform/gui/Dialogs.h"
#include "simulator/SimulatorApp.h"

#include <QFuture>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace quorvex {

class HostField;
class StatusMenuFlows;

// The modal dialogs that rows of the status menu open before they act. Each runs on the GUI
// thread through the dialog layer; confirmed work starts afterwards, off the GUI thread, and is
// reported by its runner's toast. The returned futures end after that toast, or at once when
// nothing was started (cancelled, refused).

/// Asks for a URL (with the recent ones offered) and opens it on the device.
QFuture<void> promptOpenURL(const PhysicalDevice& device);
/// Tells that the device's apps are loading, then runs the launch-with-arguments flow.
QFuture<void> startLaunchWithArguments(const PhysicalDevice& device);
/// Asks for a configuration or provisioning profile and installs it on the device.
QFuture<void> chooseProfile(const PhysicalDevice& device);

/// The add-host alert: its accessory is `field`, and its first button closes it only for a host
/// the field accepts. The caller runs it (and keeps `field` alive meanwhile).
struct BlockHostAlert {
    std::unique_ptr<HostField> field;
    Alert alert;
};
BlockHostAlert makeBlockHostAlert();

/// Asks for a root certificate and has the simulator trust it.
QFuture<void> chooseRootCertificate(StatusMenuFlows& flows, const SimulatorDevice& device);
/// Confirms, then resets the simulator's whole keychain.
QFuture<void> confirmKeychainReset(StatusMenuFlows& flows, const SimulatorDevice& device);
/// Confirms, then uninstalls the app from every simulator it is on; refused with the "Please
/// wait" toast while another long task runs. Holds the busy flag until the uninstall ends.
QFuture<void> confirmUninstall(StatusMenuFlows& flows, const SimulatorApp& app);
/// Confirms with the item count, then deletes the app's own keychain items on one simulator.
QFuture<void> confirmDeleteKeychainItems(StatusMenuFlows& flows, const SimulatorApp& app,
                                         const SimulatorInstall& install, std::int64_t count);
/// The informative text of that confirmation: "3 items (passwords, tokens, keys) in ...".
QString deleteKeychainItemsText(const QString& appName, std::int64_t count);

} // namespace quorvex
