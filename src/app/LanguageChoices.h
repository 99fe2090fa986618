#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <set>
#include <vector>

namespace quorvex {

/// The items of the language and region pop-ups of a simulator, titled in the user's language.
class LanguageChoices final {
public:
    LanguageChoices() = delete;

    struct Item {
        QString code;
        QString title;
        bool operator==(const Item&) const = default;
    };
    /// The items of one pop-up and the one shown first.
    struct Items {
        std::vector<Item> items;
        int selected = 0;
    };

    /// The languages offered, in menu order.
    static const QStringList& languages();
    /// "German", "Chinese (Simplified)": the name in the user's language, or the identifier when
    /// there is none.
    static QString languageName(const QString& identifier);
    /// "Germany": the region's name in the user's language, or the code when there is none.
    static QString regionName(const QString& code);

    /// The language items with `current` preselected: the equal entry, else the first entry that
    /// is a prefix of it ("en-US" selects "en"). A current language that matches neither gets an
    /// item of its own, selected, so applying a new region never changes the language unasked.
    static Items languageItems(const std::optional<QString>& current);
    /// The region items of `codes` with `current` preselected; a current region that is not among
    /// them gets an item of its own, selected, for the same reason.
    static Items regionItems(const QStringList& codes, const std::optional<QString>& current);
};

/// The bundle IDs of the apps that run in a simulator, from `launchctl list` run inside it: lines
/// whose third column starts with "UIKitApplication:", the ID ending before "[".
std::set<QString> parseLaunchctlAppIDs(const QByteArray& output);

} // namespace quorvex
