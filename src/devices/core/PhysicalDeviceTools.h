#pragma once

#include <QString>

#include <array>
#include <filesystem>
#include <mutex>
#include <set>

namespace quorvex {

/// The devicectl commands that act on a whole connected device: status-bar presets, opening a
/// URL, screenshots. Each blocks until the tool exits (run them off the GUI thread) and reports
/// failure as false, never by showing anything.
class PhysicalDeviceTools final {
public:
    enum class StatusBarPreset { screenshot, lowBattery, noService, charging };
    static constexpr std::array<StatusBarPreset, 4> kAllPresets = {
        StatusBarPreset::screenshot, StatusBarPreset::lowBattery, StatusBarPreset::noService,
        StatusBarPreset::charging};
    /// The name devicectl knows the preset by ("low-battery").
    static QString rawValue(StatusBarPreset preset);

    /// Applies a preset. With `remember` the device joins overriddenDevices() on success: the
    /// user chose that look, so the screenshot flow must leave it alone rather than apply and
    /// later clear its own temporary preset.
    static bool setStatusBar(StatusBarPreset preset, const QString& deviceID, bool remember);
    /// Clears the override; on success the device leaves overriddenDevices().
    static bool clearStatusBar(const QString& deviceID);

    /// The devices whose status bar this process overrode and has not cleared. Read and write it
    /// only while holding overrideLock().
    static std::set<QString>& overriddenDevices();
    static std::mutex& overrideLock();
    /// Reads overriddenDevices() under the lock.
    static bool isOverridden(const QString& deviceID);

    /// Opens a URL on the device. Text that is not a URL with a scheme gives false and runs
    /// nothing.
    static bool openURL(const QString& url, const QString& deviceID);

    /// Saves a screenshot to `destination`; true only when the file exists afterwards.
    static bool captureScreenshot(const QString& deviceID, const std::filesystem::path& destination);

private:
    PhysicalDeviceTools() = delete;
};

} // namespace quorvex
