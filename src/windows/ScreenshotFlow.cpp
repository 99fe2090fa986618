#include "windows/ScreenshotFlow.h"

#include "platform/gui/Clipboard.h"
#include "simulator/DeviceTools.h"
#include "simulator/Toast.h"
#include "windows/DeviceScreen.h"
#include "windows/ScreenshotSettings.h"
#include "windows/ScreenshotThumbnail.h"
#include "windows/WindowsLog.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QThreadPool>

#include <chrono>
#include <thread>

namespace quorvex {

ScreenshotFlow::ScreenshotFlow(Clipboard& clipboard, ScreenshotThumbnail& thumbnail, QObject* parent)
    : QObject(parent)
    , m_clipboard(clipboard)
    , m_thumbnail(thumbnail) {}

ScreenshotFlow::Request ScreenshotFlow::request(const QString& udid, const QString& deviceName, bool copyOnly,
                                                const QDateTime& now) {
    Request request;
    request.udid = udid;
    request.deviceName = deviceName;
    request.copyOnly = copyOnly;
    request.cleanStatusBar = ScreenshotSettings::cleanStatusBar();
    request.frame = ScreenshotSettings::frame();
    request.copyToClipboard = ScreenshotSettings::copyToClipboard();
    request.folder = ScreenshotSettings::folder();
    request.date = now;
    request.destination = ScreenshotSettings::fileURL(deviceName, now, request.folder);
    return request;
}

void ScreenshotFlow::start(const Request& request) {
    QPointer<ScreenshotFlow> self(this);
    const double settle = m_settleSeconds;
    QThreadPool::globalInstance()->start([self, request, settle] {
        Outcome outcome = run(request, settle);
        if (!self)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, request, outcome] {
                if (self)
                    self->report(request, outcome);
            },
            Qt::QueuedConnection);
    });
}

ScreenshotFlow::Outcome ScreenshotFlow::run(const Request& request, double settleSeconds) {
    Outcome outcome;
    // A status bar the user set on purpose is neither replaced nor cleared afterwards.
    bool overridden = false;
    if (request.cleanStatusBar && !DeviceTools::hasStatusBarOverrides(request.udid))
        overridden = DeviceTools::overrideStatusBar(DeviceTools::StatusBar{}, request.udid);
    if (overridden && settleSeconds > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(settleSeconds));

    const auto finish = [&](Outcome result) {
        if (overridden)
            DeviceTools::clearStatusBar(request.udid);
        return result;
    };

    const std::optional<ScreenCapture> capture =
        DeviceScreen::capture(request.udid, QDir::tempPath().toStdString());
    if (!capture) {
        outcome.error = Error::capture;
        return finish(outcome);
    }
    if (DeviceScreen::isBlank(capture->image)) {
        outcome.error = Error::screenOff;
        return finish(outcome);
    }
    if (request.frame && capture->screen)
        if (auto framed = DeviceScreen::framedImage(capture->image, *capture->screen)) {
            outcome.png = std::move(*framed);
            outcome.framed = true;
        }
    if (outcome.png.isEmpty()) {
        QBuffer buffer(&outcome.png);
        buffer.open(QIODevice::WriteOnly);
        if (!capture->image.save(&buffer, "PNG")) {
            outcome.error = Error::capture;
            return finish(outcome);
        }
    }
    if (request.copyOnly)
        return finish(outcome);
    outcome.file =
        ScreenshotSettings::writeNewFile(outcome.png, request.deviceName, request.date, request.folder);
    if (!outcome.file)
        outcome.error = Error::save;
    return finish(outcome);
}

void ScreenshotFlow::report(const Request& request, const Outcome& outcome) {
    const QString camera = QStringLiteral("camera");
    if (outcome.error) {
        qCWarning(windowsLog) << "screenshot of" << request.deviceName
                              << "failed:" << static_cast<int>(*outcome.error);
        switch (*outcome.error) {
        case Error::capture:
            Toast::show(QStringLiteral("Couldn’t take the screenshot"), std::nullopt, camera, true);
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
        emit finished(outcome);
        return;
    }
    const bool frameMissing = request.frame && !outcome.framed;
    if (request.copyOnly) {
        m_clipboard.setPng(outcome.png);
        Toast::show(QStringLiteral("Screenshot copied"),
                    request.deviceName +
                        (frameMissing ? QStringLiteral(", without a device frame") : QString()),
                    QStringLiteral("doc.on.clipboard"), false);
        emit finished(outcome);
        return;
    }
    if (frameMissing)
        Toast::show(QStringLiteral("Saved without a device frame"),
                    QStringLiteral("Xcode has no frame for ") + request.deviceName + u'.', camera, false);
    if (request.copyToClipboard) {
        QImage saved;
        if (saved.load(QFile::decodeName(QByteArray::fromStdString(outcome.file->string()))))
            m_clipboard.setImage(saved);
    }
    m_thumbnail.show(*outcome.file);
    emit finished(outcome);
}

} // namespace quorvex
