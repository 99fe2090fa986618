#pragma once

#include "simulator/DeviceTools.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace quorvex {

class SignalBars;
class StatusBarWindow;

/// The status-bar window's content: a live preview strip, the form bound to the window's state,
/// and the Clean, Reset and Apply buttons. GUI thread.
class StatusBarView final : public QWidget {
    Q_OBJECT
public:
    explicit StatusBarView(StatusBarWindow& window, QWidget* parent = nullptr);

    /// "battery.0" up to 12 %, "battery.25" to 37, "battery.50" to 62, "battery.75" to 87, else
    /// "battery.100".
    static QString batterySymbol(std::int64_t level);
    /// The picker's label of a network type: "Wi-Fi", "5G", "5G+", "LTE", "4G", "3G", "None".
    static QString networkLabel(DeviceTools::StatusBar::Network network);
    /// The raw value with a capital first letter: "Charged", "Charging", "Discharging".
    static QString batteryLabel(DeviceTools::StatusBar::Battery battery);
    /// What the preview strip shows, in words, for a screen reader: "9:41, Carrier, LTE, cellular
    /// 2 of 4 bars, Wi-Fi 3 of 3 bars, battery 55%, charging".
    static QString previewDescription(const DeviceTools::StatusBar& settings);

private:
    void refreshForm();
    void refreshPreview();
    void refreshDevices();
    void edit(const std::function<void(DeviceTools::StatusBar&)>& change);

    StatusBarWindow& m_window;
    QWidget* m_preview = nullptr;
    QLabel* m_previewTime;
    QLabel* m_previewCarrier;
    QLabel* m_previewNetwork;
    SignalBars* m_previewCellular;
    SignalBars* m_previewWifi;
    QLabel* m_previewBattery;
    QLabel* m_previewBolt;
    QComboBox* m_simulator;
    QLineEdit* m_time;
    QLabel* m_timeHint;
    QComboBox* m_network;
    QSpinBox* m_wifiBars;
    QSpinBox* m_cellularBars;
    QLineEdit* m_carrier;
    QComboBox* m_battery;
    QSlider* m_batteryLevel;
    QLabel* m_batteryText;
    QPushButton* m_apply;
};

} // namespace quorvex
