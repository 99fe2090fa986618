#pragma once

#include <QString>

namespace quorvex {

/// The program's one busy flag as the storage engine sees it: a cleanup, a snapshot or a
/// download runs at a time. Cleanup implements it; tests use a plain one. GUI thread.
class LongTaskGate {
public:
    /// What the user is told when a long task is refused (storage/BusyToast.h shows it).
    static inline const QString kBusyTitle = QStringLiteral("Please wait");
    static inline const QString kBusyDetail =
        QStringLiteral("Another task is still running: a cleanup, snapshot, or download.");

    virtual ~LongTaskGate() = default;
    /// Sets the flag and answers true, or, when a long task runs already, answers false without
    /// changing anything; telling the user is the caller's part.
    virtual bool beginLongTask() = 0;
    virtual void endLongTask() = 0;
    virtual bool isLongTaskRunning() const = 0;
};

} // namespace quorvex
