#pragma once

#include "extension/Closable.h"
#include "extension/UDPFlow.h"

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include <map>
#include <memory>
#include <system_error>

namespace quorvex {

class ExtensionState;
class LinkShaper;

/// Carries one UDP flow of a shaped app: one UDP socket per remote endpoint the app sends to,
/// made on the first datagram to it, and every datagram through the shapers of the flow's Link.
/// A datagram is dropped during a stall, with the phase's loss as probability, and when its
/// direction already holds a second of link time or 1 MiB of datagrams (a flood cannot grow
/// memory without limit). Reading from the app resumes only when the whole last batch has left
/// the link.
///
/// Lives on the relay queue; the registry and pending callbacks hold it. Once closed, its sockets
/// are closed and every late callback does nothing.
class UDPRelay final : public Closable, public std::enable_shared_from_this<UDPRelay> {
public:
    /// Creates, registers and starts a relay for `flow` over `link`. Call on the relay queue.
    static std::shared_ptr<UDPRelay> start(ExtensionState& state, asio::io_context& context,
                                           std::unique_ptr<UDPFlow> flow, std::shared_ptr<Link> link);

    const std::shared_ptr<Link>& link() const override { return m_link; }
    void close() override;

    bool isClosed() const { return m_closed; }
    std::size_t connectionCount() const { return m_connections.size(); }
    /// Datagrams that arrived from the network, whether passed or dropped.
    std::size_t receivedCount() const { return m_received; }
    /// The most bytes of datagrams the relay held at once in one direction.
    std::size_t peakHeldBytes() const { return m_peakHeld; }

    static constexpr std::size_t maximumHeldBytes = 1024 * 1024;
    static constexpr double maximumHeldSeconds = 1.0;

    UDPRelay(ExtensionState& state, asio::io_context& context, std::unique_ptr<UDPFlow> flow,
             std::shared_ptr<Link> link);

private:
    struct Connection {
        explicit Connection(asio::io_context& context)
            : socket(context) {}
        asio::ip::udp::socket socket;
        asio::ip::udp::endpoint remote;
        std::vector<std::uint8_t> buffer;
    };

    void open();
    void readFlow();
    void onDatagrams(std::vector<Datagram> datagrams, std::error_code error);
    std::shared_ptr<Connection> connectionFor(const asio::ip::udp::endpoint& endpoint);
    void receive(const std::shared_ptr<Connection>& connection);
    void forget(const std::shared_ptr<Connection>& connection);
    bool dropped();
    bool isFull(const LinkShaper& shaper, std::size_t held, std::size_t adding) const;

    ExtensionState& m_state;
    asio::io_context& m_context;
    std::unique_ptr<UDPFlow> m_flow;
    std::shared_ptr<Link> m_link;
    std::map<asio::ip::udp::endpoint, std::shared_ptr<Connection>> m_connections;
    bool m_closed = false;
    std::size_t m_upHeld = 0;
    std::size_t m_downHeld = 0;
    std::size_t m_peakHeld = 0;
    std::size_t m_received = 0;
};

} // namespace quorvex
