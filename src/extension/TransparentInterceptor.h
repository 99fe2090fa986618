#pragma once

#include "extension/BlockedHostAddresses.h"
#include "extension/FlowGate.h"
#include "extension/FlowSource.h"
#include "extension/HeldRuleset.h"
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
#include <tuple>
#include <vector>

namespace quorvex {

class ExtensionState;
class Logger;
class Link;
class ResourceShortage;
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
    static constexpr const char* tableName = "quorvex";
    static constexpr double connectSeconds = 10;
    /// A UDP flow silent this long ends (and is decided again on its next datagram).
    static constexpr double udpIdleSeconds = 60;

    /// `mayQueue` false decides every flow once the daemon has accepted it, even where the
    /// kernel has a netfilter queue.
    TransparentInterceptor(RelayQueue& queue, ExtensionState& state, TransparentProxyProvider& provider,
                           std::uint16_t port = defaultPort, bool mayQueue = true);
    ~TransparentInterceptor() override;

    std::optional<std::string> start() override;
    void stop() override;
    void blockedHostsChanged(const std::vector<std::string>& hosts) override;

    /// The nftables script that start loads; `gated`: new flows wait for the FlowGate's verdict.
    static std::string ruleset(std::uint16_t port, bool ipv6, bool gated);
    /// The iptables-restore script that sends new flows to the gate's queue (nftables here has
    /// no queue statement of its own); `ipv6` for ip6tables.
    static std::string gateRules(bool ipv6);

    /// Removes what a daemon that ended without stopping left in this network namespace: its
    /// policy routing, the gate's chain and a table it did not hold. Answers why nothing was
    /// removed when a live daemon holds the table (a table still held after `orphanGrace`, which
    /// is how long a killed daemon's table may outlive it).
    static std::optional<std::string> removeLeftovers();
    static constexpr std::chrono::milliseconds orphanGrace{2000};

    /// Whether new flows are decided before they reach the daemon (see FlowGate).
    bool isGated() const { return m_gated; }

    /// Flows accepted since the start, and how many of them passed untouched.
    std::size_t acceptedCount() const { return m_accepted; }
    std::size_t passedCount() const { return m_passedCount; }
    /// UDP flows decided since the start.
    std::size_t udpFlowCount() const { return m_udpFlowsSeen; }
    /// New flows the gate decided since the start.
    std::size_t gatedCount() const { return m_gate.decidedCount(); }
    UndecidedFlows undecidedFlows() const override;

private:
    void accept(asio::ip::tcp::acceptor& acceptor);
    // `since`: when the flow first waited for descriptors to tell its source (none yet: zero).
    void handle(asio::ip::tcp::socket socket, std::chrono::steady_clock::time_point since = {});
    // Decides and carries out a flow; `name` is the one its first bytes gave, if read.
    void dispatch(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& target,
                  const std::optional<std::string>& path, int upstream,
                  const std::optional<std::string>& name);
    // Reads a simulator app's first bytes for the name they give (ServerNameReader), waiting for
    // more while they are incomplete, within its time; then dispatches.
    void readName(std::shared_ptr<asio::ip::tcp::socket> socket, asio::ip::tcp::endpoint target,
                  std::optional<std::string> path, int upstream,
                  std::shared_ptr<asio::steady_timer> deadline = {});
    // A socket for a relay's connection; throws ResourceShortage. prepareUpstream marks it and
    // sets what every relayed connection has (no delay, keepalive), on whichever thread connects.
    int openUpstream(const asio::ip::tcp& protocol) const;
    static void prepareUpstream(int fd);
    // Runs `finish` for a flow; one that waited lets the paused accepts go on once none waits.
    template <typename Finish> void settle(bool waited, Finish&& finish);
    void noteShortage(const ResourceShortage& shortage);
    void receive(asio::ip::udp::socket& socket);
    void handleDatagram(asio::ip::udp::endpoint app, asio::ip::udp::endpoint destination,
                        std::vector<std::uint8_t> payload);
    void sweepUDP();
    std::optional<std::uint32_t> decideNewFlow(const FlowGate::Packet& packet);
    // The host a flow to `address` is matched by: a blocked name it resolves to, else its text.
    std::string hostFor(const asio::ip::address& address) const;
    void removeRules(bool quiet);
    // The policy routing and the gate's chain; failures of what was installed go to `logger`.
    static void removeRouting(const Logger* logger, bool gated, bool ipv6);
    std::optional<std::string> installRules();
    std::optional<std::string> installGateRules();

    RelayQueue& m_queue;
    ExtensionState& m_state;
    TransparentProxyProvider& m_provider;
    std::uint16_t m_port;
    bool m_mayQueue;
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
    // Flows accepted (or datagrams received) whose source could not be told at once, since the
    // daemon started; the gate counts its own.
    std::atomic<std::size_t> m_heldFlows{0};
    std::atomic<std::size_t> m_refusedFlows{0};
    std::atomic<bool> m_shortageLogged{false};
    // Simulator apps' flows the gate sent on to the daemon, by (app, destination), with the app's
    // path; on the accept thread, taken when the flow is accepted.
    using FlowKey = std::tuple<asio::ip::address, std::uint16_t, asio::ip::address, std::uint16_t>;
    std::map<FlowKey, std::string> m_classified;
    static constexpr std::size_t classifiedLimit = 65536;
    // On the accept thread: accepted flows waiting for descriptors, and the listeners paused
    // meanwhile.
    std::size_t m_waiting = 0;
    std::vector<asio::ip::tcp::acceptor*> m_pausedAcceptors;
    int m_spare = -1; // a descriptor kept for a flow that comes while none is left
    // The table; the kernel removes it when its holder (and so the daemon) ends.
    HeldRuleset m_ruleset;
    std::atomic<bool> m_started{false};
    bool m_ipv6 = false;
    std::atomic<bool> m_gated{false};
    // The plan blocks names (not only addresses): simulator apps' TCP flows are read for theirs.
    std::atomic<bool> m_blocksNames{false};
};

} // namespace quorvex
