#include "windows/DeviceScreenshot.h"

#include "devices/core/PhysicalDeviceTools.h"
#include "platform/core/Clock.h"
#include "platform/gui/Clipboard.h"
#include "simulator/DeviceTools.h"
#include "simulator/Toast.h"
#include "tools/ToolCancellation.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"
#include "windows/ScreenshotSettings.h"
#include "windows/ScreenshotThumbnail.h"

#include <QBuffer>
#include <QFile>
#include <QPointer>
#include <QPromise>
#include <QUuid>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvex {

struct DeviceScreenshot::Request {
    QString udid;
    QString deviceName;
    std::optional<PhysicalDevice> device;
    bool copy = false;
    bool frameSetting = true;
    bool cleanSetting = true;
    bool copySetting = true;
    std::filesystem::path folder;
    QDateTime date;
    bool overridden = false;
    QPromise<void> promise;
};

DeviceScreenshot::Tools DeviceScreenshot::systemTools(ScreenshotThumbnail& thumbnail) {
    Tools tools;
    tools.simulatorHasOverride = [](const QString& udid) -> std::optional<bool> {
        // A listing that fails says nothing: overriding then could wipe the user's own override.
        const std::optional<QByteArray> output =
            runTool(ToolPaths::xcrun(), QStringList{QStringLiteral("simctl"), QStringLiteral("status_bar"),
                                                    udid, QStringLiteral("list")});
        if (!output)
            return std::nullopt;
        return DeviceTools::parseStatusBarOverrides(*output);
    };
    tools.overrideSimulator = [](const QString& udid) {
        return DeviceTools::overrideStatusBar(DeviceTools::StatusBar{}, udid);
    };
    tools.clearSimulator = [](const QString& udid) { return DeviceTools::clearStatusBar(udid); };
    tools.deviceHasOverride = [](const QString& id) { return PhysicalDeviceTools::isOverridden(id); };
    tools.overrideDevice = [](const QString& id) {
        return PhysicalDeviceTools::setStatusBar(PhysicalDeviceTools::StatusBarPreset::screenshot, id, false);
    };
    tools.clearDevice = [](const QString& id) { return PhysicalDeviceTools::clearStatusBar(id); };
    tools.captureSimulator = [](const QString& udid) {
        return DeviceScreen::capture(udid, std::filesystem::temp_directory_path());
    };
    tools.captureDevice = [](const PhysicalDevice& device) -> std::optional<ScreenCapture> {
        const std::filesystem::path file =
            std::filesystem::temp_directory_path() /
            ("device-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + ".png");
        std::optional<ScreenCapture> result;
        if (PhysicalDeviceTools::captureScreenshot(device.id, file)) {
            QImage image(QString::fromStdString(file.string()));
            if (!image.isNull()) {
                result = ScreenCapture{image, std::nullopt};
                if (const auto bundle = DeviceScreen::deviceTypeBundle(std::nullopt, device.productType)) {
                    const auto screens = DeviceScreen::load(*bundle);
                    if (!screens.empty())
                        result->screen = screens.front();
                }
            }
        }
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        return result;
    };
    tools.framedImage = [](const QImage& image, const DeviceScreen& screen) {
        return DeviceScreen::framedImage(image, screen);
    };
    tools.showThumbnail = [&thumbnail](const std::filesystem::path& file) { thumbnail.show(file); };
    return tools;
}

DeviceScreenshot::DeviceScreenshot(Clock& clock, Clipboard& clipboard, Tools tools, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_clipboard(clipboard)
    , m_tools(std::move(tools))
    , m_cancellation(std::make_shared<ToolCancellation>()) {}

DeviceScreenshot::~DeviceScreenshot() {
    // At quit a capture must not hold the program up: the tool runs are killed, so the steps
    // return at once.
    m_cancellation->cancelForGood();
    m_pool.waitForDone();
}

QFuture<void> DeviceScreenshot::screenshot(const QString& udid, const QString& deviceName,
                                           const std::optional<PhysicalDevice>& device, bool copy) {
    auto request = std::make_shared<Request>();
    request->udid = udid;
    request->deviceName = deviceName;
    request->device = device;
    request->copy = copy;
    request->frameSetting = ScreenshotSettings::frame();
    request->cleanSetting = ScreenshotSettings::cleanStatusBar();
    request->copySetting = ScreenshotSettings::copyToClipboard();
    request->folder = ScreenshotSettings::folder();
    request->date = QDateTime::currentDateTime();
    request->promise.start();
    QFuture<void> future = request->promise.future();

    const bool canOverride = !device || device->capabilities.count(kStatusBarCapability) != 0;
    const Tools tools = m_tools;
    QtConcurrent::run(&m_pool, [tools, request, canOverride, cancellation = m_cancellation] {
        const ToolCancellation::Scope scope(cancellation.get());
        if (!request->cleanSetting || !canOverride)
            return false;
        if (request->device) {
            if (tools.deviceHasOverride(request->udid))
                return false;
            return tools.overrideDevice(request->udid);
        }
        const std::optional<bool> overridden = tools.simulatorHasOverride(request->udid);
        if (!overridden || *overridden)
            return false;
        return tools.overrideSimulator(request->udid);
    }).then(this, [this, request](bool overridden) {
        request->overridden = overridden;
        if (!overridden) {
            capture(request);
            return;
        }
        // Give the device time to redraw its status bar.
        const double pause = request->device ? kDeviceRedraw : kSimulatorRedraw;
        const quint64 id = m_nextPause++;
        m_pauses[id] = m_clock.schedule(pause, [this, request, id] {
            // The call may not end itself while it runs: drop it on the next turn.
            QMetaObject::invokeMethod(
                this, [this, id] { m_pauses.erase(id); }, Qt::QueuedConnection);
            capture(request);
        });
    });
    return future;
}

void DeviceScreenshot::capture(std::shared_ptr<Request> request) {
    const Tools tools = m_tools;
    QtConcurrent::run(&m_pool, [tools, request, cancellation = m_cancellation] {
        const ToolCancellation::Scope scope(cancellation.get());
        Outcome outcome;
        const std::optional<ScreenCapture> shot =
            request->device ? tools.captureDevice(*request->device) : tools.captureSimulator(request->udid);
        if (!shot || shot->image.isNull()) {
            outcome.error = Error::capture;
        } else if (DeviceScreen::isBlank(shot->image)) {
            outcome.error = Error::screenOff;
        } else {
            std::optional<QByteArray> png;
            if (request->frameSetting && shot->screen)
                png = tools.framedImage(shot->image, *shot->screen);
            outcome.framed = png.has_value();
            if (!png) {
                QByteArray plain;
                QBuffer buffer(&plain);
                if (buffer.open(QIODevice::WriteOnly) && shot->image.save(&buffer, "PNG"))
                    png = plain;
            }
            if (!png) {
                outcome.error = Error::capture;
            } else {
                outcome.png = *png;
                if (!request->copy) {
                    outcome.file = ScreenshotSettings::writeNewFile(*png, request->deviceName, request->date,
                                                                    request->folder);
                    if (!outcome.file)
                        outcome.error = Error::save;
                }
            }
        }
        if (request->overridden) {
            if (request->device)
                tools.clearDevice(request->udid);
            else
                tools.clearSimulator(request->udid);
        }
        return outcome;
    }).then(this, [this, request](const Outcome& outcome) { report(request, outcome); });
}

void DeviceScreenshot::report(const std::shared_ptr<Request>& request, const Outcome& outcome) {
    const QString camera = QStringLiteral("camera");
    if (outcome.error) {
        switch (*outcome.error) {
        case Error::capture:
            Toast::show(QStringLiteral("Couldn’t take the screenshot"),
                        request->device ? std::optional(QStringLiteral("Is ") + request->deviceName +
                                                        QStringLiteral(" unlocked and connected?"))
                                        : std::nullopt,
                        camera, true);
            break;
        case Error::screenOff:
            Toast::show(QStringLiteral("The screen is off"),
                        QStringLiteral("Wake the device, then take the screenshot again."), camera, true);
            break;
        case Error::save:
            Toast::show(QStringLiteral("Couldn’t save the screenshot"),
                        QStringLiteral("Check the screenshot folder in Screenshot Options."), camera, true);
            break;
        }
    } else {
        const bool frameMissing = request->frameSetting && !outcome.framed;
        if (request->copy) {
            m_clipboard.setPng(outcome.png);
            Toast::show(QStringLiteral("Screenshot copied"),
                        request->deviceName +
                            (frameMissing ? QStringLiteral(", without a device frame") : QString()),
                        QStringLiteral("doc.on.clipboard"), false);
        } else {
            if (frameMissing)
                Toast::show(QStringLiteral("Saved without a device frame"),
                            QStringLiteral("Xcode has no frame for ") + request->deviceName +
                                QStringLiteral("."),
                            camera, false);
            if (request->copySetting) {
                const QImage saved(QString::fromStdString(outcome.file->string()));
                if (!saved.isNull())
                    m_clipboard.setImage(saved);
            }
            if (m_tools.showThumbnail)
                m_tools.showThumbnail(*outcome.file);
        }
    }
    request->promise.finish();
}

} // namespace quorvex
