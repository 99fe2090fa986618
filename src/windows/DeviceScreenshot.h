#pragma once

#include "devices/core/PhysicalDevice.h"
#include "windows/DeviceScreen.h"

#include <QByteArray>
#include <QDateTime>
#include <QFuture>
#include <QObject>
#include <QThreadPool>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace quorvex {

class Clipboard;
class Clock;
class ScheduledCall;
class ScreenshotThumbnail;
class ToolCancellation;

/// The one screenshot flow of the program, for a booted simulator or a connected device, from
/// the status menu, the side panel and the shortcut alike: a clean status bar while it is taken
/// (unless the user's own override is there, or whether there is one cannot be told), the
/// capture, the blank check, the device frame when one is known (a device's through its model's
/// device type), then the file in the screenshot folder or the clipboard. Reports in toasts, the
/// clipboard and the floating thumbnail; never to its caller.
///
/// GUI thread. Each request is independent: the override check, the override, the capture with
/// framing and writing, and the clear run one after the other on the object's pool; the pause
/// that lets the device redraw runs on the Clock. The file is named when it is written and
/// created exclusively, so two screenshots in one second get two names. Destroying the object
/// kills the tool runs still going and waits only for their steps to return.
class DeviceScreenshot final : public QObject {
    Q_OBJECT
public:
    enum class Error { capture, screenOff, save };

    static constexpr double kSimulatorRedraw = 0.4;
    static constexpr double kDeviceRedraw = 0.8;
    static inline const QString kStatusBarCapability =
        QStringLiteral("com.apple.coredevice.feature.simulateStatusBar");

    /// The outside steps; each but `showThumbnail` runs off the GUI thread.
    struct Tools {
        /// Whether the simulator's status bar carries an override; none when that is unknown.
        std::function<std::optional<bool>(const QString& udid)> simulatorHasOverride;
        std::function<bool(const QString& udid)> overrideSimulator;
        std::function<bool(const QString& udid)> clearSimulator;
        std::function<bool(const QString& id)> deviceHasOverride;
        std::function<bool(const QString& id)> overrideDevice;
        std::function<bool(const QString& id)> clearDevice;
        std::function<std::optional<ScreenCapture>(const QString& udid)> captureSimulator;
        std::function<std::optional<ScreenCapture>(const PhysicalDevice& device)> captureDevice;
        std::function<std::optional<QByteArray>(const QImage& image, const DeviceScreen& screen)> framedImage;
        std::function<void(const std::filesystem::path& file)> showThumbnail;
    };

    /// The real tools: simctl, devicectl, the device chrome and the given thumbnail.
    static Tools systemTools(ScreenshotThumbnail& thumbnail);

    DeviceScreenshot(Clock& clock, Clipboard& clipboard, Tools tools, QObject* parent = nullptr);
    ~DeviceScreenshot() override;

    /// Starts one screenshot; the future ends once it was reported.
    QFuture<void> screenshot(const QString& udid, const QString& deviceName,
                             const std::optional<PhysicalDevice>& device, bool copy);

    /// What one capture gave: the PNG and whether it is framed, the file written, or the error.
    struct Outcome {
        std::optional<Error> error;
        QByteArray png;
        bool framed = false;
        std::optional<std::filesystem::path> file;
    };

private:
    struct Request;
    void capture(std::shared_ptr<Request> request);
    void report(const std::shared_ptr<Request>& request, const Outcome& outcome);

    Clock& m_clock;
    Clipboard& m_clipboard;
    Tools m_tools;
    std::map<quint64, std::unique_ptr<ScheduledCall>> m_pauses;
    quint64 m_nextPause = 0;
    std::shared_ptr<ToolCancellation> m_cancellation;
    QThreadPool m_pool; // last: destroyed first, so no step outlives the object
};

} // namespace quorvex
