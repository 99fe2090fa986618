#pragma once

#include "storage/engine/CleanupItem.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <map>
#include <optional>

namespace quorvex {

/// The logs kind: simulator logs, Xcode logs, crash reports of developer tools and the device
/// logs folder. A log is dated by the newest modification inside it, so a folder that is still
/// written to is never "old". Blocks; never throws.
class LogScanner final {
public:
    static std::vector<CleanupItem> scanLogs(const std::function<QDateTime()>& now);
    /// Device names by UDID from simctl; nothing (not an empty map) when the listing fails.
    static std::optional<std::map<QString, QString>> simulatorNamesByUDID();
    /// Whether a crash report's file name belongs to one of the developer tools.
    static bool isDeveloperToolReport(const QString& name);
};

} // namespace quorvex
