#pragma once

#include <QDateTime>
#include <QString>

namespace quorvex {

/// Dates relative to now in words, with named days, weeks, months and years where English has
/// them: "now", "5 seconds ago", "2 minutes ago", "1 hour ago", "yesterday", "3 days ago", "last
/// week", "in 2 hours", "tomorrow". The caller passes "now", so the text is reproducible.
class RelativeDateFormatter final {
public:
    RelativeDateFormatter() = delete;

    static QString format(const QDateTime& date, const QDateTime& now);
};

} // namespace quorvex
