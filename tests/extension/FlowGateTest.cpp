#include "extension/FlowGate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvex {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Packet = FlowGate::Packet;
using Protocol = FlowGate::Protocol;

Bytes ports(std::uint16_t source, std::uint16_t destination) {
    return {static_cast<std::uint8_t>(source >> 8), static_cast<std::uint8_t>(source),
            static_cast<std::uint8_t>(destination >> 8), static_cast<std::uint8_t>(destination)};
}

// An IPv4 header of `words` 32-bit words (options zeroed), then `rest`.
Bytes ipv4(std::uint8_t protocol, const Bytes& rest, int words = 5, std::uint16_t fragment = 0) {
    Bytes packet(static_cast<std::size_t>(words) * 4, 0);
    packet[0] = static_cast<std::uint8_t>(0x40 | words);
    packet[6] = static_cast<std::uint8_t>(fragment >> 8);
    packet[7] = static_cast<std::uint8_t>(fragment);
    packet[9] = protocol;
    const std::uint8_t source[] = {10, 0, 0, 1};
    const std::uint8_t destination[] = {198, 18, 0, 2};
    std::copy(std::begin(source), std::end(source), packet.begin() + 12);
    std::copy(std::begin(destination), std::end(destination), packet.begin() + 16);
    packet.insert(packet.end(), rest.begin(), rest.end());
    return packet;
}

// An IPv6 header from fd00::1 to fd00::2 whose next header is `next`, then `rest`.
Bytes ipv6(std::uint8_t next, const Bytes& rest) {
    Bytes packet(40, 0);
    packet[0] = 0x60;
    packet[6] = next;
    packet[8] = 0xfd;
    packet[23] = 1;
    packet[24] = 0xfd;
    packet[39] = 2;
    packet.insert(packet.end(), rest.begin(), rest.end());
    return packet;
}

Bytes operator+(Bytes left, const Bytes& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

Packet flow(Protocol protocol, const char* source, std::uint16_t sourcePort, const char* destination,
            std::uint16_t destinationPort) {
    return {protocol, asio::ip::make_address(source), sourcePort, asio::ip::make_address(destination),
            destinationPort};
}

TEST(FlowGate, ReadsTheFlowOfAHeldPacket) {
    const Bytes hopByHop = Bytes{17, 0} + Bytes(6, 0); // next: UDP, 8 bytes long
    const struct {
        const char* name;
        Bytes packet;
        std::optional<Packet> expected;
    } cases[] = {
        {"IPv4 TCP", ipv4(6, ports(40000, 9000) + Bytes(16, 0)),
         flow(Protocol::TCP, "10.0.0.1", 40000, "198.18.0.2", 9000)},
        {"IPv4 UDP after options", ipv4(17, ports(5353, 53), 6),
         flow(Protocol::UDP, "10.0.0.1", 5353, "198.18.0.2", 53)},
        {"IPv4 later fragment", ipv4(17, ports(5353, 53), 5, 0x00b9), std::nullopt},
        {"IPv4 first fragment", ipv4(17, ports(5353, 53), 5, 0x2000),
         flow(Protocol::UDP, "10.0.0.1", 5353, "198.18.0.2", 53)},
        {"IPv4 ICMP", ipv4(1, ports(1, 2)), std::nullopt},
        {"IPv4 cut before the ports end", ipv4(6, {0x9c, 0x40, 0x23}), std::nullopt},
        {"IPv4 header length below 20", Bytes{0x44} + Bytes(27, 0), std::nullopt},
        {"IPv6 TCP", ipv6(6, ports(50000, 443)), flow(Protocol::TCP, "fd00::1", 50000, "fd00::2", 443)},
        {"IPv6 UDP after hop-by-hop options", ipv6(0, hopByHop + ports(6000, 4433)),
         flow(Protocol::UDP, "fd00::1", 6000, "fd00::2", 4433)},
        {"IPv6 options running past the packet", ipv6(0, Bytes{17, 9, 0, 0}), std::nullopt},
        {"IPv6 header cut short", Bytes{0x60} + Bytes(30, 0), std::nullopt},
        {"not IP", Bytes{0x50} + Bytes(40, 0), std::nullopt},
        {"empty", Bytes{}, std::nullopt},
    };
    for (const auto& item : cases)
        EXPECT_EQ(FlowGate::parse(item.packet.data(), item.packet.size()), item.expected) << item.name;
}

} // namespace
} // namespace quorvex
