#include "network/plan/LinkConditions.h"

#include "network/plan/HashCombine.h"

#include <cmath>
#include <limits>

namespace quorvex {

namespace {

// The integer part of a double, without the undefined behaviour of an out-of-range conversion.
std::int64_t integerPart(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double limit = 9.2e18;
    if (value >= limit)
        return std::numeric_limits<std::int64_t>::max();
    if (value <= -limit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(std::trunc(value));
}

} // namespace

bool LinkConditions::isUnshaped() const {
    return !downKbps && !upKbps && downDelayMs == 0 && upDelayMs == 0 && packetLoss == 0 && !stalled;
}

std::string formatRate(std::int64_t kbps) {
    if (kbps < 1000)
        return std::to_string(kbps) + " Kbps";
    return std::to_string(kbps / 1000) + " Mbps";
}

std::string LinkConditions::summary() const {
    if (isUnshaped())
        return "No throttling";
    if (packetLoss >= 1.0)
        return "100% packet loss";
    if (stalled)
        return "No signal";
    std::string text;
    if (downKbps && upKbps)
        text = "↓ " + formatRate(*downKbps) + "  ↑ " + formatRate(*upKbps) + " · ";
    // Wrapping addition: the delays are unchecked plan values and must not trap here.
    const auto rtt = static_cast<std::int64_t>(static_cast<std::uint64_t>(downDelayMs) +
                                               static_cast<std::uint64_t>(upDelayMs));
    text += std::to_string(rtt) + " ms RTT";
    if (packetLoss > 0)
        text += " · " + std::to_string(integerPart(packetLoss * 100)) + "% loss";
    return text;
}

} // namespace quorvex

std::size_t std::hash<quorvex::LinkConditions>::operator()(const quorvex::LinkConditions& c) const noexcept {
    std::size_t seed = 0;
    quorvex::hashCombine(seed, c.downKbps);
    quorvex::hashCombine(seed, c.upKbps);
    quorvex::hashCombine(seed, c.downDelayMs);
    quorvex::hashCombine(seed, c.upDelayMs);
    quorvex::hashCombine(seed, c.packetLoss);
    quorvex::hashCombine(seed, c.stalled);
    return seed;
}
