#pragma once

#include "simulator/SimulatorApp.h"

#include <QString>

#include <filesystem>
#include <map>
#include <optional>
#include <vector>

namespace quorvex {

class Workspace;

/// One folder (or file) in which an installed app keeps its data, as a row of the status menu
/// and the side panel: the data container, its standard subfolders, the preferences file and
/// the app-group containers.
struct AppDataLocation {
    QString title;
    QString symbol;                           // system symbol name, drawn through Symbols
    std::optional<std::filesystem::path> url; // absent while the app has no data container
    bool indented = false;                    // drawn one level in, under the container row

    bool operator==(const AppDataLocation&) const = default;

    /// The seven fixed rows (container, Application Support, Caches, Documents, Library, Temp,
    /// User Defaults), then one row per app group in code-point order of the identifiers. Rows
    /// are listed whether or not their folder exists yet. Pure; any thread.
    static std::vector<AppDataLocation> locations(const std::optional<std::filesystem::path>& container,
                                                  const QString& bundleID,
                                                  const std::map<QString, std::filesystem::path>& groups);
    static std::vector<AppDataLocation> locations(const SimulatorInstall& install, const QString& bundleID);

    /// Opens the location when it exists (following links): an ".app" bundle is shown in the file
    /// manager rather than launched, anything else goes to its default application. A missing
    /// location does nothing; nothing is reported.
    void open(Workspace& workspace) const;
    /// The same on the desktop's workspace.
    void open() const;
};

} // namespace quorvex
