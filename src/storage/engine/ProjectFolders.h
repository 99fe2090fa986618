#pragma once

#include <QSettings>
#include <QString>

#include <filesystem>
#include <vector>

namespace quorvex {

/// The DerivedData folders of one app's project: those whose build products hold the app, plus
/// those remembered under "knownProjectFolders" in the user defaults, so a folder is still found
/// after its products are gone. A remembered name counts only when it is one plain component
/// naming a real folder (not a link) directly inside DerivedData: a stored "..", "a/b" or link
/// never leads out of it. Any thread, with user defaults of that thread: the program's own
/// (sharedDefaults) on the GUI thread, a QSettings of its own on the same file elsewhere (Qt keeps
/// such objects of one process in step).
class ProjectFolders final {
public:
    static inline const QString kKey = QStringLiteral("knownProjectFolders");

    /// Sorted by name; the store is rewritten when the set of names changed. Blocks on the
    /// DerivedData listing and the products' property lists.
    static std::vector<std::filesystem::path> find(const QString& bundleID, const QString& bundleFolder,
                                                   QSettings& defaults);
};

} // namespace quorvex
