#pragma once

#include "network/plan/NetworkProfile.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorvex {

/// What the panel's network card offers and shows for an app's current profile: three quick
/// profiles as segments, the other steady speeds and the scenarios in a menu.
class NetworkChoices final {
public:
    NetworkChoices() = delete;

    /// "Wi-Fi", "5G" and "Off", each the built-in profile of that id.
    static const std::vector<NetworkProfile>& quickProfiles();
    /// The steady built-in profiles in built-in order, without the quick ones.
    static const std::vector<NetworkProfile>& otherSpeedProfiles();

    /// The segment shown selected: the id of the quick profile equal to `current` (every field
    /// compared), none otherwise.
    static std::optional<QString> selectedSegment(const NetworkProfile& current);
    /// The menu's value text: "None" for a quick profile, "No Limit" for "unlimited", else the
    /// profile's name.
    static QString valueText(const NetworkProfile& current);
    /// A menu item's text; the unlimited profile names what it means.
    static QString menuTitle(const NetworkProfile& profile);
    /// A menu item's symbol: a check mark on the current profile, else the profile's own.
    static QString menuSymbol(const NetworkProfile& profile, const NetworkProfile& current);
};

} // namespace quorvex
