#pragma once

#include "extension/Closable.h"
#include "extension/SocketStream.h"
#include "extension/TCPFlow.h"
#include "platform/core/Clock.h"

#include <asio/io_context.hpp>

#include <memory>
#include <system_error>
#include <vector>

namespace quorvex {

class ExtensionState;
class LinkShaper;

/// Carries one TCP flow of a shaped app: its own connection to the flow's remote endpoint, and the
/// bytes of both directions through the shapers of the flow's Link (app to network through
/// `uplink`, network to app through `downlink`).
///
/// Ordering: each direction reads one piece, cuts it into chunks of the shaper's chunk size and
/// reads the next piece only when the last chunk has left the link ("sent"), and only while what
/// that direction holds (bytes on the link plus bytes waiting to be written) stays below a bound,
/// so a slow reader or a fast sender cannot grow memory without limit. Each side's end of stream
/// travels behind its data; the relay finishes cleanly once both ends have passed.
///
/// Ends: a natural end closes both sides cleanly after their queues drain. An error, and `close()`
/// (a cut link, a removed rule, a stop), reset both sides, so a truncated transfer is never taken
/// for a complete one.
///
/// Lives on the relay queue. The registry and the pending callbacks hold the relay; once closed it
/// leaves the registry and every late callback finds it closed and does nothing.
class TCPRelay final : public Closable, public std::enable_shared_from_this<TCPRelay> {
public:
    /// Creates, registers and starts a relay for `flow` over `link`. Call on the relay queue.
    /// `upstream`, when given, is an open, unconnected socket (marked as the state asks, with no
    /// delay and keepalive on) for the connection to the remote end: the caller made sure of it
    /// before taking the flow, while descriptors were short. `connecting`: its non-blocking connect
    /// to the remote end was begun already.
    static std::shared_ptr<TCPRelay> start(ExtensionState& state, asio::io_context& context,
                                           std::unique_ptr<TCPFlow> flow, std::shared_ptr<Link> link,
                                           int upstream = -1, bool connecting = false);

    const std::shared_ptr<Link>& link() const override { return m_link; }
    void close() override;

    bool isClosed() const { return m_closed; }
    /// The most bytes the relay has held at once (on the link, cut from reads, waiting to be
    /// written), for tests and benchmarks.
    std::size_t peakHeldBytes() const { return m_peakHeld; }

    /// How much a direction may hold before it stops reading: a few round trips of the link at
    /// its cap, and at least 1 MiB.
    static std::size_t holdLimit(const LinkShaper& shaper);

    /// A connection to the remote end must be made within this; a relay with no byte in either
    /// direction for `idleSeconds` ends. Both on the state's clock. Keepalive probes find a peer
    /// that vanished without a word long before that.
    static constexpr double connectSeconds = 10;
    static constexpr double idleSeconds = 2 * 60 * 60;
    static constexpr int keepAliveIdleSeconds = 60;
    static constexpr int keepAliveIntervalSeconds = 10;
    static constexpr int keepAliveProbes = 3;
    /// Turns keepalive on for one side of a relay.
    static void keepAlive(int nativeSocket);

    /// What a direction may always hold, whatever the process-wide budget says.
    static constexpr std::size_t guaranteedBytes = 64 * 1024;

    TCPRelay(ExtensionState& state, asio::io_context& context, std::unique_ptr<TCPFlow> flow,
             std::shared_ptr<Link> link, int upstream = -1, bool connecting = false);

private:
    void connect();
    void connected(std::error_code error);
    void openFlow();
    void readFlow();
    void onFlowData(std::vector<std::uint8_t> data, std::error_code error);
    void scheduleUpChunk();
    void onUpSent();
    void receive();
    void onReceived(std::vector<std::uint8_t> data, bool finished, std::error_code error);
    void resumeReading();
    bool mayReadUp() const;
    bool mayReadDown() const;
    void noteHeld();
    void waitForBudget();
    void finish();
    void fail(std::error_code error);
    void end();
    void armIdle(double seconds);

    ExtensionState& m_state;
    std::unique_ptr<TCPFlow> m_flow;
    std::shared_ptr<Link> m_link;
    std::shared_ptr<SocketStream> m_connection;
    bool m_prepared = false;   // the connection's socket came ready from the caller
    bool m_connecting = false; // and its connect was begun
    bool m_flowFinished = false;
    bool m_remoteFinished = false;
    bool m_closed = false;

    std::vector<std::uint8_t> m_upData; // the piece read from the app, cut into chunks
    std::size_t m_upOffset = 0;
    std::size_t m_upOnLink = 0;   // scheduled on uplink, not yet delivered
    std::size_t m_downOnLink = 0; // scheduled on downlink, not yet delivered
    bool m_upWaiting = false;     // a read of the app is due once the hold drops below the bound
    bool m_downWaiting = false;
    std::size_t m_peakHeld = 0;
    std::size_t m_reportedHeld = 0; // what the state's budget counts for this relay
    bool m_budgetWaiting = false;
    double m_lastActivity = 0;
    std::unique_ptr<ScheduledCall> m_connectTimer;
    std::unique_ptr<ScheduledCall> m_idleTimer;
};

} // namespace quorvex
