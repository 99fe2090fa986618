#pragma once

#include "extension/ExtensionState.h"
#include "extension/PassThroughPool.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ip/udp.hpp>
#include <asio/steady_timer.hpp>

#include <map>
#include <memory>
#include <string>

namespace quorvex {

class FrontUDPFlow;

/// The local forwarding front: a stand-in flow source for tests and benchmarks until the real
/// provider arrives. It listens on a loopback address and relays each accepted TCP connection,
/// and each UDP peer, to one fixed target through the Link filed under `linkKey` in the state
/// (an unshaped link of its own when there is none), as the provider would for a shaped app:
/// a blocked target is refused with a reset, a cut link closes new flows at once.
///
/// Lives on the relay queue: create, start and stop it there. Stopping closes the listeners and
/// every relay of the state, as the provider's stop does.
class LocalForwarder final {
public:
    struct Options {
        asio::ip::tcp::endpoint listen; // port 0 picks a free one
        asio::ip::tcp::endpoint target; // TCP and UDP go to this address and port
        std::string linkKey = "*";
        bool tcp = true;
        bool udp = true;
        double udpIdleSeconds = 60; // a UDP peer silent this long ends its flow
        bool passUnshaped = false;  // splice TCP flows of an unshaped link instead of relaying them
    };

    /// How long accepting pauses after a failure (out of descriptors), on the state's clock.
    static constexpr double acceptBackOffSeconds = 0.1;
    /// An accept failure that keeps coming back is logged again only after this long.
    static constexpr double acceptFailureLogSeconds = 60;

    LocalForwarder(ExtensionState& state, asio::io_context& context, Options options);
    ~LocalForwarder();

    /// Binds the listeners; throws std::system_error when an address is taken.
    void start();
    void stop();

    asio::ip::tcp::endpoint tcpEndpoint() const;
    asio::ip::udp::endpoint udpEndpoint() const;
    std::size_t udpFlowCount() const { return m_udpFlows.size(); }

private:
    std::shared_ptr<Link> link();
    void accept();
    void receiveDatagrams();
    void sweepIdleFlows();

    ExtensionState& m_state;
    asio::io_context& m_context;
    Options m_options;
    std::shared_ptr<Link> m_unshaped;
    asio::ip::tcp::acceptor m_acceptor;
    asio::ip::udp::socket m_udpSocket;
    asio::steady_timer m_sweepTimer;
    std::vector<std::uint8_t> m_udpBuffer;
    asio::ip::udp::endpoint m_udpPeer;
    std::map<asio::ip::udp::endpoint, std::shared_ptr<FrontUDPFlow>> m_udpFlows;
    std::unique_ptr<ScheduledCall> m_acceptRetry;
    double m_acceptFailureLoggedAt = -acceptFailureLogSeconds;
    std::unique_ptr<PassThroughPool> m_passThrough;
    std::shared_ptr<bool> m_alive;
};

} // namespace quorvex
