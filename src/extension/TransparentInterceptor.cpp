#include "extension/TransparentInterceptor.h"

#include "extension/ExtensionState.h"
#include "extension/RelayQueue.h"
#include "extension/SocketTCPFlow.h"
#include "extension/SystemCommand.h"
#include "extension/TCPRelay.h"
#include "extension/TransparentProxyProvider.h"
#include "extension/TransparentUDPFlow.h"
#include "extension/UDPRelay.h"

#include "extension/Link.h"
#include <asio/ip/v6_only.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include <future>
#include <sstream>

namespace quorvex {

namespace {

template <typename Work> void runOn(asio::io_context& context, Work&& work) {
    std::packaged_task<void()> task(std::forward<Work>(work));
    auto done = task.get_future();
    asio::post(context, [&task] { task(); });
    done.get();
}

std::string hex(int value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

void reset(asio::ip::tcp::socket& socket) {
    std::error_code ignored;
    socket.set_option(asio::socket_base::linger(true, 0), ignored);
    socket.close(ignored);
}

void reset(int fd) {
    const linger now{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    ::close(fd);
}

std::unique_ptr<asio::ip::tcp::acceptor> transparentListener(asio::io_context& context,
                                                             const asio::ip::tcp& protocol,
                                                             std::uint16_t port, std::string& failure) {
    auto acceptor = std::make_unique<asio::ip::tcp::acceptor>(context);
    std::error_code error;
    acceptor->open(protocol, error);
    if (error) {
        failure = error.message();
        return nullptr;
    }
    const int on = 1;
    const bool v6 = protocol == asio::ip::tcp::v6();
    if (v6)
        acceptor->set_option(asio::ip::v6_only(true), error);
    acceptor->set_option(asio::socket_base::reuse_address(true), error);
    if (::setsockopt(acceptor->native_handle(), v6 ? SOL_IPV6 : SOL_IP,
                     v6 ? IPV6_TRANSPARENT : IP_TRANSPARENT, &on, sizeof on) != 0) {
        failure = "transparent sockets need CAP_NET_ADMIN";
        return nullptr;
    }
    const int mark = TransparentInterceptor::ownMark;
    ::setsockopt(acceptor->native_handle(), SOL_SOCKET, SO_MARK, &mark, sizeof mark);
    acceptor->bind(
        {v6 ? asio::ip::address(asio::ip::address_v6::any()) : asio::ip::address(asio::ip::address_v4::any()),
         port},
        error);
    if (!error)
        acceptor->listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        failure = "cannot listen on port " + std::to_string(port) + ": " + error.message();
        return nullptr;
    }
    return acceptor;
}

// A UDP socket that receives the datagrams tproxy hands it, each with its original destination.
std::unique_ptr<asio::ip::udp::socket> transparentReceiver(asio::io_context& context,
                                                           const asio::ip::udp& protocol, std::uint16_t port,
                                                           std::string& failure) {
    auto socket = std::make_unique<asio::ip::udp::socket>(context);
    std::error_code error;
    socket->open(protocol, error);
    if (error) {
        failure = error.message();
        return nullptr;
    }
    const int on = 1;
    const bool v6 = protocol == asio::ip::udp::v6();
    if (v6)
        socket->set_option(asio::ip::v6_only(true), error);
    socket->set_option(asio::socket_base::reuse_address(true), error);
    const int fd = socket->native_handle();
    if (::setsockopt(fd, v6 ? SOL_IPV6 : SOL_IP, v6 ? IPV6_TRANSPARENT : IP_TRANSPARENT, &on, sizeof on) !=
            0 ||
        ::setsockopt(fd, v6 ? SOL_IPV6 : SOL_IP, v6 ? IPV6_RECVORIGDSTADDR : IP_RECVORIGDSTADDR, &on,
                     sizeof on) != 0) {
        failure = "transparent sockets need CAP_NET_ADMIN";
        return nullptr;
    }
    const int mark = TransparentInterceptor::ownMark;
    ::setsockopt(fd, SOL_SOCKET, SO_MARK, &mark, sizeof mark);
    socket->bind(
        {v6 ? asio::ip::address(asio::ip::address_v6::any()) : asio::ip::address(asio::ip::address_v4::any()),
         port},
        error);
    if (!error)
        socket->non_blocking(true, error);
    if (error) {
        failure = "cannot receive UDP on port " + std::to_string(port) + ": " + error.message();
        return nullptr;
    }
    return socket;
}

// A socket that sends from `from` (an address of another host): answers to the app leave from
// the destination it sent to. Marked, so the interception leaves it alone. -1 when it cannot.
int replySocket(const asio::ip::udp::endpoint& from) {
    const bool v6 = from.protocol() == asio::ip::udp::v6();
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    const int mark = TransparentInterceptor::ownMark;
    if (::setsockopt(fd, v6 ? SOL_IPV6 : SOL_IP, v6 ? IPV6_TRANSPARENT : IP_TRANSPARENT, &on, sizeof on) !=
            0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_MARK, &mark, sizeof mark) != 0 ||
        (v6 && ::setsockopt(fd, SOL_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0) ||
        ::bind(fd, from.data(), static_cast<socklen_t>(from.size())) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TransparentInterceptor::TransparentInterceptor(RelayQueue& queue, ExtensionState& state,
                                               TransparentProxyProvider& provider, std::uint16_t port)
    : m_queue(queue)
    , m_state(state)
    , m_provider(provider)
    , m_port(port)
    , m_owners("/proc",
               [](const std::string& path) { return path.find("/CoreSimulator/") != std::string::npos; })
    , m_passed(ownMark)
    , m_gate(m_acceptContext, gateQueue,
             [this](const FlowGate::Packet& packet) { return decideNewFlow(packet); }) {
    m_acceptThread = std::thread([this] { m_acceptContext.run(); });
}

TransparentInterceptor::~TransparentInterceptor() {
    stop();
    m_acceptWork.reset();
    m_acceptContext.stop();
    m_acceptThread.join();
}

std::string TransparentInterceptor::ruleset(std::uint16_t port, bool ipv6, bool gated) {
    const std::string own = hex(ownMark);
    const std::string intercept = hex(interceptMark);
    const std::string pass = hex(passMark);
    const std::string refuse = hex(refuseMark);
    std::ostringstream rules;
    rules << "table inet quorvex {\n"
          << "  chain output {\n"
          // After iptables' mangle chain, where the gate's queue rule lives.
          << "    type route hook output priority mangle + 10; policy accept;\n"
          << "    meta mark " << own << " return\n"
          << "    ip daddr 127.0.0.0/8 return\n"
          << "    ip6 daddr ::1 return\n"
          // Only connections this machine opened: replies of local servers keep their way.
          << "    ct direction reply return\n";
    if (gated)
        // The gate's verdict arrives as the first packet's mark; the connection keeps it.
        rules << "    meta mark { " << intercept << ", " << pass << ", " << refuse
              << " } ct mark set meta mark\n"
              << "    ct mark " << pass
              << " return\n"
              // Only the opening packet: the reset this sends back belongs to the flow as well.
              << "    ct mark " << refuse << " tcp flags & (syn | rst) == syn reject with tcp reset\n"
              << "    ct mark " << refuse << " meta l4proto udp reject\n"
              << "    ct mark " << refuse << " return\n"
              << "    ct mark " << intercept << " meta mark set " << intercept << "\n";
    else
        rules << "    meta l4proto { tcp, udp } meta mark set " << intercept << "\n";
    rules << "  }\n"
          << "  chain prerouting {\n"
          << "    type filter hook prerouting priority mangle; policy accept;\n"
          << "    meta mark " << intercept << " ip protocol tcp tproxy ip to 127.0.0.1:" << port
          << " accept\n"
          << "    meta mark " << intercept << " ip protocol udp tproxy ip to 127.0.0.1:" << port
          << " accept\n";
    if (ipv6)
        rules << "    meta mark " << intercept << " ip6 nexthdr tcp tproxy ip6 to [::1]:" << port
              << " accept\n"
              << "    meta mark " << intercept << " ip6 nexthdr udp tproxy ip6 to [::1]:" << port
              << " accept\n";
    rules << "  }\n"
          << "}\n";
    return rules.str();
}

std::string TransparentInterceptor::gateRules(bool ipv6) {
    const std::string queue = "-j NFQUEUE --queue-num " + std::to_string(gateQueue) + " --queue-bypass";
    const std::string fresh = "-m conntrack --ctstate NEW --ctdir ORIGINAL";
    std::ostringstream rules;
    rules << "*mangle\n"
          << ":QUORVEX_GATE - [0:0]\n"
          << "-A QUORVEX_GATE -d " << (ipv6 ? "::1/128" : "127.0.0.0/8")
          << " -j RETURN\n"
          // The daemon's own sockets, and flows decided already.
          << "-A QUORVEX_GATE -m mark ! --mark 0 -j RETURN\n"
          << "-A QUORVEX_GATE -m connmark ! --mark 0 -j RETURN\n"
          << "-A QUORVEX_GATE -p tcp --syn " << fresh << " " << queue << "\n"
          << "-A QUORVEX_GATE -p udp " << fresh << " " << queue << "\n"
          << "-I OUTPUT -j QUORVEX_GATE\n"
          << "COMMIT\n";
    return rules.str();
}

std::uint32_t TransparentInterceptor::decideNewFlow(const FlowGate::Packet& packet) {
    const auto protocol = packet.protocol == FlowGate::Protocol::TCP ? SocketOwnerLookup::Protocol::TCP
                                                                     : SocketOwnerLookup::Protocol::UDP;
    const auto token = m_owners.owner(protocol, packet.source, packet.sourcePort, packet.destination,
                                      packet.destinationPort);
    const auto path = m_classifier.simulatorAppPath(token);
    if (!path)
        return passMark; // not a simulator app: no trip to the relay queue
    const std::string host = hostFor(packet.destination);
    const auto action = m_queue.sync([&] { return m_provider.choose(path, host).action; });
    using Action = TransparentProxyProvider::Action;
    switch (action) {
    case Action::Pass:
        return passMark;
    case Action::Refuse:
        return refuseMark;
    case Action::Close:
    case Action::Relay:
        break;
    }
    return interceptMark;
}

void TransparentInterceptor::blockedHostsChanged(const std::vector<std::string>& hosts) {
    m_blockedNames.setBlockedHosts(hosts);
    // Flows the app opens right after the plan applies should meet the names' addresses; a
    // resolver that hangs must not hold the app's request for long, though.
    m_blockedNames.waitUntilResolved(std::chrono::seconds(1));
}

std::string TransparentInterceptor::hostFor(const asio::ip::address& address) const {
    if (auto name = m_blockedNames.nameOf(address))
        return *name;
    return TransparentProxyProvider::hostOf(address);
}

std::optional<std::string> TransparentInterceptor::installGateRules() {
    const auto restore = [](bool ipv6) {
        return SystemCommand::locate(ipv6 ? "ip6tables-restore" : "iptables-restore");
    };
    for (const bool ipv6 : {false, true}) {
        if (ipv6 && !m_ipv6)
            break;
        const auto loaded = SystemCommand::run({restore(ipv6), "--noflush"}, gateRules(ipv6));
        if (!loaded.ok())
            return loaded.output.empty() ? restore(ipv6) + " failed" : loaded.output;
    }
    return std::nullopt;
}

std::optional<std::string> TransparentInterceptor::installRules() {
    const std::string nft = SystemCommand::locate("nft");
    const std::string ip = SystemCommand::locate("ip");
    const auto loaded = SystemCommand::run({nft, "-f", "-"}, ruleset(m_port, m_ipv6, m_gate.isOpen()));
    if (!loaded.ok())
        return "nftables refused the interception rules: " + loaded.output;
    const std::string mark = hex(interceptMark);
    const std::string table = std::to_string(routeTable);
    std::vector<std::vector<std::string>> commands = {
        {ip, "-4", "rule", "add", "fwmark", mark, "lookup", table},
        {ip, "-4", "route", "add", "local", "0.0.0.0/0", "dev", "lo", "table", table},
    };
    if (m_ipv6) {
        commands.push_back({ip, "-6", "rule", "add", "fwmark", mark, "lookup", table});
        commands.push_back({ip, "-6", "route", "add", "local", "::/0", "dev", "lo", "table", table});
    }
    for (const auto& command : commands) {
        const auto result = SystemCommand::run(command);
        if (!result.ok())
            return "policy routing failed (" + command[3] + " " + command[4] + "): " + result.output;
    }
    return std::nullopt;
}

void TransparentInterceptor::removeRules(bool quiet) {
    const std::string nft = SystemCommand::locate("nft");
    const std::string ip = SystemCommand::locate("ip");
    const std::string mark = hex(interceptMark);
    const std::string table = std::to_string(routeTable);
    std::vector<std::vector<std::string>> commands = {
        {nft, "delete", "table", "inet", "quorvex"},
        {ip, "-4", "rule", "del", "fwmark", mark, "lookup", table},
        {ip, "-4", "route", "flush", "table", table},
        {ip, "-6", "rule", "del", "fwmark", mark, "lookup", table},
        {ip, "-6", "route", "flush", "table", table},
    };
    for (const auto& command : commands) {
        const auto result = SystemCommand::run(command);
        if (!result.ok() && !quiet)
            m_state.logger().error("Removing interception: %{public}s", result.output);
    }
    for (const char* tables : {"iptables", "ip6tables"}) {
        const std::string program = SystemCommand::locate(tables);
        const bool installed = m_gated && (tables == std::string("iptables") || m_ipv6);
        for (const char* step : {"-D", "-F", "-X"}) {
            std::vector<std::string> command{program, "-t", "mangle", step};
            if (step == std::string("-D"))
                command.insert(command.end(), {"OUTPUT", "-j", "QUORVEX_GATE"});
            else
                command.push_back("QUORVEX_GATE");
            const auto result = SystemCommand::run(command);
            if (!result.ok() && !quiet && installed)
                m_state.logger().error("Removing interception: %{public}s", result.output);
        }
    }
}

std::optional<std::string> TransparentInterceptor::start() {
    if (m_started)
        return std::nullopt;
    // Leftovers of a daemon that died without stopping would send flows to no one.
    removeRules(true);
    std::string failure;
    auto& context = m_acceptContext;
    m_v4 = transparentListener(context, asio::ip::tcp::v4(), m_port, failure);
    if (!m_v4)
        return "Cannot intercept flows: " + failure;
    std::string ignored;
    m_v6 = transparentListener(context, asio::ip::tcp::v6(), m_port, ignored);
    m_ipv6 = m_v6 != nullptr;
    m_udp4 = transparentReceiver(context, asio::ip::udp::v4(), m_port, failure);
    if (!m_udp4) {
        stop();
        return "Cannot intercept flows: " + failure;
    }
    if (m_ipv6)
        m_udp6 = transparentReceiver(context, asio::ip::udp::v6(), m_port, ignored);
    m_state.setOutboundMark(ownMark);
    std::optional<std::string> unheld;
    runOn(context, [this, &unheld] { unheld = m_gate.open(); });
    if (auto error = installRules()) {
        stop();
        removeRules(true);
        return error;
    }
    // The table first: a verdict that came before it would have no rule to carry it out.
    if (!unheld)
        unheld = installGateRules();
    m_gated = !unheld;
    if (unheld) {
        m_state.logger().info("New flows are decided once they reach the daemon: %{public}s", *unheld);
        runOn(context, [this] { m_gate.close(); });
        removeRules(true);
        if (auto error = installRules()) { // the ruleset without the gate
            stop();
            removeRules(true);
            return error;
        }
    }
    m_started = true;
    m_accepted = 0;
    m_passedCount = 0;
    m_udpFlowsSeen = 0;
    runOn(context, [this] {
        accept(*m_v4);
        if (m_v6)
            accept(*m_v6);
        receive(*m_udp4);
        if (m_udp6)
            receive(*m_udp6);
        m_udpSweep = std::make_unique<asio::steady_timer>(m_acceptContext);
        sweepUDP();
    });
    return std::nullopt;
}

void TransparentInterceptor::stop() {
    std::vector<std::shared_ptr<TransparentUDPFlow>> ending;
    if (m_v4 || m_v6 || m_udp4 || m_udp6) {
        runOn(m_acceptContext, [this, &ending] {
            std::error_code ignored;
            if (m_v4)
                m_v4->close(ignored);
            if (m_v6)
                m_v6->close(ignored);
            if (m_udp4)
                m_udp4->close(ignored);
            if (m_udp6)
                m_udp6->close(ignored);
            m_udpSweep.reset();
            for (auto& [key, entry] : m_udpFlows)
                if (entry.flow)
                    ending.push_back(std::move(entry.flow));
            m_udpFlows.clear();
        });
    }
    if (!ending.empty() || m_unshaped)
        m_queue.sync([this, &ending] {
            for (const auto& flow : ending)
                flow->end();
            ending.clear();
            m_unshaped.reset();
        });
    if (m_started)
        removeRules(false);
    m_started = false;
    runOn(m_acceptContext, [this] { m_gate.close(); });
    m_gated = false;
    // Decisions of flows accepted before the listeners closed are still on the queue: let them
    // land first, so no flow is passed after the pool was emptied.
    if (!m_queue.isCurrent())
        m_queue.sync([] {});
    m_passed.closeAll();
    runOn(m_acceptContext, [this] {
        m_v4.reset();
        m_v6.reset();
        m_udp4.reset();
        m_udp6.reset();
    });
}

void TransparentInterceptor::receive(asio::ip::udp::socket& socket) {
    socket.async_wait(asio::socket_base::wait_read, [this, &socket](std::error_code error) {
        if (!socket.is_open() || error == asio::error::operation_aborted)
            return;
        // Everything waiting, then wait again: one wakeup may bring many datagrams.
        std::vector<std::uint8_t> buffer(65536);
        for (int count = 0; count < 64; ++count) {
            sockaddr_storage source{};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(sockaddr_in6))];
            iovec vector{buffer.data(), buffer.size()};
            msghdr message{};
            message.msg_name = &source;
            message.msg_namelen = sizeof source;
            message.msg_iov = &vector;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t length = ::recvmsg(socket.native_handle(), &message, MSG_DONTWAIT);
            if (length < 0)
                break;
            std::optional<asio::ip::udp::endpoint> destination;
            for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
                if ((header->cmsg_level == SOL_IP && header->cmsg_type == IP_ORIGDSTADDR) ||
                    (header->cmsg_level == SOL_IPV6 && header->cmsg_type == IPV6_ORIGDSTADDR)) {
                    asio::ip::udp::endpoint endpoint;
                    const std::size_t size =
                        header->cmsg_level == SOL_IP ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
                    std::memcpy(endpoint.data(), CMSG_DATA(header), size);
                    endpoint.resize(size);
                    destination = endpoint;
                }
            }
            asio::ip::udp::endpoint app;
            std::memcpy(app.data(), &source, std::min<std::size_t>(message.msg_namelen, sizeof source));
            app.resize(message.msg_namelen);
            if (!destination || message.msg_flags & MSG_TRUNC)
                continue;
            handleDatagram(app, *destination,
                           std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + length));
        }
        receive(socket);
    });
}

void TransparentInterceptor::handleDatagram(asio::ip::udp::endpoint app, asio::ip::udp::endpoint destination,
                                            std::vector<std::uint8_t> payload) {
    const auto now = std::chrono::steady_clock::now();
    const auto key = std::make_pair(app, destination);
    auto it = m_udpFlows.find(key);
    if (it != m_udpFlows.end() && it->second.flow && it->second.flow->isClosed()) {
        m_udpFlows.erase(it); // its relay ended (cut, plan changed): decide again
        it = m_udpFlows.end();
    }
    if (it == m_udpFlows.end()) {
        ++m_udpFlowsSeen;
        const auto token = m_owners.owner(SocketOwnerLookup::Protocol::UDP, app.address(), app.port(),
                                          destination.address(), destination.port());
        const auto path = m_classifier.simulatorAppPath(token);
        const std::string host = hostFor(destination.address());
        std::ostringstream remote;
        remote << destination;
        auto decision = m_queue.sync([&] {
            auto made = m_provider.decide(path, host, TransparentProxyProvider::Transport::UDP, remote.str());
            // Passing needs a socket of our own all the same; an unshaped link carries it.
            if (made.action == TransparentProxyProvider::Action::Pass) {
                if (!m_unshaped)
                    m_unshaped = Link::create(m_state.clock(), m_state.registry(), m_state.logger());
                made.link = m_unshaped;
            }
            return made;
        });
        UDPEntry entry;
        using Action = TransparentProxyProvider::Action;
        if (decision.action == Action::Relay || decision.action == Action::Pass) {
            const int reply = replySocket(destination);
            if (reply < 0) {
                m_state.logger().error("Cannot answer UDP from %{public}s", remote.str());
            } else {
                entry.flow = std::make_shared<TransparentUDPFlow>(m_queue.context(), reply, app, destination);
                if (decision.action == Action::Pass)
                    ++m_passedCount;
                m_queue.post([this, flow = entry.flow, link = decision.link] {
                    UDPRelay::start(m_state, m_queue.context(), std::make_unique<SharedUDPFlow>(flow), link);
                });
            }
        }
        it = m_udpFlows.emplace(key, std::move(entry)).first;
    }
    it->second.lastActivity = now;
    if (auto flow = it->second.flow)
        m_queue.post([flow, payload = std::move(payload)]() mutable { flow->arrive(std::move(payload)); });
}

void TransparentInterceptor::sweepUDP() {
    if (!m_udpSweep)
        return;
    m_udpSweep->expires_after(std::chrono::seconds(1));
    m_udpSweep->async_wait([this](std::error_code error) {
        if (error || !m_udpSweep)
            return;
        const auto idle = std::chrono::duration<double>(udpIdleSeconds);
        const auto now = std::chrono::steady_clock::now();
        for (auto it = m_udpFlows.begin(); it != m_udpFlows.end();) {
            auto& entry = it->second;
            if (entry.flow && entry.flow->isClosed()) {
                it = m_udpFlows.erase(it);
            } else if (now - entry.lastActivity > idle) {
                if (entry.flow)
                    m_queue.post([flow = entry.flow] { flow->end(); });
                it = m_udpFlows.erase(it);
            } else {
                ++it;
            }
        }
        sweepUDP();
    });
}

void TransparentInterceptor::accept(asio::ip::tcp::acceptor& acceptor) {
    acceptor.async_accept([this, &acceptor](std::error_code error, asio::ip::tcp::socket socket) {
        if (!acceptor.is_open() || error == asio::error::operation_aborted)
            return;
        if (error) {
            // Out of descriptors and the like: pause instead of spinning on the same failure.
            auto timer =
                std::make_shared<asio::steady_timer>(m_acceptContext, std::chrono::milliseconds(100));
            timer->async_wait([this, &acceptor, timer](std::error_code waitError) {
                if (!waitError && acceptor.is_open())
                    accept(acceptor);
            });
            return;
        }
        ++m_accepted;
        handle(std::move(socket));
        accept(acceptor);
    });
}

void TransparentInterceptor::handle(asio::ip::tcp::socket socket) {
    std::error_code error;
    const auto target = socket.local_endpoint(error); // the original destination, thanks to tproxy
    const auto app = socket.remote_endpoint(error);
    if (error)
        return reset(socket);
    const auto token = m_owners.owner(SocketOwnerLookup::Protocol::TCP, app.address(), app.port(),
                                      target.address(), target.port());
    const auto path = m_classifier.simulatorAppPath(token);
    const std::string host = hostFor(target.address());
    std::ostringstream remote;
    remote << target;
    const auto protocol = target.protocol();
    const int fd = socket.release(error);
    if (error)
        return;
    if (!path) {
        // Not a simulator app: passed whatever the plan says, so without a trip to the queue.
        ++m_passedCount;
        m_passed.pass(fd, target);
        return;
    }
    // Decided and acted on from the queue: waiting here for the decision cost two thread hand-offs
    // per flow instead of one, all of it added to the app's first round trip.
    m_queue.post([this, fd, protocol, target, path, host, remote = remote.str()] {
        auto decision = m_provider.decide(path, host, TransparentProxyProvider::Transport::TCP, remote);
        using Action = TransparentProxyProvider::Action;
        switch (decision.action) {
        case Action::Refuse:
            return reset(fd);
        case Action::Close:
            ::shutdown(fd, SHUT_RDWR);
            ::close(fd);
            return;
        case Action::Relay: {
            asio::ip::tcp::socket moved(m_queue.context(), protocol, fd);
            TCPRelay::start(m_state, m_queue.context(),
                            std::make_unique<SocketTCPFlow>(std::move(moved), target), decision.link);
            return;
        }
        case Action::Pass:
            ++m_passedCount;
            m_passed.pass(fd, target);
            return;
        }
    });
}

} // namespace quorvex
