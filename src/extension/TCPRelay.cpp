#include "extension/TCPRelay.h"

#include "extension/ResourceShortage.h"

#include "extension/ExtensionState.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace quorvex {

namespace {
constexpr std::size_t kMiB = 1024 * 1024;
} // namespace

std::shared_ptr<TCPRelay> TCPRelay::start(ExtensionState& state, asio::io_context& context,
                                          std::unique_ptr<TCPFlow> flow, std::shared_ptr<Link> link,
                                          int upstream, bool connecting) {
    auto relay =
        std::make_shared<TCPRelay>(state, context, std::move(flow), std::move(link), upstream, connecting);
    state.registry().add(relay);
    relay->connect();
    return relay;
}

TCPRelay::TCPRelay(ExtensionState& state, asio::io_context& context, std::unique_ptr<TCPFlow> flow,
                   std::shared_ptr<Link> link, int upstream, bool connecting)
    : m_state(state)
    , m_flow(std::move(flow))
    , m_link(std::move(link))
    , m_connection(SocketStream::create(asio::ip::tcp::socket(context))) {
    if (upstream < 0)
        return;
    std::error_code error;
    m_connection->socket().assign(m_flow->remoteEndpoint().protocol(), upstream, error);
    if (error)
        ::close(upstream); // connect() opens one of its own
    m_prepared = !error;
    m_connecting = m_prepared && connecting;
}

std::size_t TCPRelay::holdLimit(const LinkShaper& shaper) {
    constexpr double floor = 1.0 * kMiB;
    constexpr double ceiling = 64.0 * kMiB;
    if (!shaper.bytesPerSecond())
        return shaper.delay() > 0 ? 8 * kMiB : kMiB;
    return static_cast<std::size_t>(
        std::clamp(2.0 * *shaper.bytesPerSecond() * shaper.delay(), floor, ceiling));
}

void TCPRelay::keepAlive(int nativeSocket) {
    const int on = 1;
    ::setsockopt(nativeSocket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(nativeSocket, IPPROTO_TCP, TCP_KEEPIDLE, &keepAliveIdleSeconds, sizeof keepAliveIdleSeconds);
    ::setsockopt(nativeSocket, IPPROTO_TCP, TCP_KEEPINTVL, &keepAliveIntervalSeconds,
                 sizeof keepAliveIntervalSeconds);
    ::setsockopt(nativeSocket, IPPROTO_TCP, TCP_KEEPCNT, &keepAliveProbes, sizeof keepAliveProbes);
}

void TCPRelay::armIdle(double seconds) {
    m_idleTimer = m_state.clock().schedule(seconds, [weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self || self->m_closed)
            return;
        const double quiet = self->m_state.clock().now() - self->m_lastActivity;
        if (quiet >= idleSeconds)
            return self->fail(asio::error::timed_out);
        self->armIdle(idleSeconds - quiet);
    });
}

void TCPRelay::connect() {
    m_lastActivity = m_state.clock().now();
    // A target that drops SYNs would hold the app for the kernel's two minutes and more.
    m_connectTimer = m_state.clock().schedule(connectSeconds, [weak = weak_from_this()] {
        if (auto self = weak.lock(); self && !self->m_closed)
            self->fail(asio::error::timed_out);
    });
    armIdle(idleSeconds);
    auto& socket = m_connection->socket();
    if (m_state.outboundMark() != 0 && !socket.is_open()) {
        std::error_code error;
        socket.open(m_flow->remoteEndpoint().protocol(), error);
        if (error && ResourceShortage::is(error.value()))
            m_state.noteUnrelayedFlow();
        if (error || !m_state.markOutbound(socket.native_handle()))
            return fail(error ? error : std::make_error_code(std::errc::operation_not_permitted));
    }
    if (m_connecting) {
        // Begun by the caller: done when the socket can be written, with the outcome in SO_ERROR.
        socket.async_wait(asio::socket_base::wait_write, [self = shared_from_this()](std::error_code error) {
            if (!error) {
                int outcome = 0;
                socklen_t size = sizeof outcome;
                if (::getsockopt(self->m_connection->socket().native_handle(), SOL_SOCKET, SO_ERROR, &outcome,
                                 &size) != 0)
                    outcome = errno;
                error = std::error_code(outcome, asio::error::get_system_category());
            }
            self->connected(error);
        });
        return;
    }
    socket.async_connect(m_flow->remoteEndpoint(),
                         [self = shared_from_this()](std::error_code error) { self->connected(error); });
}

void TCPRelay::connected(std::error_code error) {
    if (m_closed)
        return;
    m_connectTimer.reset();
    if (error)
        return fail(error);
    if (!m_prepared) {
        std::error_code ignored;
        m_connection->socket().set_option(asio::ip::tcp::no_delay(true), ignored);
        keepAlive(m_connection->socket().native_handle());
    }
    // Opening waits for the current delays of both directions, and for any stall.
    std::weak_ptr<TCPRelay> weak = shared_from_this();
    m_link->uplink.schedule(0, {}, [weak] {
        if (auto relay = weak.lock())
            relay->m_link->downlink.schedule(0, {}, [weak] {
                if (auto opening = weak.lock())
                    opening->openFlow();
            });
    });
}

void TCPRelay::openFlow() {
    if (m_closed)
        return;
    m_flow->open([self = shared_from_this()](std::error_code error) {
        if (self->m_closed)
            return;
        if (error)
            return self->fail(error);
        self->readFlow();
        self->receive();
    });
}

// Over the process-wide budget a direction still reads while it holds less than its guaranteed
// share, so relays whose peers are stuck cannot starve the ones that move.
bool TCPRelay::mayReadUp() const {
    const std::size_t held = m_upOnLink + m_connection->queuedBytes();
    return held < holdLimit(m_link->uplink) && (m_state.underBudget() || held < guaranteedBytes);
}

bool TCPRelay::mayReadDown() const {
    const std::size_t held = m_downOnLink + m_flow->queuedWriteBytes();
    return held < holdLimit(m_link->downlink) && (m_state.underBudget() || held < guaranteedBytes);
}

void TCPRelay::waitForBudget() {
    // Held back by the other relays: nothing of this one's own may drain to wake it.
    if (m_budgetWaiting || m_state.underBudget())
        return;
    m_budgetWaiting = true;
    m_state.waitForBudget([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->m_budgetWaiting = false;
            self->resumeReading();
        }
    });
}

void TCPRelay::noteHeld() {
    const std::size_t held = m_upData.size() - m_upOffset + m_upOnLink + m_connection->queuedBytes() +
                             m_downOnLink + m_flow->queuedWriteBytes();
    m_peakHeld = std::max(m_peakHeld, held);
    m_state.addHeld(static_cast<std::ptrdiff_t>(held) - static_cast<std::ptrdiff_t>(m_reportedHeld));
    m_reportedHeld = held;
}

void TCPRelay::resumeReading() {
    if (m_closed)
        return;
    noteHeld();
    if (m_upWaiting && mayReadUp()) {
        m_upWaiting = false;
        readFlow();
    }
    if (m_downWaiting && mayReadDown()) {
        m_downWaiting = false;
        receive();
    }
    if (m_upWaiting || m_downWaiting)
        waitForBudget();
}

// App to network.

void TCPRelay::readFlow() {
    m_flow->readData([self = shared_from_this()](std::vector<std::uint8_t> data, std::error_code error) {
        self->onFlowData(std::move(data), error);
    });
}

void TCPRelay::onFlowData(std::vector<std::uint8_t> data, std::error_code error) {
    if (m_closed)
        return;
    m_lastActivity = m_state.clock().now();
    if (error)
        return fail(error);
    if (data.empty()) {
        // The app closed its sending side: the end follows the data already on the link.
        m_link->uplink.schedule(0, {}, [weak = weak_from_this()] {
            auto self = weak.lock();
            if (!self || self->m_closed)
                return;
            self->m_connection->shutdownSend();
            self->m_flowFinished = true;
            if (self->m_remoteFinished)
                self->finish();
        });
        return;
    }
    m_upData = std::move(data);
    m_upOffset = 0;
    scheduleUpChunk();
}

void TCPRelay::scheduleUpChunk() {
    const std::size_t length = std::min(m_link->uplink.chunkSize(), m_upData.size() - m_upOffset);
    std::vector<std::uint8_t> chunk;
    if (m_upOffset == 0 && length == m_upData.size()) {
        chunk = std::move(m_upData);
        m_upData.clear();
    } else {
        chunk.assign(m_upData.begin() + static_cast<std::ptrdiff_t>(m_upOffset),
                     m_upData.begin() + static_cast<std::ptrdiff_t>(m_upOffset + length));
        m_upOffset += length;
    }
    m_upOnLink += length;
    noteHeld();
    std::weak_ptr<TCPRelay> weak = weak_from_this();
    m_link->uplink.schedule(
        static_cast<std::int64_t>(length),
        [weak] {
            if (auto self = weak.lock())
                self->onUpSent();
        },
        [weak, chunk = std::move(chunk)]() mutable {
            auto self = weak.lock();
            if (!self)
                return;
            self->m_upOnLink -= chunk.size();
            if (self->m_closed)
                return;
            self->m_connection->write(std::move(chunk), [self](std::error_code error) {
                if (self->m_closed)
                    return;
                if (error)
                    return self->fail(error);
                self->resumeReading();
            });
            self->noteHeld();
            self->resumeReading();
        });
}

void TCPRelay::onUpSent() {
    if (m_closed)
        return;
    if (m_upOffset < m_upData.size())
        return scheduleUpChunk();
    m_upData.clear();
    m_upOffset = 0;
    if (mayReadUp()) {
        readFlow();
    } else {
        m_upWaiting = true;
        waitForBudget();
    }
}

// Network to app.

void TCPRelay::receive() {
    m_connection->read(
        m_link->downlink.chunkSize(),
        [self = shared_from_this()](std::vector<std::uint8_t> data, bool finished, std::error_code error) {
            self->onReceived(std::move(data), finished, error);
        });
}

void TCPRelay::onReceived(std::vector<std::uint8_t> data, bool finished, std::error_code error) {
    if (m_closed)
        return;
    m_lastActivity = m_state.clock().now();
    const std::size_t length = data.size();
    m_downOnLink += length;
    noteHeld();
    std::weak_ptr<TCPRelay> weak = weak_from_this();
    m_link->downlink.schedule(
        static_cast<std::int64_t>(length),
        [weak, finished, error] {
            auto self = weak.lock();
            if (!self || self->m_closed || finished || error)
                return;
            if (self->mayReadDown()) {
                self->receive();
            } else {
                self->m_downWaiting = true;
                self->waitForBudget();
            }
        },
        [weak, data = std::move(data), finished, error]() mutable {
            auto self = weak.lock();
            if (!self)
                return;
            self->m_downOnLink -= data.size();
            if (self->m_closed)
                return;
            if (!data.empty()) {
                self->m_flow->write(std::move(data), [self](std::error_code writeError) {
                    if (self->m_closed)
                        return;
                    if (writeError)
                        return self->fail(writeError);
                    self->resumeReading();
                });
                self->noteHeld();
            }
            if (error)
                return self->fail(error);
            if (finished) {
                self->m_flow->closeWrite({});
                self->m_remoteFinished = true;
                if (self->m_flowFinished)
                    return self->finish();
            }
            self->resumeReading();
        });
}

// Ends.

void TCPRelay::finish() {
    if (m_closed)
        return;
    auto keep = shared_from_this(); // the registry may hold the last reference
    end();
    m_connection->close();
    m_flow->closeRead({});
    m_flow->closeWrite({});
}

void TCPRelay::close() {
    fail(asio::error::connection_reset);
}

void TCPRelay::fail(std::error_code error) {
    if (m_closed)
        return;
    auto keep = shared_from_this(); // the registry may hold the last reference
    end();
    if (error) {
        m_connection->abort();
    } else {
        m_connection->close();
    }
    m_flow->closeRead(error);
    m_flow->closeWrite(error);
}

void TCPRelay::end() {
    m_closed = true;
    m_connectTimer.reset();
    m_idleTimer.reset();
    m_upData.clear();
    m_state.addHeld(-static_cast<std::ptrdiff_t>(m_reportedHeld));
    m_reportedHeld = 0;
    m_state.registry().remove(this);
}

} // namespace quorvex
