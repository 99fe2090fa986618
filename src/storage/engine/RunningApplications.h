#pragma once

#include <QString>

#include <set>
#include <string>

namespace quorvex {

/// The applications running on this computer, as the bundles they were started from.
/// Contract: bundlePaths answers the resolved paths of the *.app bundles whose processes run now
/// and whose Info.plist names `bundleID`; nothing when it cannot tell. requestQuit asks every such
/// process to quit normally (SIGTERM, never a forced kill); whether they ended is seen by asking
/// bundlePaths again. Any thread.
class RunningApplications {
public:
    virtual ~RunningApplications() = default;
    virtual std::set<std::string> bundlePaths(const QString& bundleID) const = 0;
    virtual void requestQuit(const QString& bundleID) = 0;

    /// The real one: every process's executable from /proc, cut back to the *.app folder it lies in.
    static RunningApplications& fromProc();
};

} // namespace quorvex
