#include "windows/StatusBarState.h"

namespace quorvex {

StatusBarState::StatusBarState(QObject* parent)
    : QObject(parent) {}

void StatusBarState::setSettings(const DeviceTools::StatusBar& settings) {
    if (settings == m_settings)
        return;
    m_settings = settings;
    emit settingsChanged();
}

void StatusBarState::setDevices(const std::vector<SimulatorDevice>& devices) {
    if (devices == m_devices)
        return;
    m_devices = devices;
    emit devicesChanged();
}

void StatusBarState::setTarget(const std::optional<QString>& target) {
    if (target == m_target)
        return;
    m_target = target;
    emit targetChanged();
}

std::vector<SimulatorDevice> StatusBarState::targetDevices() const {
    if (!m_target)
        return m_devices;
    std::vector<SimulatorDevice> chosen;
    for (const SimulatorDevice& device : m_devices)
        if (device.udid == *m_target)
            chosen.push_back(device);
    return chosen;
}

} // namespace quorvex
