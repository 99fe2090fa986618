#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvex {

/// Holds the first packet of each new flow in the kernel (a netfilter queue, spoken to over
/// netlink) until the daemon has said what becomes of the flow, and lets it go on with the mark
/// that says so. Deciding there, before a handshake, lets the flows of ordinary processes go on
/// inside the kernel untouched and lets a refusal come before any connection exists; deciding
/// after a transparent accept could do neither.
///
/// The queue is fed by rules that the owner installs (with the queue's bypass flag, so packets
/// pass unheld whenever nobody listens). Decisions run on the given context's thread, one packet
/// at a time, in the order the kernel queued them.
///
/// A packet the decision cannot tell about yet (out of descriptors, say) is never let go as if
/// it were decided: it stays held and is asked about again every `retryMilliseconds`, and after
/// `holdSeconds` it leaves with the give-up mark (a refusal). Should the kernel's queue fill up,
/// new packets are dropped (the sender tries again), never passed undecided.
class FlowGate final {
public:
    enum class Protocol { TCP, UDP };
    /// What the gate reads of a held packet.
    struct Packet {
        Protocol protocol = Protocol::TCP;
        asio::ip::address source;
        std::uint16_t sourcePort = 0;
        asio::ip::address destination;
        std::uint16_t destinationPort = 0;
        bool operator==(const Packet&) const = default;
    };
    /// The mark the packet leaves with (0 leaves it unmarked); none when it cannot be told yet.
    /// A decision that throws counts as none.
    using Decide = std::function<std::optional<std::uint32_t>(const Packet&)>;

    FlowGate(asio::io_context& context, std::uint16_t queue, Decide decide, std::uint32_t giveUpMark);
    ~FlowGate();
    FlowGate(const FlowGate&) = delete;
    FlowGate& operator=(const FlowGate&) = delete;

    /// Binds the queue and starts deciding; the reason when the kernel refuses (no netfilter
    /// queue support, another listener on the queue, no CAP_NET_ADMIN).
    std::optional<std::string> open();
    /// Stops deciding and unbinds; packets the kernel still holds for us are let go unmarked.
    void close();
    bool isOpen() const { return m_socket.is_open(); }

    /// Packets decided since the gate opened.
    std::size_t decidedCount() const { return m_decided; }
    /// Packets that had to wait for a second try, and those given up on, since the gate was made.
    std::size_t heldCount() const { return m_held; }
    std::size_t givenUpCount() const { return m_givenUp; }

    static constexpr double holdSeconds = 10;
    static constexpr int retryMilliseconds = 50;
    /// Packets the kernel holds for us at most.
    static constexpr std::uint32_t queueLength = 4096;

    /// The flow of an IPv4 or IPv6 packet carrying TCP or UDP; none for anything else, or a packet
    /// cut short before its ports.
    static std::optional<Packet> parse(const std::uint8_t* data, std::size_t size);

private:
    void wait();
    void drain();
    void handleMessage(const std::uint8_t* message, std::size_t size);
    std::optional<std::uint32_t> ask(const Packet& packet);
    void retryHeld();
    bool configure(const std::vector<std::uint8_t>& request, std::string& failure);
    void sendVerdict(std::uint32_t packetId, std::uint32_t mark);

    struct Held {
        std::uint32_t packetId = 0;
        Packet packet;
        std::chrono::steady_clock::time_point since;
    };

    std::uint16_t m_queue;
    Decide m_decide;
    std::uint32_t m_giveUpMark;
    asio::posix::stream_descriptor m_socket;
    asio::steady_timer m_retry;
    std::deque<Held> m_heldPackets;
    std::atomic<std::size_t> m_held{0};
    std::atomic<std::size_t> m_givenUp{0};
    std::uint32_t m_sequence = 0;
    std::vector<std::uint32_t> m_buffer; // words: netlink messages start 4-byte aligned
    std::atomic<std::size_t> m_decided{0};
};

} // namespace quorvex
