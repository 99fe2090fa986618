#pragma once

#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApp.h"

#include <QObject>

#include <optional>
#include <vector>

namespace quorvex {

/// The status-bar window's form: the override being edited, the running simulators and the one
/// chosen (none: all of them). Outlives the window, so the form keeps the last values; the list
/// and the choice are replaced on every showing. A field set to its current value notifies
/// nobody. GUI thread.
class StatusBarState final : public QObject {
    Q_OBJECT
public:
    explicit StatusBarState(QObject* parent = nullptr);

    const DeviceTools::StatusBar& settings() const { return m_settings; }
    const std::vector<SimulatorDevice>& devices() const { return m_devices; }
    const std::optional<QString>& target() const { return m_target; }

    void setSettings(const DeviceTools::StatusBar& settings);
    void setDevices(const std::vector<SimulatorDevice>& devices);
    void setTarget(const std::optional<QString>& target);

    /// Every listed simulator without a target; else the listed ones with the target's UDID.
    std::vector<SimulatorDevice> targetDevices() const;

signals:
    void settingsChanged();
    void devicesChanged();
    void targetChanged();

private:
    DeviceTools::StatusBar m_settings;
    std::vector<SimulatorDevice> m_devices;
    std::optional<QString> m_target;
};

} // namespace quorvex
