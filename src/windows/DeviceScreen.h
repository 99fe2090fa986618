#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariant>

#include <filesystem>
#include <optional>
#include <vector>

namespace quorvex {

struct ScreenCapture;

/// One screen of a simulator device type, and the screenshot operations built on it: capture
/// through `simctl io`, the blank-screen check, and framing a screenshot in the device's chrome
/// artwork (a `.devicechrome` bundle: chrome.json and PDF pieces).
///
/// Everything is synchronous and reports failure as nothing (or false, or an empty list); tool
/// runs go through runTool, so callers keep it off the GUI thread. The device-type map is listed
/// once per process and guarded by a lock; every other operation is stateless and may run on any
/// thread.
struct DeviceScreen {
    QString name; // the display's deviceName; also the display selector of the capture tool
    int width = 0;
    int height = 0;
    double scale = 3.0;
    std::optional<std::filesystem::path> chrome; // the .devicechrome bundle
    std::optional<std::filesystem::path> mask;   // PDF whose opaque area is the visible screen

    bool operator==(const DeviceScreen&) const = default;

    /// The frame's edges and the canvas around it, in points, origin top-left, y down.
    struct Geometry {
        QRectF frame;
        QRectF screen;
        QSizeF canvas;
    };

    /// Captures every display of the simulator into `workingFolder` and returns the largest
    /// non-blank one (the first capture when all are blank); nothing when no display could be
    /// captured. Temporary files are removed either way.
    static std::optional<ScreenCapture> capture(const QString& udid,
                                                const std::filesystem::path& workingFolder);
    /// True when no pixel has red, green or blue above 3 (the simulated screen is off). A null
    /// image is not blank.
    static bool isBlank(const QImage& image);
    /// The screenshot framed in the screen's chrome, as PNG; nothing when there is no chrome or
    /// its description or artwork cannot be read.
    static std::optional<QByteArray> framedImage(const QImage& screenshot, const DeviceScreen& screen);
    /// The same picture before PNG encoding.
    static std::optional<QImage> framedBitmap(const QImage& screenshot, const DeviceScreen& screen);

    /// `deviceTypeIdentifier` of the simulator in `simctl list devices -j`.
    static std::optional<QString> deviceTypeIdentifier(const QString& udid);
    /// The device-type bundle listed for the identifier, else for the model identifier.
    static std::optional<std::filesystem::path>
    deviceTypeBundle(const std::optional<QString>& identifier, const std::optional<QString>& modelIdentifier);
    /// The integrated screens of a device-type bundle, in the order its capabilities list them.
    static std::vector<DeviceScreen> load(const std::filesystem::path& bundle);
    /// One screen from a display of capabilities.plist, with profile.plist as the fallback.
    static std::optional<DeviceScreen> parseProfile(const QVariantMap& display,
                                                    const std::optional<QVariantMap>& profile,
                                                    const std::filesystem::path& resources);
    /// The installed .devicechrome bundle named by the last dot-separated piece of the identifier.
    static std::optional<std::filesystem::path> chromeURL(const QString& identifier);
    /// The folder of the installed chrome bundles: $QUORVEX_DEVICEKIT_CHROME when set (tests and
    /// the demo), else "/Library/Developer/DeviceKit/Chrome".
    static std::filesystem::path chromeRoot();

    /// Where the frame, the screen and the canvas lie for a screen of `points` with the chrome's
    /// edge sizes (leftWidth, rightWidth, topHeight, bottomHeight) and padding (left, right, top,
    /// bottom); a missing value counts 0.
    static Geometry geometry(QSizeF points, const QVariantMap& sizing, const QVariantMap& padding);
    /// The rectangle of one input artwork of `size` against the frame: "top", "bottom", "left",
    /// and the right edge for any other anchor. "bottom" subtracts the vertical offset.
    static QRectF inputRect(const QString& anchor, QPointF offset, QSizeF size, const QRectF& frame);
    /// Pixels of a canvas of `points` at `scale`, each side rounded half away from zero.
    static QSize rasterSize(QSizeF points, double scale);

    /// Forgets the listed device types, so the next lookup lists them again (tests only).
    static void forgetDeviceTypes();
};

/// A screenshot and the screen it was taken from (absent when the device type is unknown).
struct ScreenCapture {
    QImage image;
    std::optional<DeviceScreen> screen;
};

} // namespace quorvex
