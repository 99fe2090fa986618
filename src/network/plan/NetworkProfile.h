#pragma once

#include "network/plan/LinkConditions.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvex {

/// A built-in network profile: a steady set of conditions (one phase) or a scenario that cycles
/// through timed phases. Profiles are compiled in; none is stored or user-defined.
struct NetworkProfile {
    /// One timed phase of a profile or of a plan rule.
    struct Phase {
        std::string label; // shown in summaries and logs
        double seconds = 0;
        LinkConditions conditions;

        bool operator==(const Phase&) const = default;
    };

    std::string id; // stable; stored in the user's choices and in plan rules
    std::string name;
    std::string symbol;
    std::vector<Phase> phases;

    bool operator==(const NetworkProfile&) const = default;

    /// The one-line description shown beside the name.
    std::string summary() const;

    /// The eight steady profiles, in display order.
    static const std::vector<NetworkProfile>& basic();
    /// The four cycling scenarios, in display order.
    static const std::vector<NetworkProfile>& scenarios();
    /// `basic()` followed by `scenarios()`.
    static const std::vector<NetworkProfile>& builtInAll();
    /// The built-in profile with exactly this id (case-sensitive).
    static std::optional<NetworkProfile> builtIn(const std::string& id);
};

/// The index of the first profile in `list` equal to `profile` (all fields compared).
std::optional<std::size_t> indexOf(const std::vector<NetworkProfile>& list, const NetworkProfile& profile);

} // namespace quorvex

template <> struct std::hash<quorvex::NetworkProfile::Phase> {
    std::size_t operator()(const quorvex::NetworkProfile::Phase& phase) const noexcept;
};

template <> struct std::hash<quorvex::NetworkProfile> {
    std::size_t operator()(const quorvex::NetworkProfile& profile) const noexcept;
};
