#include "panel/sections/NetworkChoices.h"

namespace quorvex {
namespace {

const std::string kUnlimitedID = "unlimited";

} // namespace

const std::vector<NetworkProfile>& NetworkChoices::quickProfiles() {
    static const std::vector<NetworkProfile> list = [] {
        std::vector<NetworkProfile> result;
        for (const char* id : {"wifi", "5g", "off"})
            if (auto profile = NetworkProfile::builtIn(id))
                result.push_back(std::move(*profile));
        return result;
    }();
    return list;
}

const std::vector<NetworkProfile>& NetworkChoices::otherSpeedProfiles() {
    static const std::vector<NetworkProfile> list = [] {
        std::vector<NetworkProfile> result;
        for (const NetworkProfile& profile : NetworkProfile::basic())
            if (!indexOf(quickProfiles(), profile))
                result.push_back(profile);
        return result;
    }();
    return list;
}

std::optional<QString> NetworkChoices::selectedSegment(const NetworkProfile& current) {
    if (!indexOf(quickProfiles(), current))
        return std::nullopt;
    return QString::fromStdString(current.id);
}

QString NetworkChoices::valueText(const NetworkProfile& current) {
    if (indexOf(quickProfiles(), current))
        return QStringLiteral("None");
    if (current.id == kUnlimitedID)
        return QStringLiteral("No Limit");
    return QString::fromStdString(current.name);
}

QString NetworkChoices::menuTitle(const NetworkProfile& profile) {
    if (profile.id == kUnlimitedID)
        return QStringLiteral("No Limit (this computer’s connection)");
    return QString::fromStdString(profile.name);
}

QString NetworkChoices::menuSymbol(const NetworkProfile& profile, const NetworkProfile& current) {
    return profile == current ? QStringLiteral("checkmark") : QString::fromStdString(profile.symbol);
}

} // namespace quorvex
