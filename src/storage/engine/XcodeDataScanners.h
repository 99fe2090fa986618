#pragma once

#include "storage/engine/CleanupItem.h"

#include <QDateTime>
#include <QVariantMap>

#include <filesystem>
#include <functional>
#include <vector>

namespace quorvex {

class RunningApplications;

/// Scanners of what Xcode leaves in the developer folders: DerivedData, device support files and
/// installed Xcode apps. Read only; never throw; block (worker thread).
class XcodeDataScanners final {
public:
    /// Where Xcode apps are looked for and what tells the active and the running ones.
    struct XcodeSources {
        std::filesystem::path systemApplications{"/Applications"};
        std::filesystem::path userApplications;       // empty: ~/Applications
        const RunningApplications* running = nullptr; // nullptr: the real /proc one
    };

    static std::vector<CleanupItem> scanDerivedData(const std::function<QDateTime()>& now);
    /// All but the two newest major versions of each platform are old.
    static std::vector<CleanupItem> scanDeviceSupport();
    /// Xcode bundles in the Applications folders; the active one (xcode-select -p), running ones and
    /// links to another place are protected; the others are old when the active one is among them.
    static std::vector<CleanupItem> scanXcodes(const XcodeSources& sources);
    static std::vector<CleanupItem> scanXcodes() { return scanXcodes(XcodeSources()); }
    /// Archives one level deep and directly in the Archives folder.
    static std::vector<CleanupItem> scanArchives(const std::function<QDateTime()>& now);
    /// Documentation downloads (all but the newest are old) and legacy docsets.
    static std::vector<CleanupItem> scanDocumentation();
    /// One distribution record of an archive: uploaded to App Store Connect with success.
    static bool isSuccessfulUpload(const QVariantMap& record);
};

} // namespace quorvex
