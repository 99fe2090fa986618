#include "storage/engine/LogScanner.h"

#include "storage/engine/SimulatorScanners.h"
#include "storage/engine/StorageFormats.h"
#include "storage/engine/VisibleEntries.h"
#include "storage/files/AllocatedSize.h"
#include "tools/Environment.h"
#include "tools/ToolPaths.h"

#include <QFile>

#include <nlohmann/json.hpp>

#include <sys/stat.h>

namespace quorvex {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr qint64 kOldLog = 30 * 24 * 3600;

CleanupItem logItem(const fs::path& path, const TreeSummary& summary, QString title, QString subtitle,
                    const QDateTime& cutOff) {
    CleanupItem item;
    item.id = QStringLiteral("log:") + StorageFormats::pathKey(path);
    item.title = std::move(title);
    item.subtitle = std::move(subtitle);
    item.size = summary.bytes;
    if (summary.newestModification) {
        item.date = QDateTime::fromMSecsSinceEpoch(*summary.newestModification / 1'000'000, Qt::UTC);
    } else {
        // A link, a FIFO or a socket has no content to date it by: its own time does.
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0)
            item.date = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec, Qt::UTC);
    }
    item.removal = CleanupRemoval::ofFile(path);
    if (item.date && *item.date < cutOff)
        item.tags = {CleanupItem::Tag::old, CleanupItem::Tag::recommended};
    return item;
}

} // namespace

std::optional<std::map<QString, QString>> LogScanner::simulatorNamesByUDID() {
    const auto output =
        SimulatorScanners::runDeveloperTool({"simctl", "list", "devices", "-j"}, ToolPaths::xcrun());
    if (!output)
        return std::nullopt;
    const json report =
        json::parse(output->constData(), output->constData() + output->size(), nullptr, false);
    if (report.is_discarded() || !report.is_object() || !report.contains("devices") ||
        !report["devices"].is_object())
        return std::nullopt;
    std::map<QString, QString> names;
    for (const auto& [runtime, list] : report["devices"].items()) {
        if (!list.is_array())
            return std::nullopt;
        for (const json& record : list) {
            if (!record.is_object())
                return std::nullopt;
            if (!record.contains("udid") || !record["udid"].is_string())
                continue;
            const QString udid = QString::fromStdString(record["udid"].get<std::string>());
            names[udid] = record.contains("name") && record["name"].is_string()
                              ? QString::fromStdString(record["name"].get<std::string>())
                              : udid;
        }
    }
    return names;
}

bool LogScanner::isDeveloperToolReport(const QString& name) {
    static const char* const prefixes[] = {"Xcode",       "Simulator", "xcodebuild",     "SourceKitService",
                                           "IBAgent",     "ibtoold",   "swift-frontend", "lldb-rpc-server",
                                           "Instruments", "DeviceHub", "com.apple.dt."};
    for (const char* prefix : prefixes) {
        const QLatin1String text(prefix);
        if (!name.startsWith(text))
            continue;
        if (text.endsWith(QLatin1Char('.')))
            return true;
        if (name.size() > text.size() && (name[text.size()] == '-' || name[text.size()] == '_'))
            return true;
    }
    return false;
}

std::vector<CleanupItem> LogScanner::scanLogs(const std::function<QDateTime()>& now) {
    const QDateTime cutOff = now().addSecs(-kOldLog);
    const auto names = simulatorNamesByUDID();
    const fs::path library = homeDirectoryURL() / "Library";
    std::vector<CleanupItem> items;

    for (const fs::path& entry : visibleEntries(library / "Logs/CoreSimulator")) {
        const QString name = fileNameText(entry);
        const bool named = names && names->count(name);
        CleanupItem item =
            logItem(entry, summarizeTree(entry),
                    named ? names->at(name) + QStringLiteral(" logs") : QStringLiteral("Simulator logs"),
                    name, cutOff);
        // The listing uses simctl's spelling of the UDID; a folder named in other letter case is
        // the same device, so the lookup above is repeated by UUID value before calling it orphaned.
        if (names && StorageFormats::isUuid(name) && !named) {
            const auto value = StorageFormats::parseUuid(name);
            bool known = false;
            for (const auto& [udid, deviceName] : *names)
                if (StorageFormats::parseUuid(udid) == value) {
                    known = true;
                    item.title = deviceName + QStringLiteral(" logs");
                }
            if (!known) {
                item.title = QStringLiteral("Logs of a deleted simulator");
                item.tags.insert(CleanupItem::Tag::orphaned);
                item.tags.insert(CleanupItem::Tag::recommended);
            }
        }
        items.push_back(std::move(item));
    }
    for (const fs::path& entry : visibleEntries(library / "Logs/Xcode"))
        items.push_back(
            logItem(entry, summarizeTree(entry), fileNameText(entry), QStringLiteral("Xcode log"), cutOff));
    for (const fs::path& entry : visibleEntries(library / "Logs/DiagnosticReports"))
        if (isDeveloperToolReport(fileNameText(entry)))
            items.push_back(logItem(entry, summarizeTree(entry), fileNameText(entry),
                                    QStringLiteral("Crash report"), cutOff));
    const fs::path deviceLogs = library / "Developer/Xcode/iOS Device Logs";
    const TreeSummary deviceSummary = summarizeTree(deviceLogs);
    if (deviceSummary.bytes >= 1)
        items.push_back(logItem(deviceLogs, deviceSummary, QStringLiteral("Device logs"),
                                QStringLiteral("Crash and console logs copied from devices"), cutOff));
    return items;
}

} // namespace quorvex
