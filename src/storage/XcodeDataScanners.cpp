#include "storage/XcodeDataScanners.h"

#include "platform/PlistSettingsFormat.h"
#include "storage/AllocatedSize.h"
#include "storage/RunningApplications.h"
#include "storage/SimulatorScanners.h"
#include "tools/Environment.h"
#include "tools/FileGuards.h"
#include "tools/ToolPaths.h"

#include <QFile>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <sys/stat.h>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

constexpr qint64 kOldBuild = 30 * 24 * 3600;

std::vector<fs::path> visibleEntries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && name.front() != '.')
            entries.push_back(it->path());
    }
    return entries;
}

QString nameOf(const fs::path& path) {
    return QFile::decodeName(path.filename().c_str());
}

QString pathText(const fs::path& path) {
    return QFile::decodeName(path.c_str());
}

QString withTilde(const QString& path) {
    const QString home = pathText(homeDirectoryURL());
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

std::optional<QDateTime> modificationDate(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec, Qt::UTC);
}

QVariantMap readPlist(const fs::path& path) {
    QFile file(pathText(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool ok = false;
    const QVariant root = plistToVariant(file.readAll(), &ok);
    return ok ? root.toMap() : QVariantMap();
}

QString stringIn(const QVariantMap& map, const char* key, const QString& fallback) {
    const QVariant value = map.value(QLatin1String(key));
    return value.typeId() == QMetaType::QString ? value.toString() : fallback;
}

// The first character a number (not only ASCII digits, as a version may be written).
bool startsWithNumber(const QString& word) {
    return !word.isEmpty() && word.front().isNumber();
}

} // namespace

std::vector<CleanupItem> XcodeDataScanners::scanDerivedData(const std::function<QDateTime()>& now) {
    std::vector<CleanupItem> items;
    const QDateTime cutOff = now().addSecs(-kOldBuild);
    for (const fs::path& entry : visibleEntries(homeDirectoryURL() / "Library/Developer/Xcode/DerivedData")) {
        const QString name = nameOf(entry);
        const QVariantMap info = readPlist(entry / "info.plist");
        CleanupItem item;
        item.id = QStringLiteral("dd:") + name;
        const qsizetype dash = name.lastIndexOf(QLatin1Char('-'));
        item.title = dash < 0 ? name : name.left(dash);
        item.title.remove(QStringLiteral(".noindex"));
        const QVariant workspace = info.value(QStringLiteral("WorkspacePath"));
        item.subtitle = workspace.typeId() == QMetaType::QString ? withTilde(workspace.toString())
                                                                 : QStringLiteral("Shared by all projects");
        const QVariant accessed = info.value(QStringLiteral("LastAccessedDate"));
        item.date = accessed.typeId() == QMetaType::QDateTime ? std::optional(accessed.toDateTime())
                                                              : modificationDate(entry);
        item.size = allocatedSize(entry);
        item.removal = CleanupRemoval::ofFile(entry);
        if (item.date && *item.date < cutOff)
            item.tags = {CleanupItem::Tag::old};
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<CleanupItem> XcodeDataScanners::scanDeviceSupport() {
    struct Record {
        QString platform;
        qint64 major;
        CleanupItem item;
    };
    std::vector<Record> records;
    for (const char* platform : {"iOS", "watchOS", "tvOS", "visionOS", "xrOS", "macOS"}) {
        const QString shown = QLatin1String(platform) == QLatin1String("xrOS")
                                  ? QStringLiteral("visionOS")
                                  : QString::fromLatin1(platform);
        const fs::path folder =
            homeDirectoryURL() / "Library/Developer/Xcode" / (std::string(platform) + " DeviceSupport");
        for (const fs::path& entry : visibleEntries(folder)) {
            const QString name = nameOf(entry);
            const QStringList words = name.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QString version;
            for (const QString& word : words)
                if (startsWithNumber(word) && word.contains(QLatin1Char('.'))) {
                    version = word;
                    break;
                }
            const QString model =
                !words.isEmpty() && words.front().contains(QLatin1Char(',')) ? words.front() : QString();
            const qsizetype paren = name.indexOf(QLatin1Char('('));
            const QString build = paren < 0 ? QString() : name.mid(paren);
            bool ok = false;
            const QStringList pieces = version.split(QLatin1Char('.'), Qt::SkipEmptyParts);
            const qint64 major = pieces.isEmpty() ? 0 : pieces.front().toLongLong(&ok, 10);
            CleanupItem item;
            item.id = QStringLiteral("ds:") + pathText(entry);
            item.title = shown + QLatin1Char(' ') + version + QLatin1Char(' ') + build;
            item.subtitle =
                model.isEmpty() ? QStringLiteral("Debug symbols") : QStringLiteral("From ") + model;
            item.date = modificationDate(entry);
            item.size = allocatedSize(entry);
            item.removal = CleanupRemoval::ofFile(entry);
            records.push_back({shown, ok ? major : 0, std::move(item)});
        }
    }
    std::map<QString, qint64> newest;
    for (const Record& record : records) {
        auto [at, inserted] = newest.try_emplace(record.platform, record.major);
        if (!inserted)
            at->second = std::max(at->second, record.major);
    }
    std::vector<CleanupItem> items;
    for (Record& record : records) {
        if (record.major < newest[record.platform] - 1)
            record.item.tags = {CleanupItem::Tag::old, CleanupItem::Tag::recommended};
        items.push_back(std::move(record.item));
    }
    return items;
}

std::vector<CleanupItem> XcodeDataScanners::scanXcodes(const XcodeSources& sources) {
    QString active;
    if (const auto output =
            SimulatorScanners::runDeveloperTool({"xcode-select", "-p"}, ToolPaths::xcodeSelect())) {
        const QString text = QString::fromUtf8(*output).trimmed();
        if (!text.isEmpty() && !text.contains(QChar::ReplacementCharacter))
            active = pathText(resolvedPath(fs::path(text.toStdString())));
    }
    const RunningApplications& running = sources.running ? *sources.running : RunningApplications::fromProc();
    std::set<std::string> runningPaths;
    for (const std::string& bundle : running.bundlePaths(QStringLiteral("com.apple.dt.Xcode")))
        runningPaths.insert(resolvedPath(bundle).string());

    std::vector<CleanupItem> items;
    const fs::path userApplications =
        sources.userApplications.empty() ? homeDirectoryURL() / "Applications" : sources.userApplications;
    for (const fs::path& folder : {sources.systemApplications, userApplications}) {
        for (const fs::path& app : visibleEntries(folder)) {
            const QString name = nameOf(app);
            if (app.extension() != ".app" || !name.startsWith(QLatin1String("Xcode")) ||
                stringIn(readPlist(app / "Contents/Info.plist"), "CFBundleIdentifier", {}) !=
                    QLatin1String("com.apple.dt.Xcode"))
                continue;
            const fs::path resolved = resolvedPath(app);
            const bool samePlace =
                resolved == resolvedPath(standardizedPath(app).parent_path()) / app.filename();
            const QVariantMap version = readPlist(app / "Contents/version.plist");
            CleanupItem item;
            item.id = QStringLiteral("xc:") + pathText(app);
            item.title = QFile::decodeName(app.stem().c_str());
            item.subtitle = QStringLiteral("Version %1 (%2) · %3")
                                .arg(stringIn(version, "CFBundleShortVersionString", QStringLiteral("?")),
                                     stringIn(version, "ProductBuildVersion", QStringLiteral("?")),
                                     withTilde(pathText(app)));
            item.size = samePlace ? allocatedSize(app) : 0;
            item.date = modificationDate(app);
            item.iconPath = pathText(app);
            item.removal = CleanupRemoval::ofFile(app);
            const QString resolvedText = pathText(resolved);
            if (!samePlace)
                item.protectedReason = QStringLiteral("Shortcut to ") + nameOf(resolved);
            else if (!active.isEmpty() && active.startsWith(resolvedText + QLatin1Char('/')))
                item.protectedReason = QStringLiteral("Active Xcode (xcode-select)");
            else if (runningPaths.count(resolved.string()))
                item.protectedReason = QStringLiteral("Running — quit it first");
            else
                item.tags = {CleanupItem::Tag::old};
            items.push_back(std::move(item));
        }
    }
    const bool activeFound = std::any_of(items.begin(), items.end(), [](const CleanupItem& item) {
        return item.protectedReason == QStringLiteral("Active Xcode (xcode-select)");
    });
    if (!activeFound)
        for (CleanupItem& item : items)
            item.tags.erase(CleanupItem::Tag::old);
    return items;
}

} // namespace quorvex
