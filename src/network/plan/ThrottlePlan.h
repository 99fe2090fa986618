#pragma once

#include "network/plan/NetworkProfile.h"

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

/// The network plan: the one format that crosses from the app to the network extension (as JSON,
/// in the proxy configuration under "plan" and in provider messages). Plain C++ with no Qt, since
/// both programs compile it.
struct ThrottlePlan {
    /// One shaped app (or, without `appBundle`, every simulator app) and its timed phases.
    struct Rule {
        std::optional<std::string> appBundle; // bundle folder name such as "Demo.app"
        std::string profileID;                // carried for reference; the extension ignores it
        std::vector<NetworkProfile::Phase> phases;

        bool operator==(const Rule&) const = default;

        /// The key the extension files the rule under: `appBundle`, or "*" for all apps.
        std::string key() const { return appBundle.value_or("*"); }
    };

    std::vector<Rule> rules;
    /// Normalised host entries whose flows are refused; absent means none. Absent and empty
    /// compare unequal, though both block nothing.
    std::optional<std::vector<std::string>> blockedHosts;

    bool operator==(const ThrottlePlan&) const = default;

    /// True when no phase of any rule shapes anything (blocked hosts play no part).
    bool isUnlimited() const;

    /// The JSON text: keys in field order, optional keys left out when absent.
    std::string encode() const;
    nlohmann::ordered_json toJson() const;

    /// Reads a whole plan or nothing: a missing required key, a wrong JSON type, a null in a
    /// required field or a fraction in an integer field fails it all. Unknown keys are ignored;
    /// a null optional reads as absent. `error`, when given, receives the reason.
    static std::optional<ThrottlePlan> decode(std::string_view bytes, std::string* error = nullptr);
    static std::optional<ThrottlePlan> fromJson(const nlohmann::json& json, std::string* error = nullptr);

    /// The canonical host of what a user typed (a name, an address or a whole URL), or nothing when
    /// it is no acceptable host. IPv4 addresses come back in dotted decimal without leading zeros,
    /// IPv6 in the compressed lower-case form, an IPv4-mapped IPv6 address as its IPv4 form.
    static std::optional<std::string> normalizeHost(std::string_view text);

    /// Whether a flow to `host` is refused: it equals an entry or is a subdomain of one.
    static bool isBlocked(std::string_view host, const std::optional<std::vector<std::string>>& blockedHosts);
};

/// JSON of the pieces, for callers that embed them in their own documents.
nlohmann::ordered_json toJson(const LinkConditions& conditions);
nlohmann::ordered_json toJson(const NetworkProfile::Phase& phase);
nlohmann::ordered_json toJson(const ThrottlePlan::Rule& rule);

} // namespace quorvex

template <> struct std::hash<quorvex::ThrottlePlan::Rule> {
    std::size_t operator()(const quorvex::ThrottlePlan::Rule& rule) const noexcept;
};
