#include "storage/engine/ProjectFolders.h"

#include "storage/engine/VisibleEntries.h"
#include "tools/Environment.h"
#include "tools/PathText.h"

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QVariantMap>

#include <mutex>
#include <set>
#include <sys/stat.h>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

bool buildsApp(const fs::path& entry, const QString& bundleID, const QString& bundleFolder) {
    std::error_code error;
    fs::directory_iterator it(entry / "Build/Products", error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const QVariant identifier = propertyListAt(it->path() / textPath(bundleFolder) / "Info.plist")
                                        .value(QStringLiteral("CFBundleIdentifier"));
        if (identifier.typeId() == QMetaType::QString && identifier.toString() == bundleID)
            return true;
    }
    return false;
}

bool isPlainFolderName(const QString& name, const fs::path& derivedData) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        return false;
    struct stat info {};
    return ::lstat((derivedData / QFile::encodeName(name).toStdString()).c_str(), &info) == 0 &&
           S_ISDIR(info.st_mode);
}

// The stored dictionary, or nothing usable when any value is not a list of strings.
QVariantMap storedNames(const QSettings& defaults) {
    const QVariant stored = defaults.value(ProjectFolders::kKey);
    if (stored.typeId() != QMetaType::QVariantMap)
        return {};
    const QVariantMap map = stored.toMap();
    for (const QVariant& value : map) {
        if (value.typeId() != QMetaType::QVariantList && value.typeId() != QMetaType::QStringList)
            return {};
        for (const QVariant& name : value.toList())
            if (name.typeId() != QMetaType::QString)
                return {};
    }
    return map;
}

} // namespace

std::vector<fs::path> ProjectFolders::find(const QString& bundleID, const QString& bundleFolder,
                                           QSettings& defaults) {
    const fs::path derivedData = homeDirectoryURL() / "Library/Developer/Xcode/DerivedData";
    std::set<QString> names;
    std::error_code error;
    fs::directory_iterator it(derivedData, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error))
        if (buildsApp(it->path(), bundleID, bundleFolder))
            names.insert(QFile::decodeName(it->path().filename().c_str()));
    // One dictionary holds every app's names: lookups for two apps on two threads must not
    // each write back what the other has not seen.
    static std::mutex storeMutex;
    const std::lock_guard lock(storeMutex);
    QVariantMap store = storedNames(defaults);
    const QStringList stored = store.value(bundleID).toStringList();
    for (const QString& name : stored)
        names.insert(name);

    std::set<QString> kept;
    for (const QString& name : names)
        if (isPlainFolderName(name, derivedData))
            kept.insert(name);
    if (kept != std::set<QString>(stored.begin(), stored.end())) {
        store.insert(bundleID, QStringList(kept.begin(), kept.end()));
        defaults.setValue(kKey, store);
    }
    std::vector<fs::path> folders;
    for (const QString& name : kept)
        folders.push_back(derivedData / QFile::encodeName(name).toStdString());
    return folders;
}

} // namespace quorvex
