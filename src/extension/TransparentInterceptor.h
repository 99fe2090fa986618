#pragma once

#include "extension/FlowSource.h"
#include "extension/PassThroughPool.h"
#include "extension/ProcessClassifier.h"
#include "extension/SocketOwnerLookup.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvex {

class ExtensionState;
class RelayQueue;
class TransparentProxyProvider;

/// The system's flow interception on Linux, in the daemon's network namespace. While started:
/// - nftables table "inet quorvex" marks TCP packets that local processes send on connections
///   they opened (never to 127.0.0.0/8 or ::1, never of the daemon's own sockets, which carry
///   `ownMark`); policy routing sends marked packets back in through lo, where a tproxy rule hands
///   them to the daemon's IP_TRANSPARENT listeners on `port`;
/// - each accepted connection's original destination is its local address; its source process
///   comes from the classifier; the provider decides: pass untouched (spliced to a connection of
///   our own), refuse (reset), close, or relay through the rule's link on the relay queue.
/// Stopping removes the table, the rules and routes, closes the listeners and every passed flow.
class TransparentInterceptor final : public FlowSource {
public:
    static constexpr std::uint16_t defaultPort = 15177;
    static constexpr int ownMark = 0x5176;
    static constexpr int interceptMark = 0x5177;
    static constexpr int routeTable = 5177;
    static constexpr double connectSeconds = 10;

    TransparentInterceptor(RelayQueue& queue, ExtensionState& state, TransparentProxyProvider& provider,
                           std::uint16_t port = defaultPort);
    ~TransparentInterceptor() override;

    std::optional<std::string> start() override;
    void stop() override;

    /// The nftables script that start loads.
    static std::string ruleset(std::uint16_t port, bool ipv6);

    /// Flows accepted since the start, and how many of them passed untouched.
    std::size_t acceptedCount() const { return m_accepted; }
    std::size_t passedCount() const { return m_passedCount; }

private:
    void accept(asio::ip::tcp::acceptor& acceptor);
    void handle(asio::ip::tcp::socket socket);
    void removeRules(bool quiet);
    std::optional<std::string> installRules();

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
    std::unique_ptr<asio::ip::tcp::acceptor> m_v4;
    std::unique_ptr<asio::ip::tcp::acceptor> m_v6;
    std::atomic<std::size_t> m_accepted{0};
    std::atomic<std::size_t> m_passedCount{0};
    bool m_started = false;
    bool m_ipv6 = false;
};

} // namespace quorvex
