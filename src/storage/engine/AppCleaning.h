#pragma once

#include <QDateTime>
#include <QSettings>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace quorvex {

/// The engine of the per-app cleaner behind the status menu: what a clean of one kind of Xcode
/// data covers (for one app's project or for the whole account), how it is measured and how it is
/// deleted. The flows around it (confirmation, progress panel, quitting Xcode) call these. Blocking
/// steps run on a worker thread; every deletion goes through the guarded delete.
class AppCleaning final {
public:
    enum class Target { derivedData, packages, documentation, oldLogs, everything };
    /// The app a clean is for: its bundle identifier and the name of its ".app" folder, and the
    /// user defaults that remember its project folders (none: the program's own, GUI thread).
    struct App {
        QString bundleID;
        QString bundleFolder;
        QSettings* defaults = nullptr;
    };
    struct Entry {
        std::filesystem::path path;
        std::int64_t size = 0;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    /// What a clean would delete before the deletion filter. Blocks (listings, property lists, the
    /// logs scan). With an app, only its project's build data: documentation and logs belong to no
    /// project.
    static std::vector<std::filesystem::path> candidates(Target target, const std::optional<App>& app,
                                                         const std::function<QDateTime()>& now);
    /// The deletion filter: the locations that exist inside ~/Library, in order.
    static std::vector<std::filesystem::path>
    insideLibrary(const std::vector<std::filesystem::path>& locations);
    /// Whether `path` is a folder that Xcode or SwiftPM keeps whole (DerivedData, a package cache,
    /// a project's SourcePackages, the documentation), which users often move to another disk and
    /// replace with a link.
    static bool isCleanupFolder(const std::filesystem::path& path);
    /// Each root that is a real folder is replaced by its entries, and each entry that is a real
    /// folder by its own. A symbolic link stays an item of its own and is never expanded, so what
    /// it points to is neither measured nor deleted, with one exception: a link in place of a
    /// cleanup folder stands for the folder it leads to and is expanded through (its entries are
    /// measured and later guarded one by one), and leads to nothing when it leads to no folder.
    /// Each item with its allocated size.
    static std::vector<Entry> measureEntries(const std::vector<std::filesystem::path>& roots);
    /// Deletes the entries, then the roots, with the guarded delete; reports progress (done,
    /// total) now and then and at the end. A link in place of a cleanup folder is the user's own
    /// redirect and is never removed. Throws the first FileError; a vanished item counts as done.
    static void deleteEntries(const std::vector<Entry>& entries,
                              const std::vector<std::filesystem::path>& roots, std::int64_t total,
                              const std::function<void(std::int64_t, std::int64_t)>& progress);
};

} // namespace quorvex
