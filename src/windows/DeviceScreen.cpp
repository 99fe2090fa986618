#include "windows/DeviceScreen.h"

#include "platform/data/PropertyList.h"
#include "tools/PathText.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"
#include "windows/PdfArtwork.h"

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTransform>
#include <QUuid>

#include <cmath>
#include <map>
#include <mutex>
#include <system_error>

namespace quorvex {

namespace {

bool isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isInteger(const QVariant& value) {
    return isNumber(value) && value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float;
}

bool isText(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

bool isMap(const QVariant& value) {
    return value.typeId() == QMetaType::QVariantMap;
}

// A map whose values are all numbers (what chrome.json calls a map of numbers).
bool isNumberMap(const QVariant& value) {
    if (!isMap(value))
        return false;
    const QVariantMap map = value.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        if (!isNumber(*it))
            return false;
    return true;
}

double number(const QVariantMap& map, const char* key) {
    const QVariant value = map.value(QString::fromLatin1(key));
    return isNumber(value) ? value.toDouble() : 0.0;
}

std::optional<QVariantMap> readPropertyListDictionary(const std::filesystem::path& file) {
    QFile in(pathText(file));
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<QVariant> value = propertyListToVariant(in.readAll());
    if (!value || !isMap(*value))
        return std::nullopt;
    return value->toMap();
}

std::optional<QVariantMap> readJsonObject(const QByteArray& data) {
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return std::nullopt;
    return document.object().toVariantMap();
}

std::optional<QVariantMap> readJsonFile(const std::filesystem::path& file) {
    QFile in(pathText(file));
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    return readJsonObject(in.readAll());
}

void removeQuietly(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

// A quarter turn; `clockwise` as seen on screen. Null when the picture is empty.
QImage quarterTurn(const QImage& image, bool clockwise) {
    if (image.isNull())
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .transformed(QTransform().rotate(clockwise ? 90 : -90));
}

// Straight onto the canvas, in pixels: no intermediate picture of the whole frame.
void drawArtwork(QPainter& painter, const PdfArtwork& artwork, const QRectF& rect, double scale) {
    artwork.draw(painter, QRectF(rect.topLeft() * scale, rect.size() * scale));
}

void drawInputs(QPainter& painter, const QVariantList& inputs, bool onTop,
                const std::filesystem::path& resources, const QRectF& frame, double scale) {
    for (const QVariant& entry : inputs) {
        if (!isMap(entry))
            continue;
        const QVariantMap input = entry.toMap();
        const QVariant top = input.value(QStringLiteral("onTop"));
        const bool isOnTop = top.typeId() == QMetaType::Bool && top.toBool();
        if (isOnTop != onTop)
            continue;
        const QVariant image = input.value(QStringLiteral("image"));
        if (!isText(image))
            continue;
        const QVariant offsets = input.value(QStringLiteral("offsets"));
        if (!isMap(offsets))
            continue;
        const QVariant normal = offsets.toMap().value(QStringLiteral("normal"));
        if (!isNumberMap(normal))
            continue;
        const std::optional<PdfArtwork> artwork =
            PdfArtwork::load(resources / textPath(image.toString() + ".pdf"));
        if (!artwork)
            continue;
        const QVariantMap offset = normal.toMap();
        const QVariant anchor = input.value(QStringLiteral("anchor"));
        const QRectF rect =
            DeviceScreen::inputRect(isText(anchor) ? anchor.toString() : QString(),
                                    {number(offset, "x"), number(offset, "y")}, artwork->size(), frame);
        drawArtwork(painter, *artwork, rect, scale);
    }
}

std::mutex& deviceTypesLock() {
    static std::mutex lock;
    return lock;
}

// Unset (empty) until a listing finds at least one device type.
std::map<QString, std::filesystem::path>& deviceTypes() {
    static std::map<QString, std::filesystem::path> types;
    return types;
}

} // namespace

std::filesystem::path DeviceScreen::chromeRoot() {
    const QByteArray root = qgetenv("QUORVEX_DEVICEKIT_CHROME");
    if (!root.isEmpty())
        return root.toStdString();
    return "/Library/Developer/DeviceKit/Chrome";
}

std::optional<std::filesystem::path> DeviceScreen::chromeURL(const QString& identifier) {
    const QStringList pieces = identifier.split(u'.', Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return std::nullopt;
    const std::filesystem::path bundle =
        chromeRoot() / textPath(pieces.last() + QStringLiteral(".devicechrome"));
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(bundle, error)))
        return std::nullopt;
    return bundle;
}

std::optional<DeviceScreen> DeviceScreen::parseProfile(const QVariantMap& display,
                                                       const std::optional<QVariantMap>& profile,
                                                       const std::filesystem::path& resources) {
    const QVariant type = display.value(QStringLiteral("displayType"));
    const QVariant name = display.value(QStringLiteral("deviceName"));
    const QVariant width = display.value(QStringLiteral("width"));
    const QVariant height = display.value(QStringLiteral("height"));
    if (!isText(type) || type.toString() != QStringLiteral("integrated") || !isText(name) ||
        !isInteger(width) || !isInteger(height))
        return std::nullopt;
    const auto text = [&](const char* displayKey, const char* profileKey) -> std::optional<QString> {
        const QVariant own = display.value(QString::fromLatin1(displayKey));
        if (isText(own))
            return own.toString();
        if (profile) {
            const QVariant fallback = profile->value(QString::fromLatin1(profileKey));
            if (isText(fallback))
                return fallback.toString();
        }
        return std::nullopt;
    };
    DeviceScreen screen;
    screen.name = name.toString();
    screen.width = width.toInt();
    screen.height = height.toInt();
    const QVariant scale = display.value(QStringLiteral("scale"));
    screen.scale = isNumber(scale) ? scale.toDouble() : 3.0;
    if (const auto chrome = text("chromeIdentifier", "chromeIdentifier"))
        screen.chrome = chromeURL(*chrome);
    if (const auto mask = text("framebufferMaskIdentifier", "framebufferMask"))
        screen.mask = resources / textPath(*mask + QStringLiteral(".pdf"));
    return screen;
}

std::vector<DeviceScreen> DeviceScreen::load(const std::filesystem::path& bundle) {
    const std::filesystem::path resources = bundle / "Contents" / "Resources";
    QVariantList displays;
    if (const auto capabilities = readPropertyListDictionary(resources / "capabilities.plist")) {
        const QVariant inner = capabilities->value(QStringLiteral("capabilities"));
        if (isMap(inner)) {
            const QVariant list = inner.toMap().value(QStringLiteral("displays"));
            if (list.typeId() == QMetaType::QVariantList)
                displays = list.toList();
        }
    }
    const std::optional<QVariantMap> profile = readPropertyListDictionary(resources / "profile.plist");
    std::vector<DeviceScreen> screens;
    for (const QVariant& display : displays)
        if (isMap(display))
            if (auto screen = parseProfile(display.toMap(), profile, resources))
                screens.push_back(std::move(*screen));
    return screens;
}

std::optional<QString> DeviceScreen::deviceTypeIdentifier(const QString& udid) {
    const auto output = runTool(ToolPaths::xcrun(), QStringList{"simctl", "list", "devices", "-j"});
    if (!output)
        return std::nullopt;
    const auto root = readJsonObject(*output);
    if (!root)
        return std::nullopt;
    const QVariant devices = root->value(QStringLiteral("devices"));
    if (!isMap(devices))
        return std::nullopt;
    const QVariantMap runtimes = devices.toMap();
    for (auto runtime = runtimes.cbegin(); runtime != runtimes.cend(); ++runtime) {
        if (runtime->typeId() != QMetaType::QVariantList)
            continue;
        for (const QVariant& device : runtime->toList()) {
            const QVariantMap object = device.toMap();
            const QVariant id = object.value(QStringLiteral("udid"));
            const QVariant type = object.value(QStringLiteral("deviceTypeIdentifier"));
            if (isText(id) && id.toString() == udid && isText(type))
                return type.toString();
        }
    }
    return std::nullopt;
}

std::optional<std::filesystem::path>
DeviceScreen::deviceTypeBundle(const std::optional<QString>& identifier,
                               const std::optional<QString>& modelIdentifier) {
    // Held across the listing, so concurrent first lookups run it once.
    const std::lock_guard lock(deviceTypesLock());
    auto& types = deviceTypes();
    if (types.empty()) {
        std::map<QString, std::filesystem::path> listed;
        const auto output = runTool(ToolPaths::xcrun(), QStringList{"simctl", "list", "devicetypes", "-j"});
        const auto root = output ? readJsonObject(*output) : std::nullopt;
        const QVariantList list = root ? root->value(QStringLiteral("devicetypes")).toList() : QVariantList();
        for (const QVariant& entry : list) {
            const QVariantMap object = entry.toMap();
            const QVariant path = object.value(QStringLiteral("bundlePath"));
            if (!isText(path))
                continue;
            const std::filesystem::path bundle = textPath(path.toString());
            const QVariant id = object.value(QStringLiteral("identifier"));
            if (isText(id))
                listed[id.toString()] = bundle;
            const QVariant model = object.value(QStringLiteral("modelIdentifier"));
            if (isText(model))
                listed.emplace(model.toString(), bundle); // the first type listed for a model wins
        }
        types = std::move(listed);
    }
    if (identifier)
        if (const auto found = types.find(*identifier); found != types.end())
            return found->second;
    if (modelIdentifier)
        if (const auto found = types.find(*modelIdentifier); found != types.end())
            return found->second;
    return std::nullopt;
}

void DeviceScreen::forgetDeviceTypes() {
    const std::lock_guard lock(deviceTypesLock());
    deviceTypes().clear();
}

bool DeviceScreen::isBlank(const QImage& image) {
    if (image.isNull())
        return false;
    // Premultiplied, as the picture would be drawn onto a cleared buffer: a transparent pixel
    // counts as black whatever colour it carries.
    const QImage pixels = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (pixels.isNull())
        return false;
    for (int y = 0; y < pixels.height(); ++y) {
        const uchar* row = pixels.constScanLine(y);
        for (int x = 0; x < pixels.width(); ++x) {
            const uchar* p = row + 4 * x;
            if (p[0] > 3 || p[1] > 3 || p[2] > 3)
                return false;
        }
    }
    return true;
}

std::optional<ScreenCapture> DeviceScreen::capture(const QString& udid,
                                                   const std::filesystem::path& workingFolder) {
    std::vector<DeviceScreen> screens;
    if (const auto type = deviceTypeIdentifier(udid))
        if (const auto bundle = deviceTypeBundle(*type, std::nullopt))
            screens = load(*bundle);
    QStringList displays;
    for (const DeviceScreen& screen : screens)
        displays << screen.name;
    if (displays.isEmpty())
        displays << QStringLiteral("primary");

    std::vector<ScreenCapture> captures;
    for (const QString& display : displays) {
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        const std::filesystem::path file =
            workingFolder / textPath(QStringLiteral(".capture-") + uuid + ".png");
        const bool taken = runTool(ToolPaths::xcrun(), QStringList{"simctl", "io", udid, "screenshot",
                                                                   "--display=" + display, pathText(file)})
                               .has_value();
        QImage image;
        if (taken)
            image.load(pathText(file));
        removeQuietly(file);
        if (image.isNull())
            continue;
        ScreenCapture capture{std::move(image), std::nullopt};
        for (const DeviceScreen& screen : screens)
            if (screen.name == display) {
                capture.screen = screen;
                break;
            }
        captures.push_back(std::move(capture));
    }
    if (captures.empty())
        return std::nullopt;
    const ScreenCapture* best = nullptr;
    for (const ScreenCapture& candidate : captures) {
        if (isBlank(candidate.image))
            continue;
        const qint64 area = qint64(candidate.image.width()) * candidate.image.height();
        if (!best || area > qint64(best->image.width()) * best->image.height())
            best = &candidate;
    }
    return best ? *best : captures.front();
}

DeviceScreen::Geometry DeviceScreen::geometry(QSizeF points, const QVariantMap& sizing,
                                              const QVariantMap& padding) {
    const double left = number(sizing, "leftWidth");
    const double right = number(sizing, "rightWidth");
    const double top = number(sizing, "topHeight");
    const double bottom = number(sizing, "bottomHeight");
    const double pl = number(padding, "left");
    const double pr = number(padding, "right");
    const double pt = number(padding, "top");
    const double pb = number(padding, "bottom");
    Geometry g;
    g.frame = QRectF(pl, pt, points.width() + left + right, points.height() + top + bottom);
    g.screen = QRectF(pl + left, pt + top, points.width(), points.height());
    g.canvas = QSizeF(pl + g.frame.width() + pr, pt + g.frame.height() + pb);
    return g;
}

QRectF DeviceScreen::inputRect(const QString& anchor, QPointF offset, QSizeF size, const QRectF& frame) {
    const double x = offset.x();
    const double y = offset.y();
    QPointF origin;
    if (anchor == QStringLiteral("top"))
        origin = {frame.left() + x, frame.top() - size.height() + y};
    else if (anchor == QStringLiteral("bottom"))
        origin = {frame.left() + x, frame.bottom() - y};
    else if (anchor == QStringLiteral("left"))
        origin = {frame.left() - size.width() + x, frame.top() + y};
    else
        origin = {frame.right() + x, frame.top() + y};
    return {origin, size};
}

QSize DeviceScreen::rasterSize(QSizeF points, double scale) {
    // std::lround rounds halves away from zero: 431.5 pt at 3x is 1295 pixels, not 1294.
    return {int(std::lround(points.width() * scale)), int(std::lround(points.height() * scale))};
}

std::optional<QImage> DeviceScreen::framedBitmap(const QImage& screenshot, const DeviceScreen& screen) {
    if (!screen.chrome || screenshot.isNull() || screen.scale <= 0)
        return std::nullopt;
    const std::filesystem::path resources = *screen.chrome / "Contents" / "Resources";
    const auto chrome = readJsonFile(resources / "chrome.json");
    if (!chrome)
        return std::nullopt;
    const QVariant imagesValue = chrome->value(QStringLiteral("images"));
    if (!isMap(imagesValue))
        return std::nullopt;
    const QVariantMap images = imagesValue.toMap();
    const QVariant sizing = images.value(QStringLiteral("sizing"));
    const QVariant composite = images.value(QStringLiteral("composite"));
    if (!isMap(sizing) || !isText(composite))
        return std::nullopt;
    const std::optional<PdfArtwork> compositeArt =
        PdfArtwork::load(resources / textPath(composite.toString() + QStringLiteral(".pdf")));
    if (!compositeArt)
        return std::nullopt;

    const bool pictureLandscape = screenshot.height() < screenshot.width();
    const bool screenLandscape = screen.height < screen.width;
    const bool turned = pictureLandscape != screenLandscape;
    QImage picture = turned ? quarterTurn(screenshot, true)
                            : screenshot.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        return std::nullopt;

    const double s = screen.scale;
    const QSizeF points(picture.width() / s, picture.height() / s);
    const QVariant padding = chrome->value(QStringLiteral("devicePadding"));
    const Geometry g =
        geometry(points, sizing.toMap(), isNumberMap(padding) ? padding.toMap() : QVariantMap());
    const QVariantList inputs = chrome->value(QStringLiteral("inputs")).toList();

    // The screen is masked on its own layer, so the mask cuts the screenshot and not the frame.
    if (screen.mask)
        if (const auto mask = PdfArtwork::load(*screen.mask)) {
            const QImage maskImage = mask->render(picture.size());
            if (!maskImage.isNull()) {
                QPainter layer(&picture);
                layer.setCompositionMode(QPainter::CompositionMode_DestinationIn);
                layer.drawImage(0, 0, maskImage);
            }
        }

    const QSize pixels = rasterSize(g.canvas, s);
    if (pixels.isEmpty())
        return std::nullopt;
    QImage canvas(pixels, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return std::nullopt;
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.scale(s, s);
        drawInputs(painter, inputs, false, resources, g.frame, s);
        drawArtwork(painter, *compositeArt, g.frame, s);
        // The screen is w x h points at scale s, exactly the picture's pixels: copy them one to
        // one instead of resampling through the scaled transform.
        painter.save();
        painter.resetTransform();
        painter.drawImage(QPointF(g.screen.x() * s, g.screen.y() * s), picture);
        painter.restore();
        drawInputs(painter, inputs, true, resources, g.frame, s);
    }
    if (turned) {
        QImage back = quarterTurn(canvas, false);
        if (!back.isNull())
            return back;
    }
    return canvas;
}

std::optional<QByteArray> DeviceScreen::framedImage(const QImage& screenshot, const DeviceScreen& screen) {
    const std::optional<QImage> framed = framedBitmap(screenshot, screen);
    if (!framed)
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!framed->save(&buffer, "PNG"))
        return std::nullopt;
    return png;
}

} // namespace quorvex
