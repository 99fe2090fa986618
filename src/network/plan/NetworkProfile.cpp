#include "network/plan/NetworkProfile.h"

#include "network/plan/HashCombine.h"

#include <algorithm>
#include <cmath>

namespace quorvex {

namespace {

using Phase = NetworkProfile::Phase;

LinkConditions capped(std::int64_t down, std::int64_t up, std::int64_t downDelay, std::int64_t upDelay,
                      double loss = 0) {
    return LinkConditions{down, up, downDelay, upDelay, loss, false};
}

LinkConditions uncapped(double loss = 0, bool stalled = false) {
    return LinkConditions{std::nullopt, std::nullopt, 0, 0, loss, stalled};
}

NetworkProfile steady(std::string id, std::string name, std::string symbol, LinkConditions conditions) {
    Phase phase{name, 0, conditions};
    return NetworkProfile{std::move(id), std::move(name), std::move(symbol), {std::move(phase)}};
}

// The integer part of a phase length as the summary shows it; absurd lengths must not trap.
long long wholeSeconds(double seconds) {
    if (!std::isfinite(seconds))
        return 0;
    return static_cast<long long>(std::trunc(std::clamp(seconds, -9.2e18, 9.2e18)));
}

} // namespace

std::string NetworkProfile::summary() const {
    if (phases.empty())
        return {};
    if (phases.size() == 1)
        return phases.front().conditions.summary();
    std::string text;
    for (const Phase& phase : phases) {
        if (!text.empty())
            text += " → ";
        text += phase.label + " " + std::to_string(wholeSeconds(phase.seconds)) + " s";
    }
    return text;
}

const std::vector<NetworkProfile>& NetworkProfile::basic() {
    static const std::vector<NetworkProfile> profiles = {
        steady("unlimited", "No Limit", "network", uncapped()),
        steady("wifi", "Wi-Fi", "wifi", capped(40000, 33000, 1, 1)),
        steady("5g", "5G", "antenna.radiowaves.left.and.right", capped(200000, 50000, 10, 10)),
        steady("lte", "LTE", "antenna.radiowaves.left.and.right", capped(50000, 10000, 50, 65)),
        steady("3g", "3G", "cellularbars", capped(780, 330, 100, 100)),
        steady("edge", "Edge", "cellularbars", capped(240, 200, 400, 440)),
        steady("very-slow", "Very Slow", "tortoise", capped(50, 20, 500, 500, 0.05)),
        steady("off", "Off", "wifi.slash", uncapped(1.0)),
    };
    return profiles;
}

const std::vector<NetworkProfile>& NetworkProfile::scenarios() {
    static const std::vector<NetworkProfile> profiles = {
        {"elevator",
         "Elevator",
         "arrow.up.arrow.down.square",
         {Phase{"LTE", 10, capped(50000, 10000, 50, 65)}, Phase{"No signal", 6, uncapped(0, true)}}},
        {"train",
         "Commuter Train",
         "tram",
         {Phase{"LTE", 12, capped(50000, 10000, 50, 65)}, Phase{"Edge", 6, capped(240, 200, 400, 440)},
          Phase{"Tunnel", 5, uncapped(0, true)}, Phase{"3G", 8, capped(780, 330, 100, 100)}}},
        {"spotty-wifi",
         "Spotty Wi-Fi",
         "wifi.exclamationmark",
         {Phase{"Wi-Fi", 7, capped(40000, 33000, 1, 1)}, Phase{"Stall", 2, uncapped(0, true)},
          Phase{"Congested", 4, capped(240, 200, 400, 440)}}},
        {"dropping",
         "Dropping Connection",
         "bolt.horizontal",
         {Phase{"Wi-Fi", 15, capped(40000, 33000, 1, 1)}, Phase{"Offline", 3, uncapped(1.0)}}},
    };
    return profiles;
}

const std::vector<NetworkProfile>& NetworkProfile::builtInAll() {
    static const std::vector<NetworkProfile> profiles = [] {
        std::vector<NetworkProfile> all = basic();
        all.insert(all.end(), scenarios().begin(), scenarios().end());
        return all;
    }();
    return profiles;
}

std::optional<NetworkProfile> NetworkProfile::builtIn(const std::string& id) {
    for (const NetworkProfile& profile : builtInAll())
        if (profile.id == id)
            return profile;
    return std::nullopt;
}

std::optional<std::size_t> indexOf(const std::vector<NetworkProfile>& list, const NetworkProfile& profile) {
    const auto it = std::find(list.begin(), list.end(), profile);
    if (it == list.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - list.begin());
}

} // namespace quorvex

std::size_t std::hash<quorvex::NetworkProfile::Phase>::operator()(
    const quorvex::NetworkProfile::Phase& phase) const noexcept {
    std::size_t seed = 0;
    quorvex::hashCombine(seed, phase.label);
    quorvex::hashCombine(seed, phase.seconds);
    quorvex::hashCombine(seed, phase.conditions);
    return seed;
}

std::size_t
std::hash<quorvex::NetworkProfile>::operator()(const quorvex::NetworkProfile& profile) const noexcept {
    std::size_t seed = 0;
    quorvex::hashCombine(seed, profile.id);
    quorvex::hashCombine(seed, profile.name);
    quorvex::hashCombine(seed, profile.symbol);
    for (const auto& phase : profile.phases)
        quorvex::hashCombine(seed, phase);
    return seed;
}
