#pragma once

#include "storage/cleaner/CleanupProgress.h"

#include <QString>

namespace quorvex {

/// What the progress panel shows for a phase, as plain values: the detail line, the button, the
/// mark and the ring. Pure; the panel's view only draws these.
struct CleanupHUDPresenter {
    enum class Mark { spinner, ring, success, failure };

    /// "Measuring…", "Deleting <done> of <total>" in file sizes, or the finished phase's message.
    static QString detailText(const CleanupProgress::Phase& phase);
    /// "Done" once finished, "Cleaning…" while working.
    static QString buttonText(const CleanupProgress::Phase& phase);
    /// The button is enabled, prominent and answers Return only once the phase is finished.
    static bool buttonEnabled(const CleanupProgress::Phase& phase) { return phase.isFinished(); }
    static Mark mark(const CleanupProgress::Phase& phase);

    /// done ÷ total of a deleting phase in [0, 1]; 0 when total is below one byte. Done past the
    /// total reads as the full ring, a negative done as none.
    static double fraction(const CleanupProgress::Phase& phase);
    /// The whole percentage, truncated: 0.015 reads "1%".
    static QString percentText(double fraction);
    /// Where the ring's arc ends: a sliver of 2 % shows even at 0.
    static double arcEnd(double fraction);
};

} // namespace quorvex
