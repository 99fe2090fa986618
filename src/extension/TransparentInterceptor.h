#pragma once

#include "extension/BlockedHostAddresses.h"
#include "extension/FlowGate.h"
#include "extension/FlowSource.h"
#include "extension/PassThroughPool.h"
#include "extension/ProcessClassifier.h"
#include "extension/SocketOwnerLookup.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ip/udp.hpp>
#include <asio/steady_timer.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvex {

class ExtensionState;
class Link;
class RelayQueue;
class TransparentProxyProvider;
class TransparentUDPFlow;

/// The system's flow interception on Linux, in the daemon's network namespace. While started:
/// - the first packet of each new TCP or UDP flow that a local process opens (never to
///   127.0.0.0/8 or ::1, never of the daemon's own sockets, which carry `ownMark`) waits in the
///   kernel for the FlowGate: its source process comes from the classifier and the provider
///   decides. Ordinary processes' flows, and those the plan leaves alone, go on inside the kernel
///   untouched (`passMark`); a flow to a blocked host is refused there, before any handshake
///   (TCP reset, ICMP unreachable for UDP: `refuseMark`); the rest are intercepted;
/// - nftables table "inet quorvex" turns a flow's verdict into its connection mark, and marks
///   every packet of an intercepted flow: policy routing sends those back in through lo, where
///   tproxy rules hand them to the daemon's IP_TRANSPARENT listeners on `port` (TCP and UDP);
/// - each accepted connection's original destination is its local address; the provider decides
///   again with the plan of that moment: relay through the rule's link on the relay queue, close,
///   pass (spliced to a connection of our own), or refuse (reset);
/// - UDP datagrams carry their original destination (IP_RECVORIGDSTADDR). Each (app socket,
///   destination) pair is one flow, decided on its first datagram like a connection: relayed
///   through the rule's link, passed through an unshaped one, or (refused, cut) dropped until it
///   has been silent `udpIdleSeconds`. Answers go back from a transparent socket bound to the
///   destination, so they come from where the app sent.
/// A blocked host name is matched by the addresses it resolves to (BlockedHostAddresses).
/// Where the kernel offers no netfilter queue (or iptables is missing), every new flow is
/// intercepted and decided in the daemon alone, as above.
/// Stopping removes the tables, the rules and routes, closes the listeners and every passed flow.
class TransparentInterceptor final : public FlowSource {
public:
    static constexpr std::uint16_t defaultPort = 15177;
    static constexpr int ownMark = 0x5176;
    static constexpr int interceptMark = 0x5177;
    static constexpr int passMark = 0x5178;
    static constexpr int refuseMark = 0x5179;
    static constexpr std::uint16_t gateQueue = 5177;
    static constexpr int routeTable = 5177;
    static constexpr double connectSeconds = 10;
    /// A UDP flow silent this long ends (and is decided again on its next datagram).
    static constexpr double udpIdleSeconds = 60;

    TransparentInterceptor(RelayQueue& queue, ExtensionState& state, TransparentProxyProvider& provider,
                           std::uint16_t port = defaultPort);
    ~TransparentInterceptor() override;

    std::optional<std::string> start() override;
    void stop() override;
    void blockedHostsChanged(const std::vector<std::string>& hosts) override;

    /// The nftables script that start loads; `gated`: new flows wait for the FlowGate's verdict.
    static std::string ruleset(std::uint16_t port, bool ipv6, bool gated);
    /// The iptables-restore script that sends new flows to the gate's queue (nftables here has
    /// no queue statement of its own); `ipv6` for ip6tables.
    static std::string gateRules(bool ipv6);

    /// Whether new flows are decided before they reach the daemon (see FlowGate).
    bool isGated() const { return m_gated; }

    /// Flows accepted since the start, and how many of them passed untouched.
    std::size_t acceptedCount() const { return m_accepted; }
    std::size_t passedCount() const { return m_passedCount; }
    /// UDP flows decided since the start.
    std::size_t udpFlowCount() const { return m_udpFlowsSeen; }
    /// New flows the gate decided since the start.
    std::size_t gatedCount() const { return m_gate.decidedCount(); }

private:
    void accept(asio::ip::tcp::acceptor& acceptor);
    void handle(asio::ip::tcp::socket socket);
    void receive(asio::ip::udp::socket& socket);
    void handleDatagram(asio::ip::udp::endpoint app, asio::ip::udp::endpoint destination,
                        std::vector<std::uint8_t> payload);
    void sweepUDP();
    std::uint32_t decideNewFlow(const FlowGate::Packet& packet);
    // The host a flow to `address` is matched by: a blocked name it resolves to, else its text.
    std::string hostFor(const asio::ip::address& address) const;
    void removeRules(bool quiet);
    std::optional<std::string> installRules();
    std::optional<std::string> installGateRules();

    RelayQueue& m_queue;
    ExtensionState& m_state;
    TransparentProxyProvider& m_provider;
    std::uint16_t m_port;
    ProcessClassifier m_classifier;
    SocketOwnerLookup m_owners;
    asio::io_context m_acceptContext; // accepts and classifies
    asio::executor_work_guard<asio::io_context::executor_type> m_acceptWork{
        asio::make_work_guard(m_acceptContext)};
    std::thread m_acceptThread;
    PassThroughPool m_passed;
    FlowGate m_gate; // on the accept thread: it shares the owner lookup
    BlockedHostAddresses m_blockedNames;
    std::unique_ptr<asio::ip::tcp::acceptor> m_v4;
    std::unique_ptr<asio::ip::tcp::acceptor> m_v6;
    std::unique_ptr<asio::ip::udp::socket> m_udp4;
    std::unique_ptr<asio::ip::udp::socket> m_udp6;
    // UDP flows by (app endpoint, original destination), on the accept thread. A null flow is
    // one whose datagrams are dropped (refused or cut).
    struct UDPEntry {
        std::shared_ptr<TransparentUDPFlow> flow;
        std::chrono::steady_clock::time_point lastActivity;
    };
    std::map<std::pair<asio::ip::udp::endpoint, asio::ip::udp::endpoint>, UDPEntry> m_udpFlows;
    std::unique_ptr<asio::steady_timer> m_udpSweep;
    std::shared_ptr<Link> m_unshaped; // passed UDP flows' link; on the relay queue
    std::atomic<std::size_t> m_udpFlowsSeen{0};
    std::atomic<std::size_t> m_accepted{0};
    std::atomic<std::size_t> m_passedCount{0};
    bool m_started = false;
    bool m_ipv6 = false;
    std::atomic<bool> m_gated{false};
};

} // namespace quorvex
