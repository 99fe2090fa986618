#pragma once

#include "storage/files/LongTaskGate.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <filesystem>
#include <system_error>

namespace quorvex {

/// The per-app cleaner. For now it holds what the rest of the program needs of it: the one
/// program-wide busy flag, the deletion guard and the guarded delete through which every deletion
/// of the program goes.
///
/// The flag is written on the GUI thread only (that is where flows start and end) but may be read
/// from any thread, so a background operation can refuse to run beside a long task.
class Cleanup final : public QObject, public LongTaskGate {
    Q_OBJECT
public:
    /// The one instance, created on first use and never released.
    static Cleanup& shared();

    /// True while a cleanup, a snapshot or a download runs.
    bool isWorking() const { return m_working.load(); }
    /// GUI thread. Emits workingChanged only when the value changes.
    void setWorking(bool working);

    /// GUI thread. Starts a long task: sets the flag and answers true, or, when one runs already,
    /// answers false without changing anything (the caller shows the busy toast).
    bool beginLongTask() override;
    /// GUI thread. Ends the long task: clears the flag.
    void endLongTask() override { setWorking(false); }
    bool isLongTaskRunning() const override { return isWorking(); }

    /// The deletion guard: false when nothing exists at `path` (a dangling link exists); else true
    /// when the standardised path, with its parent resolved through links and its own last
    /// component appended unresolved, lies strictly inside the resolved ~/Library.
    static bool isInsideUserLibrary(const std::filesystem::path& path);

    /// The guarded delete. Nothing exists: does nothing. Outside ~/Library: removes nothing and
    /// throws FileError::writeNoPermission. Otherwise removes the item and everything below it and
    /// throws the first FileError met (it goes on with the rest). The removal works through
    /// folder descriptors from the resolved parent, opened without following any link, so a folder
    /// swapped for a link after the check cannot redirect it; it never follows a link (a link is
    /// removed as itself) and never crosses a mount (GuardedDelete). Any thread.
    static void removeItem(const std::filesystem::path& path);
    /// The same, reporting the failure instead of throwing it.
    static std::error_code removeItem(const std::filesystem::path& path, std::nothrow_t) noexcept;

signals:
    void workingChanged(bool working);

private:
    Cleanup() = default;
    std::atomic<bool> m_working{false};
};

} // namespace quorvex
