#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace quorvex {

/// One release offered by an update feed.
struct AppcastItem {
    QString title;
    QString version;        // the build version compared with ours ("sparkle:version")
    QString displayVersion; // the version shown to the user; `version` when the feed gives none
    QUrl page;              // where to read about and download it; empty when the feed gives no web page
};

/// An update feed in the appcast format: an RSS channel whose items carry versions in the
/// "sparkle" namespace, on the item or on its enclosure. Items without a version, and items
/// restricted to a channel (betas), are left out.
struct Appcast {
    std::vector<AppcastItem> items;

    /// Null with `error` set when the data is not a readable feed.
    static std::optional<Appcast> parse(const QByteArray& xml, QString* error = nullptr);

    /// The item with the greatest version, or null when there are none.
    const AppcastItem* newest() const;
};

/// Compares two version texts the way update feeds mean them: numbers as numbers ("1.10" > "1.9"),
/// missing trailing zero parts as zero ("1.0" == "1.0.0"), a letter part after a number as a
/// pre-release ("1.0b2" < "1.0"). Negative, zero or positive like `strcmp`.
int compareVersions(const QString& a, const QString& b);

} // namespace quorvex
