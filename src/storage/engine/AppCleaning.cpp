#include "storage/engine/AppCleaning.h"

#include "storage/engine/CleanupItem.h"
#include "storage/engine/LogScanner.h"
#include "storage/engine/ProjectFolders.h"
#include "storage/files/AllocatedSize.h"
#include "storage/files/GuardedDelete.h"
#include "tools/Environment.h"
#include "tools/FileGuards.h"

#include <algorithm>
#include <sys/stat.h>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> entriesOf(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    return entries;
}

// A folder itself, not a link to one.
bool isRealFolder(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isLink(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool isFolder(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

fs::path derivedDataFolder() {
    return homeDirectoryURL() / "Library/Developer/Xcode/DerivedData";
}

std::vector<fs::path> packageCacheFolders() {
    const fs::path library = homeDirectoryURL() / "Library";
    return {library / "Caches/org.swift.swiftpm", library / "Developer/Xcode/SourcePackages"};
}

std::vector<fs::path> documentationFolders() {
    const fs::path library = homeDirectoryURL() / "Library";
    return {library / "Developer/Xcode/DocumentationCache", library / "Developer/Shared/Documentation"};
}

// A link the user put in place of a cleanup folder: it stays, whatever the clean does through it.
bool isRedirect(const fs::path& root) {
    return isLink(root) && AppCleaning::isCleanupFolder(root);
}

} // namespace

bool AppCleaning::isCleanupFolder(const fs::path& path) {
    const fs::path standard = standardizedPath(path);
    const fs::path derivedData = derivedDataFolder();
    if (standard == derivedData ||
        (standard.filename() == "SourcePackages" && standard.parent_path().parent_path() == derivedData))
        return true;
    for (const std::vector<fs::path>& folders : {packageCacheFolders(), documentationFolders()})
        if (std::find(folders.begin(), folders.end(), standard) != folders.end())
            return true;
    return false;
}

std::vector<fs::path> AppCleaning::candidates(Target target, const std::optional<App>& app,
                                              const std::function<QDateTime()>& now) {
    const fs::path derivedData = derivedDataFolder();
    const std::vector<fs::path> packageCaches = packageCacheFolders();
    std::vector<fs::path> locations;
    if (app && (target == Target::documentation || target == Target::oldLogs))
        return {};
    if (target == Target::documentation)
        return documentationFolders();
    if (target == Target::oldLogs) {
        std::vector<CleanupItem> logs = LogScanner::scanLogs(now);
        sortCleanupItemsBySize(logs);
        for (const CleanupItem& item : logs)
            if ((item.tags.count(CleanupItem::Tag::old) || item.tags.count(CleanupItem::Tag::orphaned)) &&
                item.removal.kind == CleanupRemoval::Kind::file)
                locations.push_back(item.removal.file);
        return locations;
    }
    if (!app) {
        if (target == Target::derivedData)
            return {derivedData};
        if (target == Target::packages)
            return packageCaches;
        return {derivedData, packageCaches[0], packageCaches[1]};
    }
    QSettings& defaults = app->defaults ? *app->defaults : sharedDefaults();
    for (const fs::path& project : ProjectFolders::find(app->bundleID, app->bundleFolder, defaults)) {
        if (target == Target::derivedData) {
            for (const fs::path& entry : entriesOf(project))
                if (entry.filename() != "SourcePackages")
                    locations.push_back(entry);
        } else if (target == Target::packages) {
            locations.push_back(project / "SourcePackages");
        } else {
            locations.push_back(project);
        }
    }
    return locations;
}

std::vector<fs::path> AppCleaning::insideLibrary(const std::vector<fs::path>& locations) {
    std::vector<fs::path> kept;
    for (const fs::path& location : locations)
        if (GuardedDelete::isInsideUserLibrary(location))
            kept.push_back(location);
    return kept;
}

std::vector<AppCleaning::Entry> AppCleaning::measureEntries(const std::vector<fs::path>& roots) {
    std::vector<Entry> entries;
    for (const fs::path& root : roots) {
        if (isRedirect(root) && !isFolder(root))
            continue;
        if (!isRealFolder(root) && !isRedirect(root)) {
            entries.push_back({root, allocatedSize(root)});
            continue;
        }
        for (const fs::path& entry : entriesOf(root)) {
            if (!isRealFolder(entry)) {
                entries.push_back({entry, allocatedSize(entry)});
                continue;
            }
            for (const fs::path& inner : entriesOf(entry))
                entries.push_back({inner, allocatedSize(inner)});
        }
    }
    return entries;
}

void AppCleaning::deleteEntries(const std::vector<Entry>& entries, const std::vector<fs::path>& roots,
                                std::int64_t total,
                                const std::function<void(std::int64_t, std::int64_t)>& progress) {
    // The guarded delete refuses, with FileError::writeNoPermission, whatever lies outside
    // ~/Library by then, and does nothing for what has vanished.
    std::int64_t done = 0;
    std::int64_t posted = 0;
    for (const Entry& entry : entries) {
        GuardedDelete::removeItem(entry.path);
        done = saturatingSum(done, entry.size);
        const std::int64_t delta = done - posted;
        if ((total <= 399 && delta > 0) || (total > 399 && delta >= total / 200)) {
            progress(done, total);
            posted = done;
        }
    }
    for (const fs::path& root : roots) {
        // A redirect keeps its link and its folder; what the entries left of the folder's own
        // entries goes, as a root's would.
        if (isRedirect(root)) {
            for (const fs::path& entry : entriesOf(root))
                GuardedDelete::removeItem(entry);
            continue;
        }
        GuardedDelete::removeItem(root);
    }
    progress(done, total);
}

} // namespace quorvex
