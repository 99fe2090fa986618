#pragma once

#include "storage/engine/CleanupItem.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace quorvex {

class Trash;

/// Removes one cleanup item, and words the outcome of a clean of several. Any thread for
/// remove; the outcome is plain text.
class ItemRemoval final {
public:
    static inline const QString kOutside = QStringLiteral("outside the folders Quorvex may clean");
    static inline const QString kNeedsPassword =
        QStringLiteral("needs your password — move it to the trash in your file manager");
    static inline const QString kSimulatorFailed = QStringLiteral("simctl couldn’t delete it");
    static inline const QString kRuntimeFailed = QStringLiteral("simctl couldn’t delete the runtime");
    static inline const QString kHoldsMount = QStringLiteral("holds a mounted folder — unmount it first");
    static inline const QString kNoTrash =
        QStringLiteral("its drive has no Trash — choose Delete Immediately instead");

    /// Removes the item: a file that is already gone counts as removed; one outside the folders
    /// the program may clean is refused untouched; with `toTrash` it goes to `trash`, otherwise
    /// it is deleted by the guarded delete. Neither ever reaches into a mounted folder: the Trash
    /// refuses an item that holds one, the delete leaves it alone. A simulator or runtime is deleted through
    /// simctl, and only when its identifier is a UUID (never "all", "unavailable" or an option). Answers the
    /// error text, nothing on success. Blocks; never on the GUI thread.
    static std::optional<QString> remove(const CleanupRemoval& removal, bool toTrash, Trash& trash);

    /// What the progress panel ends with after a clean.
    struct Outcome {
        QString title;
        bool failed = false;
        QString text;
        friend bool operator==(const Outcome&, const Outcome&) = default;
    };
    /// `count` items handled, `errors` their error lines (title + ": " + text), `total` bytes of
    /// all items, `trashed` bytes of those moved to the Trash.
    static Outcome outcome(int count, const std::vector<QString>& errors, std::int64_t total,
                           std::int64_t trashed);
};

} // namespace quorvex
