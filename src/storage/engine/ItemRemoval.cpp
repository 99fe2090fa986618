#include "storage/engine/ItemRemoval.h"

#include "platform/data/Trash.h"
#include "storage/engine/StorageFormats.h"
#include "storage/files/GuardedDelete.h"
#include "storage/files/StorageLog.h"
#include "tools/FileGuards.h"
#include "tools/PathText.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <QStringList>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

// Deleting a simulator or a runtime takes as long as its data: no cut-off, or a slow deletion
// would be reported as failed while simctl goes on.
bool xcrunSucceeded(const std::vector<std::string>& arguments) {
    return runTool(ToolPaths::xcrun(), arguments, kNoToolTimeout).has_value();
}

QString describe(const std::error_code& error) {
    return QString::fromLocal8Bit(error.message());
}

} // namespace

std::optional<QString> ItemRemoval::remove(const CleanupRemoval& removal, bool toTrash, Trash& trash) {
    switch (removal.kind) {
    case CleanupRemoval::Kind::runtime:
        if (!StorageFormats::isUuid(removal.identifier) ||
            !xcrunSucceeded({"simctl", "runtime", "delete", removal.identifier.toStdString()})) {
            qCWarning(storageLog) << "simctl runtime delete failed for" << removal.identifier;
            return kRuntimeFailed;
        }
        return std::nullopt;
    case CleanupRemoval::Kind::simulator:
        if (!StorageFormats::isUuid(removal.identifier) ||
            !xcrunSucceeded({"simctl", "delete", removal.identifier.toStdString()})) {
            qCWarning(storageLog) << "simctl delete failed for" << removal.identifier;
            return kSimulatorFailed;
        }
        return std::nullopt;
    case CleanupRemoval::Kind::file:
        break;
    }
    const fs::path standard = standardizedPath(removal.file);
    if (!itemExists(standard))
        return std::nullopt; // already gone: counts as cleaned
    if (!isAllowedCleanupTarget(standard)) {
        qCWarning(storageLog) << "refused to clean outside the allowed folders:" << pathText(standard);
        return kOutside;
    }
    const std::error_code error = toTrash ? trash.moveToTrash(parentResolvedPath(standard))
                                          : GuardedDelete::removeCleanupTarget(standard);
    if (!error)
        return std::nullopt;
    qCWarning(storageLog) << (toTrash ? "moving to the trash failed:" : "removing failed:")
                          << pathText(standard) << QString::fromLocal8Bit(error.message());
    if (standard.extension() == ".app" && error.category() == std::generic_category() &&
        (error.value() == EACCES || error.value() == EPERM))
        return kNeedsPassword;
    // The guarded delete stops at a mount with EXDEV; the Trash refuses an item holding one.
    if (error == TrashError::holdsMount || error == std::errc::cross_device_link)
        return kHoldsMount;
    if (error == TrashError::noTrashOnVolume)
        return kNoTrash;
    return describe(error);
}

ItemRemoval::Outcome ItemRemoval::outcome(int count, const std::vector<QString>& errors, std::int64_t total,
                                          std::int64_t trashed) {
    if (!errors.empty()) {
        const auto failures = static_cast<int>(errors.size());
        QString text = errors.front();
        if (failures > 1)
            text += QStringLiteral(" (+%1 more)").arg(failures - 1);
        return {QStringLiteral("%1 of %2 items cleaned").arg(count - failures).arg(count), true, text};
    }
    QStringList sentences;
    const std::int64_t freed = total - trashed;
    if (freed > 0)
        sentences << QStringLiteral("Freed %1.").arg(StorageFormats::fileSize(freed));
    if (trashed > 0)
        sentences << QStringLiteral("Moved %1 to the Trash. Empty it to free the space.")
                         .arg(StorageFormats::fileSize(trashed));
    return {QStringLiteral("Cleaned up"), false,
            sentences.isEmpty() ? QStringLiteral("Done.") : sentences.join(QLatin1Char(' '))};
}

} // namespace quorvex
