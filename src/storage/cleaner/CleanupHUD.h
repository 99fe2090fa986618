#pragma once

#include "storage/cleaner/CleanupProgress.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace quorvex {

class CleanupHUDView;
class Clock;

/// The one floating progress panel that every cleanup drives: the storage cleaner's clean, the
/// per-app cleanups and the erase of an app's data. show() starts a run and answers its token;
/// update() moves the run on, with a spring, and is ignored unless it carries the token of the latest run, so
/// a late report of an earlier cleanup can never take over the panel of a newer one (nor turn a finished
/// run's "Done" back into a disabled "Cleaning…"). The panel hides only by its "Done".
///
/// The panel is made on the first show and reused for the life of the controller; it is a
/// frameless, translucent tool window that stays on top and follows its content's size. GUI thread.
class CleanupHUD final {
public:
    using RunToken = std::uint64_t;

    explicit CleanupHUD(Clock& clock);
    ~CleanupHUD();
    CleanupHUD(const CleanupHUD&) = delete;
    CleanupHUD& operator=(const CleanupHUD&) = delete;

    /// The program's panel, on the system clock.
    static CleanupHUD& shared();

    CleanupProgress& progress() { return m_progress; }
    /// Absent until the first show.
    QWidget* panel() const { return m_panel; }

    /// Starts a new run: sets the title, resets the phase to measuring, then centres, raises and
    /// activates the panel (made on the first call).
    RunToken show(const QString& title);
    /// Reports progress of run `token`: sets the title when one is given, then the phase. A stale
    /// token changes nothing, and neither does a working phase once the run has finished.
    /// Answers whether the report was taken.
    bool update(RunToken token, const std::optional<QString>& title, const CleanupProgress::Phase& phase);
    /// Hides the panel (the "Done" button); the model keeps its last title and phase.
    void hide();

private:
    Clock& m_clock;
    CleanupProgress m_progress;
    QPointer<QWidget> m_panel;
    QPointer<CleanupHUDView> m_view;
    RunToken m_run = 0;
};

} // namespace quorvex
