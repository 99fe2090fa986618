#include "storage/cleaner/CleanupHUDPresenter.h"

#include "ui/ByteCountFormatter.h"

#include <algorithm>
#include <cmath>

namespace quorvex {

using Kind = CleanupProgress::Phase::Kind;

QString CleanupHUDPresenter::detailText(const CleanupProgress::Phase& phase) {
    switch (phase.kind) {
    case Kind::measuring:
        return QStringLiteral("Measuring…");
    case Kind::deleting:
        return QStringLiteral("Deleting %1 of %2")
            .arg(ByteCountFormatter::file(phase.done), ByteCountFormatter::file(phase.total));
    case Kind::success:
    case Kind::failure:
        return phase.message;
    }
    return {};
}

QString CleanupHUDPresenter::buttonText(const CleanupProgress::Phase& phase) {
    return phase.isFinished() ? QStringLiteral("Done") : QStringLiteral("Cleaning…");
}

CleanupHUDPresenter::Mark CleanupHUDPresenter::mark(const CleanupProgress::Phase& phase) {
    switch (phase.kind) {
    case Kind::measuring:
        return Mark::spinner;
    case Kind::deleting:
        return Mark::ring;
    case Kind::success:
        return Mark::success;
    case Kind::failure:
        return Mark::failure;
    }
    return Mark::spinner;
}

// Clamped, so a caller whose done runs past its total (a file that grew while it was deleted)
// can neither draw more than a full ring nor overflow the percentage.
double CleanupHUDPresenter::fraction(const CleanupProgress::Phase& phase) {
    if (phase.kind != Kind::deleting || phase.total < 1)
        return 0.0;
    return std::clamp(static_cast<double>(phase.done) / static_cast<double>(phase.total), 0.0, 1.0);
}

QString CleanupHUDPresenter::percentText(double fraction) {
    const double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    return QStringLiteral("%1%").arg(static_cast<int>(std::trunc(clamped * 100.0)));
}

double CleanupHUDPresenter::arcEnd(double fraction) {
    return std::clamp(fraction, 0.02, 1.0);
}

} // namespace quorvex
