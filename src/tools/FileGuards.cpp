#include "tools/FileGuards.h"

#include "platform/data/PlistSettingsFormat.h"
#include "tools/Environment.h"
#include "tools/FileGuardsSeam.h"

#include <QFile>
#include <QVariantMap>

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <vector>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

std::string withTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    return path;
}

fs::path orDefault(const fs::path& folder, const fs::path& fallback) {
    return folder.empty() ? fallback : folder;
}

std::string bundleIdentifier(const fs::path& bundle) {
    QFile file(QFile::decodeName((bundle / "Contents" / "Info.plist").c_str()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool ok = false;
    const QVariant root = plistToVariant(file.readAll(), &ok);
    if (!ok)
        return {};
    const QVariant identifier = root.toMap().value(QStringLiteral("CFBundleIdentifier"));
    return identifier.typeId() == QMetaType::QString ? identifier.toString().toStdString() : std::string();
}

} // namespace

detail::ApplicationsFolders& detail::applicationsFolders() {
    static ApplicationsFolders folders;
    return folders;
}

fs::path standardizedPath(const fs::path& path) {
    fs::path absolute = path.is_absolute() ? path : fs::current_path() / path;
    std::string normal = absolute.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return fs::path(normal);
}

fs::path resolvedPath(const fs::path& path) {
    // Climbs to the deepest ancestor that resolves, then puts the missing components back. A loop
    // over one string, not recursion: a path of many thousand missing components must neither use
    // up the stack nor take quadratic time.
    const std::string standard = standardizedPath(path).string();
    size_t end = standard.size();
    while (end > 0) {
        if (end < PATH_MAX) {
            const std::string prefix = standard.substr(0, end);
            if (char* resolved = ::realpath(prefix.c_str(), nullptr)) {
                std::string result(resolved);
                std::free(resolved);
                std::string tail = standard.substr(end);
                if (!result.empty() && result.back() == '/' && !tail.empty() && tail.front() == '/')
                    tail.erase(0, 1);
                else if (!result.empty() && result.back() != '/' && !tail.empty() && tail.front() != '/')
                    result.push_back('/');
                return fs::path(result + tail);
            }
        }
        const size_t slash = standard.rfind('/', end - 1);
        if (slash == std::string::npos)
            break;
        end = slash == 0 && end > 1 ? 1 : slash;
    }
    return fs::path(standard);
}

fs::path parentResolvedPath(const fs::path& path) {
    const fs::path standard = standardizedPath(path);
    const fs::path parent = standard.parent_path();
    if (parent.empty() || parent == standard)
        return standard;
    return resolvedPath(parent) / standard.filename();
}

bool isAllowedCleanupTarget(const fs::path& path) {
    const std::string p = parentResolvedPath(path).string();
    const fs::path& home = homeDirectoryURL();

    if (startsWith(p, withTrailingSlash(resolvedPath(home / "Library").string())))
        return true;

    const std::string repos = parentResolvedPath(home / ".cocoapods/repos").string();
    if (p == repos || startsWith(p, withTrailingSlash(repos)))
        return true;

    const fs::path parent = fs::path(p).parent_path();
    const detail::ApplicationsFolders& folders = detail::applicationsFolders();
    const fs::path systemApps = resolvedPath(orDefault(folders.system, "/Applications"));
    const fs::path userApps = resolvedPath(orDefault(folders.user, home / "Applications"));
    if ((parent == systemApps || parent == userApps) && bundleIdentifier(path) == "com.apple.dt.Xcode")
        return true;
    return false;
}

bool itemExists(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isSymbolicLink(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace quorvex
