#include "storage/engine/XcodeDataScanners.h"

#include "storage/engine/RunningApplications.h"
#include "storage/engine/SimulatorScanners.h"
#include "storage/engine/StorageFormats.h"
#include "storage/engine/VisibleEntries.h"
#include "storage/files/AllocatedSize.h"
#include "tools/Environment.h"
#include "tools/FileGuards.h"
#include "tools/PathText.h"
#include "tools/ToolPaths.h"

#include <QFile>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <map>
#include <sys/stat.h>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

constexpr qint64 kOldBuild = 30 * 24 * 3600;
constexpr qint64 kOldArchive = 182 * 24 * 3600;

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
        const QString name = fileNameText(entry);
        const QVariantMap info = propertyListAt(entry / "info.plist");
        CleanupItem item;
        item.id = QStringLiteral("dd:") + StorageFormats::pathKey(entry.filename());
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
            const QString name = fileNameText(entry);
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
            item.id = QStringLiteral("ds:") + StorageFormats::pathKey(entry);
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
            const QString name = fileNameText(app);
            if (app.extension() != ".app" || !name.startsWith(QLatin1String("Xcode")) ||
                stringIn(propertyListAt(app / "Contents/Info.plist"), "CFBundleIdentifier", {}) !=
                    QLatin1String("com.apple.dt.Xcode"))
                continue;
            const fs::path resolved = resolvedPath(app);
            const bool samePlace =
                resolved == resolvedPath(standardizedPath(app).parent_path()) / app.filename();
            const QVariantMap version = propertyListAt(app / "Contents/version.plist");
            CleanupItem item;
            item.id = QStringLiteral("xc:") + StorageFormats::pathKey(app);
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
                item.protectedReason = QStringLiteral("Shortcut to ") + fileNameText(resolved);
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

bool XcodeDataScanners::isSuccessfulUpload(const QVariantMap& record) {
    const QVariant destination = record.value(QStringLiteral("destination"));
    const QVariant event = record.value(QStringLiteral("uploadEvent"));
    return destination.typeId() == QMetaType::QString && destination.toString() == QLatin1String("upload") &&
           event.typeId() == QMetaType::QVariantMap &&
           stringIn(event.toMap(), "state", {}) == QLatin1String("success");
}

namespace {

std::optional<QString> archiveAppIconPath(const fs::path& archive) {
    fs::path app;
    for (const fs::path& entry : visibleEntries(archive / "Products/Applications"))
        if (entry.extension() == ".app") {
            app = entry;
            break;
        }
    if (app.empty())
        return std::nullopt;
    std::optional<fs::path> best;
    std::int64_t bestSize = -1;
    for (const fs::path& entry : visibleEntries(app)) {
        if (!fileNameText(entry).startsWith(QLatin1String("AppIcon")) || entry.extension() != ".png")
            continue;
        const std::int64_t size = allocatedSize(entry);
        if (size > bestSize) {
            best = entry;
            bestSize = size;
        }
    }
    return best ? std::optional(pathText(*best)) : std::nullopt;
}

} // namespace

std::vector<CleanupItem> XcodeDataScanners::scanArchives(const std::function<QDateTime()>& now) {
    const QDateTime cutOff = now().addSecs(-kOldArchive);
    const fs::path folder = homeDirectoryURL() / "Library/Developer/Xcode/Archives";
    std::vector<fs::path> candidates;
    const std::vector<fs::path> top = visibleEntries(folder);
    for (const fs::path& entry : top)
        for (const fs::path& inner : visibleEntries(entry))
            candidates.push_back(inner);
    candidates.insert(candidates.end(), top.begin(), top.end());

    std::vector<CleanupItem> items;
    for (const fs::path& archive : candidates) {
        if (archive.extension() != ".xcarchive")
            continue;
        const QVariantMap info = propertyListAt(archive / "Info.plist");
        const QVariant propertiesValue = info.value(QStringLiteral("ApplicationProperties"));
        const bool hasProperties = propertiesValue.typeId() == QMetaType::QVariantMap;
        const QVariantMap properties = propertiesValue.toMap();
        const QString name = stringIn(info, "Name", QFile::decodeName(archive.stem().c_str()));
        QStringList version;
        if (properties.value(QStringLiteral("CFBundleShortVersionString")).typeId() == QMetaType::QString)
            version << properties.value(QStringLiteral("CFBundleShortVersionString")).toString();
        if (properties.value(QStringLiteral("CFBundleVersion")).typeId() == QMetaType::QString)
            version << QLatin1Char('(') + properties.value(QStringLiteral("CFBundleVersion")).toString() +
                           QLatin1Char(')');
        CleanupItem item;
        item.id = QStringLiteral("ar:") + StorageFormats::pathKey(archive);
        item.title = version.isEmpty() ? name : name + QLatin1Char(' ') + version.join(QLatin1Char(' '));
        const QVariant identifier = properties.value(QStringLiteral("CFBundleIdentifier"));
        item.subtitle =
            identifier.typeId() == QMetaType::QString ? identifier.toString() : QStringLiteral("Archive");
        if (hasProperties && identifier.typeId() == QMetaType::QString)
            item.bundleID = identifier.toString();
        const QVariant created = info.value(QStringLiteral("CreationDate"));
        item.date = created.typeId() == QMetaType::QDateTime ? std::optional(created.toDateTime())
                                                             : modificationDate(archive);
        const QVariantList icons = properties.value(QStringLiteral("IconPaths")).toList();
        if (hasProperties && !icons.isEmpty() && icons.back().typeId() == QMetaType::QString)
            item.iconPath = pathText(archive / "Products") + QLatin1Char('/') + icons.back().toString();
        else
            item.iconPath = archiveAppIconPath(archive);
        item.size = allocatedSize(archive);
        item.removal = CleanupRemoval::ofFile(archive);
        // A list holding anything but records is no list of distributions at all.
        const QVariantList distributions = info.value(QStringLiteral("Distributions")).toList();
        const bool allRecords =
            std::all_of(distributions.begin(), distributions.end(),
                        [](const QVariant& record) { return record.typeId() == QMetaType::QVariantMap; });
        if (allRecords && std::any_of(distributions.begin(), distributions.end(), [](const QVariant& record) {
                return isSuccessfulUpload(record.toMap());
            }))
            item.tags.insert(CleanupItem::Tag::uploaded);
        if (item.date && *item.date < cutOff)
            item.tags.insert(CleanupItem::Tag::old);
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<CleanupItem> XcodeDataScanners::scanDocumentation() {
    const fs::path library = homeDirectoryURL() / "Library";
    const std::vector<fs::path> downloads = visibleEntries(library / "Developer/Xcode/DocumentationCache");
    const auto digitValue = [](const QString& name) -> qint64 {
        QString digits;
        for (const QChar c : name)
            if (c.isNumber())
                digits += c;
        bool ok = false;
        const qint64 value = digits.toLongLong(&ok, 10);
        return ok ? value : 0;
    };
    // By path, not by shown name: two names may differ only in bytes that are not UTF-8.
    std::optional<fs::path> newest;
    qint64 newestValue = 0;
    for (const fs::path& entry : downloads) {
        const qint64 value = digitValue(fileNameText(entry));
        if (!newest || value > newestValue) {
            newest = entry;
            newestValue = value;
        }
    }
    std::vector<CleanupItem> items;
    for (const fs::path& entry : downloads) {
        CleanupItem item;
        item.id = QStringLiteral("doc:") + StorageFormats::pathKey(entry);
        item.title = QStringLiteral("Documentation ") + fileNameText(entry);
        const bool current = newest && entry == *newest;
        item.subtitle = current ? QStringLiteral("Current documentation download")
                                : QStringLiteral("From an older Xcode");
        item.date = modificationDate(entry);
        item.size = allocatedSize(entry);
        item.removal = CleanupRemoval::ofFile(entry);
        if (!current)
            item.tags = {CleanupItem::Tag::old, CleanupItem::Tag::recommended};
        items.push_back(std::move(item));
    }
    for (const fs::path& entry : visibleEntries(library / "Developer/Shared/Documentation/DocSets")) {
        CleanupItem item;
        item.id = QStringLiteral("docset:") + StorageFormats::pathKey(entry);
        item.title = QFile::decodeName(entry.stem().c_str());
        item.subtitle = QStringLiteral("Legacy docset");
        item.date = modificationDate(entry);
        item.size = allocatedSize(entry);
        item.removal = CleanupRemoval::ofFile(entry);
        item.tags = {CleanupItem::Tag::old, CleanupItem::Tag::recommended};
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace quorvex
