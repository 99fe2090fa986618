#include "simulator/SimulatorApps.h"

#include "platform/core/Clock.h"
#include "platform/data/GuiThread.h"
#include "platform/data/PropertyList.h"
#include "platform/data/SystemClock.h"
#include "tools/Environment.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QCollator>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPromise>
#include <QTimeZone>
#include <QUrl>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <sys/stat.h>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

constexpr qint64 kMaxInfoPlistBytes = 16 * 1024 * 1024;
constexpr double kIconSize = 16.0;
constexpr double kIconCornerRadius = 3.6;
constexpr qreal kIconPixelRatio = 2.0;

std::optional<QString> stringValue(const QVariantMap& map, const char* key) {
    const auto it = map.constFind(QLatin1StringView(key));
    if (it == map.constEnd() || it->typeId() != QMetaType::QString)
        return std::nullopt;
    return it->toString();
}

std::optional<QVariantMap> mapValue(const QVariantMap& map, const char* key) {
    const auto it = map.constFind(QLatin1StringView(key));
    if (it == map.constEnd() || it->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return it->toMap();
}

QString withoutTrailingSlashes(QString path) {
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

fs::path toPath(const QString& text) {
    return fs::path(text.toStdString());
}

// simctl gives containers as percent-encoded file URLs, usually ending in "/".
std::optional<fs::path> pathFromFileURL(const QString& text) {
    const QUrl url = QUrl::fromEncoded(text.toUtf8(), QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    if (const QString host = url.host(); !host.isEmpty() && host != QLatin1StringView("localhost"))
        return std::nullopt;
    const QString local = withoutTrailingSlashes(url.toLocalFile());
    if (local.isEmpty())
        return std::nullopt;
    return toPath(local);
}

// The booted simulators of `simctl list devices booted -j`, UDID -> name; nothing when the
// output is missing or not of the expected shape.
std::optional<std::map<std::string, std::string>> bootedSimulators() {
    const std::optional<QByteArray> output =
        runTool(ToolPaths::xcrun(),
                QStringList{QStringLiteral("simctl"), QStringLiteral("list"), QStringLiteral("devices"),
                            QStringLiteral("booted"), QStringLiteral("-j")});
    if (!output)
        return std::nullopt;
    const nlohmann::json root = nlohmann::json::parse(output->cbegin(), output->cend(), nullptr, false);
    if (!root.is_object())
        return std::nullopt;
    const auto runtimes = root.find("devices");
    if (runtimes == root.end() || !runtimes->is_object())
        return std::nullopt;
    for (const nlohmann::json& entries : *runtimes) {
        if (!entries.is_array())
            return std::nullopt;
        for (const nlohmann::json& entry : entries)
            if (!entry.is_object())
                return std::nullopt;
    }
    std::map<std::string, std::string> names;
    for (const nlohmann::json& entries : *runtimes) {
        for (const nlohmann::json& entry : entries) {
            const auto udid = entry.find("udid");
            if (udid == entry.end() || !udid->is_string())
                continue;
            const auto name = entry.find("name");
            names[udid->get<std::string>()] = name != entry.end() && name->is_string()
                                                  ? name->get<std::string>()
                                                  : udid->get<std::string>();
        }
    }
    return names;
}

// The apps of `simctl listapps <udid>`, bundle ID -> info; nothing unless every value is a
// dictionary.
std::optional<QVariantMap> listedApps(const QString& udid) {
    const std::optional<QByteArray> output =
        runTool(ToolPaths::xcrun(), QStringList{QStringLiteral("simctl"), QStringLiteral("listapps"), udid});
    if (!output)
        return std::nullopt;
    const std::optional<QVariant> root = propertyListToVariant(*output);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    QVariantMap apps = root->toMap();
    for (const QVariant& info : std::as_const(apps))
        if (info.typeId() != QMetaType::QVariantMap)
            return std::nullopt;
    return apps;
}

std::optional<QString> versionText(const QVariantMap& info) {
    QStringList parts;
    if (const auto shortVersion = stringValue(info, "CFBundleShortVersionString"))
        parts.append(*shortVersion);
    if (const auto build = stringValue(info, "CFBundleVersion"))
        parts.append(QStringLiteral("(%1)").arg(*build));
    const QString text = parts.join(u' ');
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

SimulatorApps& SimulatorApps::shared() {
    static SimulatorApps* instance = [] {
        auto* apps = new SimulatorApps(systemClock());
        apps->startRefreshLoop();
        return apps;
    }();
    return *instance;
}

SimulatorApps::SimulatorApps(Clock& clock, Scanner scanner, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_scanner(std::move(scanner)) {}

SimulatorApps::~SimulatorApps() {
    // Results still on their way are dropped with the queued calls that carry them; their
    // futures end cancelled.
    m_nextRound.reset();
    m_pool.waitForDone();
}

void SimulatorApps::startRefreshLoop() {
    if (m_loopRunning)
        return;
    m_loopRunning = true;
    startScan(true);
}

QFuture<void> SimulatorApps::refresh() {
    return startScan(false);
}

QFuture<void> SimulatorApps::startScan(bool loopRound) {
    const quint64 generation = ++m_started;
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    QFuture<void> future = promise->future();
    m_pool.start([this, generation, loopRound, promise] {
        ScanResult result = m_scanner();
        QMetaObject::invokeMethod(
            this,
            [this, generation, loopRound, promise, result = std::move(result)]() mutable {
                publish(generation, std::move(result));
                promise->finish();
                if (loopRound)
                    m_nextRound = m_clock.schedule(kRefreshInterval, [this] { startScan(true); });
            },
            Qt::QueuedConnection);
    });
    return future;
}

void SimulatorApps::publish(quint64 generation, ScanResult result) {
    Q_ASSERT(isGuiThread());
    if (generation < m_published)
        return; // a scan started later has already published
    m_published = generation;
    if (result.apps != m_apps) {
        m_apps = std::move(result.apps);
        emit appsChanged();
    }
    if (result.devices != m_devices) {
        m_devices = std::move(result.devices);
        emit devicesChanged();
    }
}

SimulatorApps::ScanResult SimulatorApps::scan() {
    ScanResult result;
    const auto names = bootedSimulators();
    if (!names)
        return result;

    std::vector<std::pair<std::string, std::string>> byName(names->begin(), names->end()); // udid, name
    // UTF-8 bytes order like code points; the UDID only makes equal names come out the same way
    // on every scan.
    std::sort(byName.begin(), byName.end(), [](const auto& a, const auto& b) {
        return std::tie(a.second, a.first) < std::tie(b.second, b.first);
    });

    std::map<QString, SimulatorApp> records;
    for (const auto& [udidBytes, nameBytes] : byName) {
        const QString udid = QString::fromStdString(udidBytes);
        const QString deviceName = QString::fromStdString(nameBytes);
        result.devices.push_back({udid, deviceName, bootedAt(udid)});

        const std::optional<QVariantMap> listed = listedApps(udid);
        if (!listed)
            continue;
        for (auto entry = listed->cbegin(); entry != listed->cend(); ++entry) {
            const QVariantMap info = entry->toMap();
            if (stringValue(info, "ApplicationType") != QStringLiteral("User"))
                continue;
            // A relative path would be looked up (Info.plist, icons) in the program's working
            // folder, so it counts as no path.
            const std::optional<QString> path = stringValue(info, "Path");
            if (!path || !path->startsWith(u'/'))
                continue;
            const QString bundlePath = withoutTrailingSlashes(*path);

            auto [it, isNew] = records.try_emplace(entry.key());
            SimulatorApp& app = it->second;
            if (isNew) {
                app.id = entry.key();
                app.name = stringValue(info, "CFBundleDisplayName")
                               .value_or(stringValue(info, "CFBundleName").value_or(entry.key()));
                app.bundleFolder = bundlePath.section(u'/', -1);
                app.iconPath = iconPath(toPath(bundlePath));
            }
            app.devices.append(udid);

            SimulatorInstall install{udid, deviceName, toPath(bundlePath), std::nullopt, {}};
            if (const auto container = stringValue(info, "DataContainer"))
                install.dataContainer = pathFromFileURL(*container);
            if (const auto groups = mapValue(info, "GroupContainers")) {
                // Anything but a dictionary of strings counts as no groups at all.
                const bool allStrings =
                    std::all_of(groups->cbegin(), groups->cend(),
                                [](const QVariant& value) { return value.typeId() == QMetaType::QString; });
                for (auto group = groups->cbegin(); allStrings && group != groups->cend(); ++group)
                    if (const auto container = pathFromFileURL(group->toString()))
                        install.groupContainers.emplace(group.key(), *container);
            }
            app.installs.push_back(std::move(install));

            if (!app.version)
                app.version = versionText(info);
        }
    }

    for (auto& [id, app] : records)
        result.apps.push_back(std::move(app));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(
        result.apps.begin(), result.apps.end(),
        [&](const SimulatorApp& a, const SimulatorApp& b) { return collator.compare(a.name, b.name) < 0; });
    // The devices are already in name order.
    return result;
}

std::optional<fs::path> SimulatorApps::iconPath(const fs::path& bundle) {
    QStringList iconFiles;
    QFile file(QString::fromStdString((bundle / "Info.plist").string()));
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxInfoPlistBytes) {
        const std::optional<QVariant> root = propertyListToVariant(file.readAll());
        const QVariantMap info = root ? root->toMap() : QVariantMap();
        const auto icons = mapValue(info, "CFBundleIcons");
        const auto primary = icons ? mapValue(*icons, "CFBundlePrimaryIcon") : std::nullopt;
        const QVariant files = primary ? primary->value(QStringLiteral("CFBundleIconFiles")) : QVariant();
        if (files.typeId() == QMetaType::QVariantList) {
            const QVariantList list = files.toList();
            if (std::all_of(list.cbegin(), list.cend(),
                            [](const QVariant& name) { return name.typeId() == QMetaType::QString; }))
                for (const QVariant& name : list)
                    iconFiles.append(name.toString());
        }
    }

    std::error_code error;
    for (auto name = iconFiles.crbegin(); name != iconFiles.crend(); ++name) {
        for (const char* suffix : {"@3x.png", "@2x.png", ".png"}) {
            const fs::path candidate = bundle / (name->toStdString() + suffix);
            if (fs::exists(candidate, error))
                return candidate;
        }
    }

    std::optional<fs::path> largest;
    std::uintmax_t largestSize = 0;
    for (fs::directory_iterator it(bundle, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with("AppIcon") || !name.ends_with(".png"))
            continue;
        std::error_code sizeError;
        std::uintmax_t size = it->file_size(sizeError);
        if (sizeError)
            size = 0;
        if (!largest || size > largestSize) {
            largest = it->path();
            largestSize = size;
        }
    }
    return largest;
}

std::optional<QDateTime> SimulatorApps::bootedAt(const QString& udid) {
    const fs::path file = homeDirectoryURL() / "Library/Developer/CoreSimulator/Devices" /
                          udid.toStdString() / "data/var/run/syslog.pid";
    struct stat attributes {};
    if (::stat(file.c_str(), &attributes) != 0)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(
        qint64(attributes.st_mtim.tv_sec) * 1000 + attributes.st_mtim.tv_nsec / 1'000'000, QTimeZone::utc());
}

QPixmap SimulatorApps::icon(const SimulatorApp& app) {
    const QString key =
        app.id + u'|' + (app.iconPath ? QString::fromStdString(app.iconPath->string()) : QString());
    if (const auto cached = m_iconCache.constFind(key); cached != m_iconCache.constEnd())
        return *cached;

    QPixmap result;
    QImage image;
    if (app.iconPath && image.load(QString::fromStdString(app.iconPath->string()))) {
        const QRectF rect(0, 0, kIconSize, kIconSize);
        result = QPixmap((rect.size() * kIconPixelRatio).toSize());
        result.fill(Qt::transparent);
        result.setDevicePixelRatio(kIconPixelRatio);
        QPainter painter(&result);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        QPainterPath clip;
        clip.addRoundedRect(rect, kIconCornerRadius, kIconCornerRadius);
        painter.setClipPath(clip);
        painter.drawImage(rect, image);
    } else {
        result =
            Symbols::pixmap(QStringLiteral("app.dashed"), QSize(16, 16), Palette::gray(), kIconPixelRatio);
    }
    m_iconCache.insert(key, result);
    return result;
}

} // namespace quorvex
