#include "extension/UDPRelay.h"

#include "extension/ExtensionState.h"

#include <asio/buffer.hpp>

namespace quorvex {

std::shared_ptr<UDPRelay> UDPRelay::start(ExtensionState& state, asio::io_context& context,
                                          std::unique_ptr<UDPFlow> flow, std::shared_ptr<Link> link) {
    auto relay = std::make_shared<UDPRelay>(state, context, std::move(flow), std::move(link));
    state.registry().add(relay);
    relay->open();
    return relay;
}

UDPRelay::UDPRelay(ExtensionState& state, asio::io_context& context, std::unique_ptr<UDPFlow> flow,
                   std::shared_ptr<Link> link)
    : m_state(state)
    , m_context(context)
    , m_flow(std::move(flow))
    , m_link(std::move(link)) {}

void UDPRelay::open() {
    m_flow->open([self = shared_from_this()](std::error_code error) {
        if (self->m_closed)
            return;
        if (error)
            return self->close();
        self->readFlow();
    });
}

bool UDPRelay::dropped() {
    const LinkConditions& conditions = m_link->conditions;
    if (conditions.stalled)
        return true;
    return conditions.packetLoss > 0 && m_state.randomUnit() < conditions.packetLoss;
}

bool UDPRelay::isFull(const LinkShaper& shaper, std::size_t held, std::size_t adding) const {
    return held + adding > maximumHeldBytes || shaper.backlog() > maximumHeldSeconds ||
           !m_state.underBudget();
}

// App to network.

void UDPRelay::readFlow() {
    m_flow->readDatagrams(
        [self = shared_from_this()](std::vector<Datagram> datagrams, std::error_code error) {
            self->onDatagrams(std::move(datagrams), error);
        });
}

void UDPRelay::onDatagrams(std::vector<Datagram> datagrams, std::error_code error) {
    if (m_closed)
        return;
    if (error || datagrams.empty())
        return close();
    std::vector<Datagram> passed;
    for (Datagram& datagram : datagrams) {
        if (dropped() || isFull(m_link->uplink, m_upHeld, datagram.payload.size()))
            continue;
        m_upHeld += datagram.payload.size();
        m_state.addHeld(static_cast<std::ptrdiff_t>(datagram.payload.size()));
        passed.push_back(std::move(datagram));
    }
    m_peakHeld = std::max(m_peakHeld, m_upHeld);
    if (passed.empty())
        return readFlow();
    std::weak_ptr<UDPRelay> weak = weak_from_this();
    auto unsent = std::make_shared<std::size_t>(passed.size());
    for (Datagram& datagram : passed) {
        const auto length = static_cast<std::int64_t>(datagram.payload.size());
        m_link->uplink.schedule(
            length,
            [weak, unsent] {
                auto self = weak.lock();
                if (self && --*unsent == 0 && !self->m_closed)
                    self->readFlow();
            },
            [weak, datagram = std::move(datagram)] {
                auto self = weak.lock();
                if (!self)
                    return;
                self->m_upHeld -= datagram.payload.size();
                if (!self->m_closed)
                    self->m_state.addHeld(-static_cast<std::ptrdiff_t>(datagram.payload.size()));
                if (self->m_closed)
                    return;
                if (auto connection = self->connectionFor(datagram.endpoint)) {
                    std::error_code ignored; // a full send buffer drops the datagram, as a network would
                    connection->socket.send(asio::buffer(datagram.payload), 0, ignored);
                }
            });
    }
}

std::shared_ptr<UDPRelay::Connection> UDPRelay::connectionFor(const asio::ip::udp::endpoint& endpoint) {
    if (auto it = m_connections.find(endpoint); it != m_connections.end())
        return it->second;
    auto connection = std::make_shared<Connection>(m_context);
    connection->remote = endpoint;
    std::error_code error;
    connection->socket.open(endpoint.protocol(), error);
    if (!error && !m_state.markOutbound(connection->socket.native_handle()))
        error = std::make_error_code(std::errc::operation_not_permitted);
    if (!error)
        connection->socket.connect(endpoint, error);
    if (!error)
        connection->socket.non_blocking(true, error);
    if (error)
        return nullptr; // a failed connection is forgotten; the next datagram tries again
    m_connections[endpoint] = connection;
    receive(connection);
    return connection;
}

void UDPRelay::forget(const std::shared_ptr<Connection>& connection) {
    std::error_code ignored;
    connection->socket.close(ignored);
    if (auto it = m_connections.find(connection->remote);
        it != m_connections.end() && it->second == connection)
        m_connections.erase(it);
}

// Network to app.

void UDPRelay::receive(const std::shared_ptr<Connection>& connection) {
    // Wait for a datagram before taking a buffer for it, sized to the datagram: an idle peer holds
    // no buffer.
    connection->socket.async_wait(asio::socket_base::wait_read, [self = shared_from_this(),
                                                                 connection](std::error_code error) {
        if (self->m_closed)
            return;
        std::size_t length = 0;
        if (!error) {
            std::error_code ignored;
            const std::size_t available = connection->socket.available(ignored);
            connection->buffer.resize(std::max<std::size_t>(available, 1));
            length = connection->socket.receive(asio::buffer(connection->buffer), 0, error);
            if (error == asio::error::would_block || error == asio::error::try_again)
                return self->receive(connection);
        }
        if (error) {
            // A refused or broken socket has failed: forget it, the next datagram makes another.
            if (error != asio::error::operation_aborted)
                self->forget(connection);
            return;
        }
        ++self->m_received;
        if (length > 0 && !self->dropped() &&
            !self->isFull(self->m_link->downlink, self->m_downHeld, length)) {
            self->m_downHeld += length;
            self->m_state.addHeld(static_cast<std::ptrdiff_t>(length));
            self->m_peakHeld = std::max(self->m_peakHeld, self->m_downHeld);
            Datagram datagram{
                std::vector<std::uint8_t>(connection->buffer.begin(),
                                          connection->buffer.begin() + static_cast<std::ptrdiff_t>(length)),
                connection->remote};
            self->m_link->downlink.schedule(
                static_cast<std::int64_t>(length), {},
                [weak = std::weak_ptr<UDPRelay>(self), datagram = std::move(datagram)]() mutable {
                    auto relay = weak.lock();
                    if (!relay)
                        return;
                    relay->m_downHeld -= datagram.payload.size();
                    if (!relay->m_closed)
                        relay->m_state.addHeld(-static_cast<std::ptrdiff_t>(datagram.payload.size()));
                    if (relay->m_closed)
                        return;
                    std::vector<Datagram> batch;
                    batch.push_back(std::move(datagram));
                    relay->m_flow->writeDatagrams(std::move(batch), [](std::error_code) {});
                });
        }
        std::vector<std::uint8_t>().swap(connection->buffer);
        self->receive(connection);
    });
}

void UDPRelay::close() {
    if (m_closed)
        return;
    m_state.addHeld(-static_cast<std::ptrdiff_t>(m_upHeld + m_downHeld));
    auto keep = shared_from_this(); // the registry may hold the last reference
    m_closed = true;
    for (auto& [endpoint, connection] : m_connections) {
        std::error_code ignored;
        connection->socket.close(ignored);
    }
    m_connections.clear();
    m_flow->closeRead({});
    m_flow->closeWrite({});
    m_state.registry().remove(this);
}

} // namespace quorvex
