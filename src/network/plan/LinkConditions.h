#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvex {

/// The conditions of one timed phase of a network plan: caps, one-way delays, loss and stall.
/// "Down" runs from the network to the app, "up" from the app to the network.
struct LinkConditions {
    std::optional<std::int64_t> downKbps; // absent: no cap
    std::optional<std::int64_t> upKbps;   // absent: no cap
    std::int64_t downDelayMs = 0;
    std::int64_t upDelayMs = 0;
    double packetLoss = 0; // fraction of datagrams dropped; 1 or more cuts the link
    bool stalled = false;  // the link carries nothing ("No signal")

    bool operator==(const LinkConditions&) const = default;

    /// True when nothing is shaped: no caps, no delays, no loss, no stall.
    bool isUnshaped() const;

    /// The one-line description shown beside a profile ("↓ 780 Kbps  ↑ 330 Kbps · 200 ms RTT").
    std::string summary() const;
};

/// The rate text of a cap: "999 Kbps", "1 Mbps" (integer division by 1000 from 1000 Kbps on).
std::string formatRate(std::int64_t kbps);

} // namespace quorvex

template <> struct std::hash<quorvex::LinkConditions> {
    std::size_t operator()(const quorvex::LinkConditions& conditions) const noexcept;
};
