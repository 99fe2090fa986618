#pragma once

#include "devices/core/PhysicalDeviceTools.h"

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <functional>

namespace quorvex {

class ActionWindowsService;
class Clock;
class DeviceHubPanel;
class DeviceHubShortcuts;
class DeviceHubTracker;
class DeviceSectionServices;
class LanguageTools;
class MenuFlows;
class NetworkService;
class Permissions;
class SimulatorApps;
class Workspace;

/// The simulator and device commands the panel's tools run. Each blocks and runs off the GUI
/// thread; `system()` gives the real ones, tests their own.
struct PanelCommands {
    std::function<bool(const QString& udid)> slowAnimations;
    std::function<bool(bool on, const QString& udid)> setSlowAnimations;
    std::function<bool(PhysicalDeviceTools::StatusBarPreset preset, const QString& deviceID)> setStatusBar;
    std::function<bool(const QString& deviceID)> clearStatusBar;

    static PanelCommands system();
};

/// What the side panel's views read and reach besides the controller. DeviceHub owns it and
/// outlives every view. The status menu's flows, the action windows and the device sections'
/// services exist only once the application has launched, so they are null until then: the
/// tools that need them do nothing and the sections that need them are not made. GUI thread.
struct PanelServices {
    DeviceHubPanel& panel;
    DeviceHubTracker& tracker;
    DeviceHubShortcuts& shortcuts;
    SimulatorApps& simulators;
    NetworkService& network;
    Permissions& permissions;
    LanguageTools& languageTools;
    QSettings& defaults;
    Clock& clock;
    Workspace& workspace;
    PanelCommands commands;
    /// A screenshot of the panel's target; to the clipboard only with `copy`.
    std::function<void(bool copy)> takeScreenshot;
    /// Takes the URLs dropped on the panel ("text/uri-list" data); unset, drops do nothing.
    std::function<void(const QByteArray& uriList)> drop;
    MenuFlows* menuFlows = nullptr;
    ActionWindowsService* actionWindows = nullptr;
    DeviceSectionServices* deviceSections = nullptr;
};

} // namespace quorvex
