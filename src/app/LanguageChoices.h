#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <set>
#include <vector>

namespace quorvex {

/// The items of the status menu's language and region pop-ups of a simulator, titled in the
/// user's language. The offered languages and their names are the side panel's (LanguageCodes).
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

    /// The language items with `current` preselected: the offered code it stands for ("en-US"
    /// selects "en", see LanguageCodes::match). A current language that matches none gets an item
    /// of its own, selected, so applying a new region never changes the language unasked.
    static Items languageItems(const std::optional<QString>& current);
    /// The region items of `codes` with `current` preselected; a current region that is not among
    /// them gets an item of its own, selected, for the same reason.
    static Items regionItems(const QStringList& codes, const std::optional<QString>& current);
};

/// The bundle IDs of the apps that run in a simulator, from `launchctl list` run inside it: lines
/// whose third column starts with "UIKitApplication:", the ID ending before "[".
std::set<QString> parseLaunchctlAppIDs(const QByteArray& output);

} // namespace quorvex
