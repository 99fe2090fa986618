#include "storage/engine/SimulatorScanners.h"

#include "storage/engine/CleanupCategory.h"
#include "storage/engine/StorageFormats.h"
#include "storage/files/AllocatedSize.h"
#include "tools/Environment.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <QFile>

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <sys/stat.h>

namespace quorvex {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr qint64 kOldDevice = 90 * 24 * 3600;

std::optional<json> parsedReport(const std::vector<std::string>& arguments) {
    const auto output = SimulatorScanners::runDeveloperTool(arguments, ToolPaths::xcrun());
    if (!output)
        return std::nullopt;
    json parsed = json::parse(output->constData(), output->constData() + output->size(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object())
        return std::nullopt;
    return parsed;
}

QString stringOf(const json& record, const char* key) {
    const auto found = record.find(key);
    return found != record.end() && found->is_string() ? QString::fromStdString(found->get<std::string>())
                                                       : QString();
}

bool hasString(const json& record, const char* key) {
    const auto found = record.find(key);
    return found != record.end() && found->is_string();
}

std::int64_t sizeOf(const json& record, const char* key) {
    const auto found = record.find(key);
    if (found == record.end() || !found->is_number())
        return 0;
    if (found->is_number_unsigned())
        return found->get<std::uint64_t>() >
                       static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                   ? std::numeric_limits<std::int64_t>::max()
                   : static_cast<std::int64_t>(found->get<std::uint64_t>());
    if (found->is_number_integer())
        return std::max<std::int64_t>(0, found->get<std::int64_t>());
    return SimulatorScanners::reportedSize(found->get<double>());
}

std::optional<QDateTime> dateOf(const json& record, const char* key) {
    return hasString(record, key) ? StorageFormats::parseIso8601(stringOf(record, key)) : std::nullopt;
}

std::optional<QDateTime> modificationDate(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec, Qt::UTC);
}

std::vector<int> versionOf(const QString& text) {
    std::vector<int> version;
    for (const QString& piece : text.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int value = piece.toInt(&ok, 10);
        if (ok)
            version.push_back(value);
    }
    return version;
}

} // namespace

std::optional<QByteArray> SimulatorScanners::runDeveloperTool(const std::vector<std::string>& arguments,
                                                              const std::string& path) {
    if (arguments.empty())
        return std::nullopt;
    const bool viaXcrun = path.size() >= 5 && path.compare(path.size() - 5, 5, "xcrun") == 0;
    return runTool(path,
                   viaXcrun ? arguments : std::vector<std::string>(arguments.begin() + 1, arguments.end()));
}

std::int64_t SimulatorScanners::reportedSize(double value) {
    if (!(value > 0)) // negative, zero or not a number
        return 0;
    if (value >= 9.2e18)
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(value);
}

std::vector<CleanupItem> SimulatorScanners::scanSimulators(const Now& now) {
    std::vector<CleanupItem> items;
    const auto report = parsedReport({"simctl", "list", "devices", "-j"});
    if (!report || !report->contains("devices") || !(*report)["devices"].is_object())
        return items;
    const json& devices = (*report)["devices"];
    for (const auto& [runtime, list] : devices.items()) {
        if (!list.is_array())
            return {};
        for (const json& record : list)
            if (!record.is_object())
                return {};
    }
    std::set<StorageFormats::Uuid> known;
    for (const auto& [runtime, list] : devices.items()) {
        const QString runtimeName = runtimeDisplayName(QString::fromStdString(runtime));
        for (const json& record : list) {
            if (record.empty() || !hasString(record, "udid"))
                continue;
            const QString udid = stringOf(record, "udid");
            // Only a UUID can be handed to `simctl delete`; anything else ("all", an option) is
            // no device of ours.
            const auto value = StorageFormats::parseUuid(udid);
            if (!value)
                continue;
            known.insert(*value);
            const auto available = record.find("isAvailable");
            const bool isAvailable =
                !(available != record.end() && available->is_boolean() && !available->get<bool>());
            CleanupItem item;
            item.id = QStringLiteral("sim:") + udid;
            item.title = hasString(record, "name") ? stringOf(record, "name") : udid;
            item.subtitle =
                runtimeName + (isAvailable ? QString() : QStringLiteral(" · runtime not installed"));
            item.size = sizeOf(record, "dataPathSize");
            item.date = dateOf(record, "lastUsedAt");
            item.removal = CleanupRemoval::ofSimulator(udid);
            if (!isAvailable)
                item.tags = {CleanupItem::Tag::unavailable, CleanupItem::Tag::recommended};
            if (item.date && *item.date < now().addSecs(-kOldDevice))
                item.tags.insert(CleanupItem::Tag::old);
            if (stringOf(record, "state") == QLatin1String("Booted"))
                item.protectedReason = QStringLiteral("Running — shut it down first");
            items.push_back(std::move(item));
        }
    }

    const fs::path folder = homeDirectoryURL() / "Library/Developer/CoreSimulator/Devices";
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.')
            continue;
        const auto value = StorageFormats::parseUuid(QFile::decodeName(name.c_str()));
        if (!value || known.count(*value))
            continue;
        CleanupItem item;
        item.id = QStringLiteral("orphan:") + StorageFormats::pathKey(name);
        item.title = QStringLiteral("Orphaned simulator folder");
        item.subtitle = QFile::decodeName(name.c_str());
        item.size = allocatedSize(it->path());
        item.date = modificationDate(it->path());
        item.removal = CleanupRemoval::ofFile(it->path());
        item.tags = {CleanupItem::Tag::orphaned, CleanupItem::Tag::recommended};
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<CleanupItem> SimulatorScanners::scanRuntimes() {
    const auto report = parsedReport({"simctl", "runtime", "list", "-j"});
    if (!report)
        return {};
    for (const auto& [key, record] : report->items())
        if (!record.is_object())
            return {};
    struct Candidate {
        QString platform;
        std::vector<int> version;
        CleanupItem item;
    };
    std::vector<Candidate> candidates;
    for (const auto& [key, record] : report->items()) {
        if (record.empty() || !hasString(record, "identifier"))
            continue;
        const QString identifier = stringOf(record, "identifier");
        // As for devices: only a UUID can be handed to `simctl runtime delete`.
        if (!StorageFormats::isUuid(identifier))
            continue;
        Candidate candidate;
        candidate.platform =
            hasString(record, "runtimeIdentifier")
                ? runtimeDisplayName(stringOf(record, "runtimeIdentifier")).section(QLatin1Char(' '), 0, 0)
                : QStringLiteral("Runtime");
        const QString version = stringOf(record, "version");
        candidate.version = versionOf(version);
        CleanupItem& item = candidate.item;
        item.id = QStringLiteral("rt:") + identifier;
        item.title = candidate.platform + QLatin1Char(' ') + version;
        item.subtitle = QStringLiteral("Build ") +
                        (hasString(record, "build") ? stringOf(record, "build") : QStringLiteral("?"));
        item.size = sizeOf(record, "sizeBytes");
        item.date = dateOf(record, "lastUsedAt");
        item.removal = CleanupRemoval::ofRuntime(identifier);
        const auto deletable = record.find("deletable");
        if (deletable != record.end() && deletable->is_boolean() && !deletable->get<bool>())
            item.protectedReason = QStringLiteral("Installed with Xcode, can’t be deleted");
        candidates.push_back(std::move(candidate));
    }
    // Integer sequences compare component by component, a longer one winning over its prefix:
    // exactly what std::vector's ordering does.
    std::map<QString, std::vector<int>> newest;
    for (const Candidate& candidate : candidates) {
        auto [at, inserted] = newest.try_emplace(candidate.platform, candidate.version);
        if (!inserted && at->second < candidate.version)
            at->second = candidate.version;
    }
    std::vector<CleanupItem> items;
    for (Candidate& candidate : candidates) {
        if (candidate.version != newest[candidate.platform])
            candidate.item.tags.insert(CleanupItem::Tag::old);
        items.push_back(std::move(candidate.item));
    }
    return items;
}

} // namespace quorvex
