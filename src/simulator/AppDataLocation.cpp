#include "simulator/AppDataLocation.h"

#include "platform/gui/Workspace.h"
#include "simulator/CodePointOrder.h"

#include <algorithm>

namespace quorvex {
namespace fs = std::filesystem;

std::vector<AppDataLocation> AppDataLocation::locations(const std::optional<fs::path>& container,
                                                        const QString& bundleID,
                                                        const std::map<QString, fs::path>& groups) {
    const auto below = [&](const fs::path& relative) -> std::optional<fs::path> {
        return container ? std::optional<fs::path>(*container / relative) : std::nullopt;
    };
    // A bundle ID is a reverse-DNS name; one with a "/" would point outside Library/Preferences.
    const bool plainID = !bundleID.contains(u'/') && !bundleID.contains(QChar(0));
    const QString folder = QStringLiteral("folder");
    std::vector<AppDataLocation> rows{
        {QStringLiteral("User Data Sandbox"), QStringLiteral("person.crop.square"), container, false},
        {QStringLiteral("Application Support"), folder, below("Library/Application Support"), true},
        {QStringLiteral("Caches"), folder, below("Library/Caches"), true},
        {QStringLiteral("Documents"), folder, below("Documents"), true},
        {QStringLiteral("Library"), folder, below("Library"), true},
        {QStringLiteral("Temp"), folder, below("tmp"), true},
        {QStringLiteral("User Defaults"), QStringLiteral("doc.text"),
         plainID
             ? below(fs::path("Library/Preferences") / (bundleID + QStringLiteral(".plist")).toStdString())
             : std::nullopt,
         true},
    };

    std::vector<std::pair<QString, fs::path>> sorted(groups.begin(), groups.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return codePointLess(a.first, b.first); });
    for (const auto& [identifier, path] : sorted)
        rows.push_back({identifier, QStringLiteral("square.stack.3d.up"), path, false});
    return rows;
}

std::vector<AppDataLocation> AppDataLocation::locations(const SimulatorInstall& install,
                                                        const QString& bundleID) {
    return locations(install.dataContainer, bundleID, install.groupContainers);
}

void AppDataLocation::open(Workspace& workspace) const {
    if (!url)
        return;
    std::error_code error;
    if (!fs::exists(*url, error))
        return;
    if (url->extension() == ".app")
        workspace.revealInFileManager(*url);
    else
        workspace.openPath(*url);
}

void AppDataLocation::open() const {
    open(Workspace::system());
}

} // namespace quorvex
