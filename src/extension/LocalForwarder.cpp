#include "extension/LocalForwarder.h"

#include "extension/SocketTCPFlow.h"
#include "extension/TCPRelay.h"
#include "extension/UDPRelay.h"

#include <asio/post.hpp>

#include <chrono>
#include <deque>

namespace quorvex {

/// One UDP peer of the front, seen as a flow: what the peer sends waits here (up to a bound, like
/// a socket buffer) until the relay reads it; what the relay writes goes back to the peer from
/// the front's socket.
class FrontUDPFlow final : public UDPFlow, public std::enable_shared_from_this<FrontUDPFlow> {
public:
    FrontUDPFlow(asio::ip::udp::socket& socket, asio::ip::udp::endpoint peer, asio::ip::udp::endpoint target)
        : m_socket(socket)
        , m_peer(std::move(peer))
        , m_target(std::move(target)) {}

    void open(std::function<void(std::error_code)> completion) override {
        asio::post(m_socket.get_executor(), [completion = std::move(completion)] { completion({}); });
    }

    void readDatagrams(std::function<void(std::vector<Datagram>, std::error_code)> completion) override {
        m_pendingRead = std::move(completion);
        serve();
    }

    void writeDatagrams(std::vector<Datagram> datagrams,
                        std::function<void(std::error_code)> completion) override {
        if (!m_writeClosed && m_socket.is_open()) {
            for (const Datagram& datagram : datagrams) {
                std::error_code ignored; // a full buffer drops the datagram, as a network would
                m_socket.send_to(asio::buffer(datagram.payload), m_peer, 0, ignored);
            }
        }
        if (completion)
            asio::post(m_socket.get_executor(), [completion = std::move(completion)] { completion({}); });
    }

    void closeRead(std::error_code) override {
        m_readClosed = true;
        m_inbound.clear();
        m_pendingRead = nullptr;
    }
    void closeWrite(std::error_code) override { m_writeClosed = true; }

    bool isClosed() const { return m_readClosed && m_writeClosed; }

    void arrive(std::vector<std::uint8_t> payload) {
        m_lastActivity = std::chrono::steady_clock::now();
        if (m_readClosed || m_inboundBytes + payload.size() > kInboundLimit)
            return;
        m_inboundBytes += payload.size();
        m_inbound.push_back({std::move(payload), m_target});
        serve();
    }

    /// Ends the flow: the relay's next read sees the end.
    void end() {
        m_ended = true;
        serve();
    }

    std::chrono::steady_clock::time_point lastActivity() const { return m_lastActivity; }

private:
    static constexpr std::size_t kInboundLimit = 1024 * 1024;

    void serve() {
        if (!m_pendingRead || (m_inbound.empty() && !m_ended))
            return;
        std::vector<Datagram> batch(std::make_move_iterator(m_inbound.begin()),
                                    std::make_move_iterator(m_inbound.end()));
        m_inbound.clear();
        m_inboundBytes = 0;
        auto completion = std::move(m_pendingRead);
        m_pendingRead = nullptr;
        asio::post(m_socket.get_executor(),
                   [completion = std::move(completion), batch = std::move(batch)]() mutable {
                       completion(std::move(batch), {});
                   });
    }

    asio::ip::udp::socket& m_socket;
    asio::ip::udp::endpoint m_peer;
    asio::ip::udp::endpoint m_target;
    std::deque<Datagram> m_inbound;
    std::size_t m_inboundBytes = 0;
    std::function<void(std::vector<Datagram>, std::error_code)> m_pendingRead;
    bool m_readClosed = false;
    bool m_writeClosed = false;
    bool m_ended = false;
    std::chrono::steady_clock::time_point m_lastActivity = std::chrono::steady_clock::now();
};

namespace {

std::string text(const asio::ip::tcp::endpoint& endpoint) {
    const auto address = endpoint.address();
    return (address.is_v6() ? "[" + address.to_string() + "]" : address.to_string()) + ":" +
           std::to_string(endpoint.port());
}

} // namespace

LocalForwarder::LocalForwarder(ExtensionState& state, asio::io_context& context, Options options)
    : m_state(state)
    , m_context(context)
    , m_options(std::move(options))
    , m_acceptor(context)
    , m_udpSocket(context)
    , m_sweepTimer(context)
    , m_udpBuffer(65536)
    , m_alive(std::make_shared<bool>(true)) {}

LocalForwarder::~LocalForwarder() {
    *m_alive = false;
    stop();
}

void LocalForwarder::start() {
    // Made now, while descriptors are there: made on the first unshaped flow, it could find none.
    if (m_options.tcp && m_options.passUnshaped && !m_passThrough)
        m_passThrough = std::make_unique<PassThroughPool>();
    if (m_options.tcp) {
        m_acceptor.open(m_options.listen.protocol());
        m_acceptor.set_option(asio::socket_base::reuse_address(true));
        m_acceptor.bind(m_options.listen);
        m_acceptor.listen();
        accept();
    }
    if (m_options.udp) {
        const asio::ip::udp::endpoint listen(m_options.listen.address(), m_options.listen.port());
        m_udpSocket.open(listen.protocol());
        m_udpSocket.bind(listen);
        m_udpSocket.non_blocking(true);
        receiveDatagrams();
        sweepIdleFlows();
    }
}

void LocalForwarder::stop() {
    std::error_code ignored;
    m_acceptor.close(ignored);
    m_udpSocket.close(ignored);
    m_sweepTimer.cancel();
    m_acceptRetry.reset();
    if (m_passThrough)
        m_passThrough->closeAll();
    for (const auto& relay : m_state.registry().collect([](const Closable&) { return true; }))
        relay->close();
    m_udpFlows.clear();
}

asio::ip::tcp::endpoint LocalForwarder::tcpEndpoint() const {
    std::error_code ignored;
    return m_acceptor.local_endpoint(ignored);
}

asio::ip::udp::endpoint LocalForwarder::udpEndpoint() const {
    std::error_code ignored;
    return m_udpSocket.local_endpoint(ignored);
}

std::shared_ptr<Link> LocalForwarder::link() {
    if (auto link = m_state.link(m_options.linkKey))
        return link;
    if (!m_unshaped)
        m_unshaped = Link::create(m_state.clock(), m_state.registry(), m_state.logger());
    return m_unshaped;
}

void LocalForwarder::accept() {
    m_acceptor.async_accept([this, alive = m_alive](std::error_code error, asio::ip::tcp::socket socket) {
        if (!*alive || !m_acceptor.is_open() || error == asio::error::operation_aborted)
            return;
        if (error) {
            // Out of descriptors the same failure comes back at once: re-arming at once burnt a
            // core and starved new clients. Pause, and say it once a minute: each pause frees a
            // descriptor or two (a reset flow), so accepts succeed and fail by turns meanwhile.
            const double now = m_state.clock().now();
            if (!(now - m_acceptFailureLoggedAt < acceptFailureLogSeconds)) {
                m_state.logger().error("Accepting failed: %{public}s", error.message());
                m_acceptFailureLoggedAt = now;
            }
            m_acceptRetry = m_state.clock().schedule(acceptBackOffSeconds, [this, alive] {
                if (*alive && m_acceptor.is_open())
                    accept();
            });
            return;
        }
        try {
            std::error_code ignored;
            const std::string peer = text(socket.remote_endpoint(ignored));
            const std::string host = m_options.target.address().to_string();
            auto link = this->link();
            if (ThrottlePlan::isBlocked(host, m_state.plan().blockedHosts)) {
                m_state.logger().debug("Blocked %{public}s for %{public}s", host, peer);
                socket.set_option(asio::socket_base::linger(true, 0), ignored);
                socket.close(ignored);
            } else if (link->isCut()) {
                socket.close(ignored);
            } else if (m_options.passUnshaped && link->isUnlimited()) {
                const int fd = socket.release(ignored);
                if (!ignored)
                    m_passThrough->pass(fd, m_options.target);
            } else {
                m_state.logger().debug("TCP %{public}s → %{public}s", peer, text(m_options.target));
                TCPRelay::start(m_state, m_context,
                                std::make_unique<SocketTCPFlow>(std::move(socket), m_options.target), link);
            }
        } catch (const std::exception& failure) {
            // Out of descriptors for the flow's other side, say: this client is reset, the next
            // one is served.
            m_state.logger().error("Relaying a connection failed: %{public}s", failure.what());
            if (socket.is_open()) {
                std::error_code ignored;
                socket.set_option(asio::socket_base::linger(true, 0), ignored);
                socket.close(ignored);
            }
        }
        accept();
    });
}

void LocalForwarder::receiveDatagrams() {
    m_udpSocket.async_receive_from(
        asio::buffer(m_udpBuffer), m_udpPeer,
        [this, alive = m_alive](std::error_code error, std::size_t length) {
            if (!*alive || !m_udpSocket.is_open())
                return;
            if (!error) {
                auto it = m_udpFlows.find(m_udpPeer);
                if (it != m_udpFlows.end() && it->second->isClosed()) {
                    m_udpFlows.erase(it);
                    it = m_udpFlows.end();
                }
                if (it == m_udpFlows.end()) {
                    const asio::ip::udp::endpoint target(m_options.target.address(), m_options.target.port());
                    auto link = this->link();
                    if (ThrottlePlan::isBlocked(target.address().to_string(), m_state.plan().blockedHosts) ||
                        link->isCut())
                        return receiveDatagrams();
                    auto flow = std::make_shared<FrontUDPFlow>(m_udpSocket, m_udpPeer, target);
                    it = m_udpFlows.emplace(m_udpPeer, flow).first;
                    std::error_code ignored;
                    m_state.logger().debug("UDP %{public}s", m_udpPeer.address().to_string());
                    UDPRelay::start(m_state, m_context, std::make_unique<SharedUDPFlow>(flow), link);
                }
                it->second->arrive(std::vector<std::uint8_t>(
                    m_udpBuffer.begin(), m_udpBuffer.begin() + static_cast<std::ptrdiff_t>(length)));
            }
            receiveDatagrams();
        });
}

void LocalForwarder::sweepIdleFlows() {
    m_sweepTimer.expires_after(std::chrono::milliseconds(500));
    m_sweepTimer.async_wait([this, alive = m_alive](std::error_code error) {
        if (!*alive || error)
            return;
        const auto now = std::chrono::steady_clock::now();
        const auto idle = std::chrono::duration<double>(m_options.udpIdleSeconds);
        for (auto it = m_udpFlows.begin(); it != m_udpFlows.end();) {
            if (it->second->isClosed()) {
                it = m_udpFlows.erase(it);
                continue;
            }
            if (now - it->second->lastActivity() > idle)
                it->second->end();
            ++it;
        }
        sweepIdleFlows();
    });
}

} // namespace quorvex
