#pragma once

#include <QObject>

#include <cstdint>

namespace quorvex {

/// How many bytes the user has cleaned up so far, over all runs, kept in the user defaults under
/// "storage.totalCleanedBytes". GUI thread only.
class SpaceSaved final : public QObject {
    Q_OBJECT
public:
    static inline const QString kKey = QStringLiteral("storage.totalCleanedBytes");

    /// The one instance, reading the stored total on creation.
    static SpaceSaved& shared();

    std::int64_t total() const { return m_total; }
    /// Replaces the value (not stored); emits totalChanged only when it differs.
    void setTotal(std::int64_t total);
    /// Adds freed bytes and stores the new total; counts below 1 change nothing. Saturates at the
    /// largest 64-bit value instead of wrapping.
    void add(std::int64_t bytes);

    /// A fresh instance reading the stored total, for tests that restart the program.
    SpaceSaved();

signals:
    void totalChanged(std::int64_t total);

private:
    std::int64_t m_total = 0;
};

} // namespace quorvex
