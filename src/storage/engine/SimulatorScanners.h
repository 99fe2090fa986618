#pragma once

#include "storage/engine/CleanupItem.h"

#include <QByteArray>
#include <QDateTime>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvex {

/// The scanners of simulators and simulator runtimes: simctl's JSON reports read strictly, and the
/// device folders simctl no longer knows. They never throw, remove nothing, and block (run them
/// on a worker thread). `now` gives the current time for the age tags.
class SimulatorScanners final {
public:
    using Now = std::function<QDateTime()>;

    /// Runs a developer tool: the arguments name the tool first. With a path ending in "xcrun"
    /// the whole list goes to it; otherwise the tool at the path gets the rest. Standard output,
    /// nothing when it could not run or failed.
    static std::optional<QByteArray> runDeveloperTool(const std::vector<std::string>& arguments,
                                                      const std::string& path);

    /// Devices from `simctl list devices -j`, then folders of ~/Library/Developer/CoreSimulator/
    /// Devices that simctl does not list (compared as UUID values, not as text).
    static std::vector<CleanupItem> scanSimulators(const Now& now);

    /// Runtimes from `simctl runtime list -j`; all but the newest version of each platform are old.
    static std::vector<CleanupItem> scanRuntimes();

    /// A size reported by a tool: a non-negative integer that fits, else clamped (negative or not
    /// a number: 0; too large: the largest 64-bit value).
    static std::int64_t reportedSize(double value);
};

} // namespace quorvex
