#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quorvex {

/// The device URL field's rules: which text may be opened on a connected device, and the
/// history of opened URLs ("physicalDevice.recentURLs", shared with the status menu).
class RecentURLs final {
public:
    RecentURLs() = delete;

    static constexpr qsizetype kMaxCount = 8;
    /// Where the history is kept in the shared defaults.
    static inline const QString kSettingsKey = QStringLiteral("physicalDevice.recentURLs");

    /// The history after opening `url`: it first, then the earlier entries without it, at most
    /// eight. An open that fails still counts, so this runs before its result is known.
    static QStringList afterOpening(const QStringList& recent, const QString& url);

    /// The text to open, trimmed of spaces and tabs, when it is one URL whose scheme starts with
    /// a letter; so nothing that starts with "-" reaches the device tool's argument list.
    static std::optional<QString> openableText(const QString& text);
};

} // namespace quorvex
