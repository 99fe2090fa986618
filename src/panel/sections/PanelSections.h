#pragma once

#include "devices/core/PhysicalDevice.h"
#include "simulator/SimulatorApp.h"

class QWidget;

namespace quorvex {

struct PanelServices;

/// One factory per slot of the side panel that holds a section built on its own. Each returns
/// the section with its object name set to the slot's name (the section's class name in lower
/// camel case), so the root view and its tests find a slot the same way whatever fills it.
/// A section whose services have not arrived yet (see PanelServices) is a labelled stand-in.
namespace PanelSections {

QWidget* physicalDeviceSection(PanelServices& services, const PhysicalDevice& device);
QWidget* appHeader(PanelServices& services);
QWidget* networkSection(PanelServices& services, const SimulatorApp& app);
QWidget* appActionsSection(PanelServices& services, const SimulatorApp& app);
QWidget* permissionsSection(PanelServices& services, const SimulatorApp& app);
QWidget* panelFooter(PanelServices& services, bool physical);
QWidget* languageSection(PanelServices& services, const SimulatorApp& app);

} // namespace PanelSections

} // namespace quorvex
