#include "extension/TransparentInterceptor.h"

#include "extension/ExtensionState.h"
#include "extension/RelayQueue.h"
#include "extension/ResourceShortage.h"
#include "extension/ServerNameReader.h"
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

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include <future>
#include <sstream>
#include <thread>

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
    // Accepted connections get these from their listener, rather than a call each per flow.
    ::setsockopt(acceptor->native_handle(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    TCPRelay::keepAlive(acceptor->native_handle());
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
                                               TransparentProxyProvider& provider, std::uint16_t port,
                                               bool mayQueue)
    : m_queue(queue)
    , m_state(state)
    , m_provider(provider)
    , m_port(port)
    , m_mayQueue(mayQueue)
    , m_owners("/proc",
               [](const std::string& path) { return path.find("/CoreSimulator/") != std::string::npos; })
    , m_passed(ownMark)
    , m_gate(
          m_acceptContext, gateQueue,
          [this](const FlowGate::Packet& packet) { return decideNewFlow(packet); }, refuseMark) {
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

std::optional<std::uint32_t> TransparentInterceptor::decideNewFlow(const FlowGate::Packet& packet) try {
    const auto protocol = packet.protocol == FlowGate::Protocol::TCP ? SocketOwnerLookup::Protocol::TCP
                                                                     : SocketOwnerLookup::Protocol::UDP;
    const auto token = m_owners.owner(protocol, packet.source, packet.sourcePort, packet.destination,
                                      packet.destinationPort);
    const auto path = m_classifier.simulatorAppPath(token);
    if (!path)
        return passMark; // not a simulator app: no trip to the relay queue
    // While names are blocked, an app's TCP flow is decided by the name its first bytes give, once
    // it reaches the daemon; here only an address blocked as such refuses it.
    const bool readsName = packet.protocol == FlowGate::Protocol::TCP && m_blocksNames;
    const std::string host =
        readsName ? TransparentProxyProvider::hostOf(packet.destination) : hostFor(packet.destination);
    // Without waiting on the relay queue, which may be busy carrying every flow already taken.
    const auto action = m_provider.firstLook(path, host);
    using Action = TransparentProxyProvider::Action;
    if (action == Action::Refuse)
        return refuseMark;
    if (action == Action::Pass && !readsName)
        return passMark;
    // The flow comes to the daemon next: whose it is need not be looked up a second time.
    if (m_classified.size() >= classifiedLimit)
        m_classified.clear();
    m_classified[{packet.source, packet.sourcePort, packet.destination, packet.destinationPort}] = *path;
    return interceptMark;
} catch (const ResourceShortage& shortage) {
    // The gate holds the packet and asks again.
    noteShortage(shortage);
    return std::nullopt;
}

void TransparentInterceptor::blockedHostsChanged(const std::vector<std::string>& hosts) {
    m_blocksNames = std::any_of(hosts.begin(), hosts.end(), [](const std::string& host) {
        return host.find(':') == std::string::npos &&
               host.find_first_not_of("0123456789.") != std::string::npos; // neither IPv6 nor IPv4
    });
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
    const std::string ip = SystemCommand::locate("ip");
    if (auto refused = m_ruleset.load("inet", tableName, ruleset(m_port, m_ipv6, m_gate.isOpen())))
        return "nftables refused the interception rules: " + *refused;
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
    m_ruleset.release();
    removeRouting(quiet ? nullptr : &m_state.logger(), m_gated, m_ipv6);
}

void TransparentInterceptor::removeRouting(const Logger* logger, bool gated, bool ipv6) {
    const std::string ip = SystemCommand::locate("ip");
    const std::string mark = hex(interceptMark);
    const std::string table = std::to_string(routeTable);
    const auto report = [logger](const SystemCommand::Result& result) {
        if (!result.ok() && logger)
            logger->error("Removing interception: %{public}s", result.output);
    };
    for (const char* family : {"-4", "-6"}) {
        report(SystemCommand::run({ip, family, "rule", "del", "fwmark", mark, "lookup", table}));
        report(SystemCommand::run({ip, family, "route", "flush", "table", table}));
    }
    for (const char* tables : {"iptables", "ip6tables"}) {
        const std::string program = SystemCommand::locate(tables);
        const bool installed = gated && (tables == std::string("iptables") || ipv6);
        for (const char* step : {"-D", "-F", "-X"}) {
            std::vector<std::string> command{program, "-t", "mangle", step};
            if (step == std::string("-D"))
                command.insert(command.end(), {"OUTPUT", "-j", "QUORVEX_GATE"});
            else
                command.push_back("QUORVEX_GATE");
            const auto result = SystemCommand::run(command);
            if (installed)
                report(result);
        }
    }
}

std::optional<std::string> TransparentInterceptor::removeLeftovers() {
    // The table of a daemon that was just killed goes when the child that holds it has read the end
    // of its input, a moment after the daemon itself: a service manager's clean-up may come first.
    const auto deadline = std::chrono::steady_clock::now() + orphanGrace;
    while (HeldRuleset::heldByAnyone("inet", tableName)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return "another daemon is running and intercepts the flows of this network namespace";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A table from a daemon that held none, then what no table can hold: the policy routing
    // (inert without the table's marks) and the gate's chain (which lets flows by while nobody
    // listens on its queue).
    SystemCommand::run({SystemCommand::locate("nft"), "delete", "table", "inet", tableName});
    const std::string ip = SystemCommand::locate("ip");
    for (const char* family : {"-4", "-6"})
        for (int rule = 0; rule < 16; ++rule)
            if (!SystemCommand::run({ip, family, "rule", "del", "fwmark", hex(interceptMark), "lookup",
                                     std::to_string(routeTable)})
                     .ok())
                break;
    removeRouting(nullptr, false, true);
    return std::nullopt;
}

std::optional<std::string> TransparentInterceptor::start() {
    if (m_started)
        return std::nullopt;
    // Leftovers of a daemon that died without stopping would be in the way.
    if (auto other = removeLeftovers())
        return "Cannot intercept flows: " + *other + ".";
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
    std::optional<std::string> unheld = "the daemon was told not to queue new flows";
    if (m_mayQueue)
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
    m_shortageLogged = false;
    m_accepted = 0;
    m_passedCount = 0;
    m_udpFlowsSeen = 0;
    runOn(context, [this] {
        if (m_spare < 0)
            m_spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
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
        if (m_spare >= 0)
            ::close(m_spare);
        m_spare = -1;
        m_waiting = 0;
        m_pausedAcceptors.clear();
        m_classified.clear();
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
        std::optional<std::string> path;
        try {
            const auto token = m_owners.owner(SocketOwnerLookup::Protocol::UDP, app.address(), app.port(),
                                              destination.address(), destination.port());
            path = m_classifier.simulatorAppPath(token);
        } catch (const ResourceShortage& shortage) {
            // Undecided, the datagram is dropped; the flow's next one is asked about again.
            noteShortage(shortage);
            ++m_refusedFlows;
            return;
        }
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

void TransparentInterceptor::noteShortage(const ResourceShortage& shortage) {
    // Said once per tunnel, not once per flow.
    if (!m_shortageLogged.exchange(true))
        m_state.logger().error("Flows wait, undecided: %{public}s", shortage.what());
}

UndecidedFlows TransparentInterceptor::undecidedFlows() const {
    UndecidedFlows flows;
    flows.held = m_heldFlows + m_gate.heldCount();
    flows.refused = m_refusedFlows + m_gate.givenUpCount();
    return flows;
}

void TransparentInterceptor::accept(asio::ip::tcp::acceptor& acceptor) {
    acceptor.async_accept([this, &acceptor](std::error_code error, asio::ip::tcp::socket socket) {
        if (!acceptor.is_open() || error == asio::error::operation_aborted)
            return;
        if (error) {
            // Out of descriptors: the spare one lets one more flow in, to wait (counted) for its
            // source to be told while the accepts pause; the rest wait in the listen backlog.
            if (ResourceShortage::is(error.value()) && m_spare >= 0) {
                ::close(m_spare);
                m_spare = -1;
                return accept(acceptor);
            }
            // Otherwise pause instead of spinning on the same failure.
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
        // While a flow waits for descriptors, the next ones wait in the listen backlog, where
        // they hold none: accepted, they would take what the waiting flow needs.
        if (m_waiting == 0)
            accept(acceptor);
        else
            m_pausedAcceptors.push_back(&acceptor);
    });
}

void TransparentInterceptor::handle(asio::ip::tcp::socket socket,
                                    std::chrono::steady_clock::time_point since) {
    const bool waited = since != std::chrono::steady_clock::time_point();
    std::error_code error;
    const auto target = socket.local_endpoint(error); // the original destination, thanks to tproxy
    const auto app = socket.remote_endpoint(error);
    if (error)
        return settle(waited, [&] { reset(socket); });
    std::optional<std::string> path;
    int upstream = -1;
    try {
        if (const auto known =
                m_classified.find({app.address(), app.port(), target.address(), target.port()});
            known != m_classified.end()) {
            path = std::move(known->second);
            m_classified.erase(known);
        } else {
            const auto token = m_owners.owner(SocketOwnerLookup::Protocol::TCP, app.address(), app.port(),
                                              target.address(), target.port());
            path = m_classifier.simulatorAppPath(token);
        }
        // A simulator app's flow may need a connection of ours: made here, while the flow can
        // still wait for it, rather than failing the relay once it was taken.
        if (path)
            upstream = openUpstream(target.protocol());
    } catch (const ResourceShortage& shortage) {
        // The connection waits, accepted, for descriptors to come back; it is refused after the
        // gate's time, as a held packet would be.
        noteShortage(shortage);
        const auto now = std::chrono::steady_clock::now();
        if (!waited) {
            ++m_heldFlows;
            ++m_waiting;
            since = now;
        }
        if (now - since > std::chrono::milliseconds(static_cast<int>(FlowGate::holdSeconds * 1000))) {
            ++m_refusedFlows;
            return settle(true, [&] { reset(socket); });
        }
        auto waiting = std::make_shared<asio::ip::tcp::socket>(std::move(socket));
        auto timer = std::make_shared<asio::steady_timer>(
            m_acceptContext, std::chrono::milliseconds(FlowGate::retryMilliseconds));
        timer->async_wait([this, waiting, timer, since](std::error_code waitError) {
            if (waitError || !m_started)
                return settle(true, [&] { reset(*waiting); });
            handle(std::move(*waiting), since);
        });
        return;
    }
    if (path && m_blocksNames) {
        // Not waited for: reading takes up to a second when the app does not speak first.
        settle(waited, [] {});
        return readName(std::make_shared<asio::ip::tcp::socket>(std::move(socket)), target, path, upstream);
    }
    settle(waited, [&] { dispatch(std::move(socket), target, path, upstream, std::nullopt); });
}

void TransparentInterceptor::readName(std::shared_ptr<asio::ip::tcp::socket> socket,
                                      asio::ip::tcp::endpoint target, std::optional<std::string> path,
                                      int upstream, std::shared_ptr<asio::steady_timer> deadline) {
    // The bytes are peeked, not taken: the relay or the pass-through reads them as it would have.
    std::string bytes(ServerNameReader::maximumBytes, '\0');
    const ssize_t count =
        ::recv(socket->native_handle(), bytes.data(), bytes.size(), MSG_PEEK | MSG_DONTWAIT);
    bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    auto result = ServerNameReader::read(bytes);
    const bool over = count == 0 || (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ||
                      (deadline && deadline->expiry() <= std::chrono::steady_clock::now());
    if (result.outcome == ServerNameReader::Outcome::NeedMore && !over) {
        // Woken only by more than what is there now.
        const int more = static_cast<int>(bytes.size()) + 1;
        ::setsockopt(socket->native_handle(), SOL_SOCKET, SO_RCVLOWAT, &more, sizeof more);
        if (!deadline) {
            deadline = std::make_shared<asio::steady_timer>(
                m_acceptContext,
                std::chrono::milliseconds(static_cast<int>(ServerNameReader::waitSeconds * 1000)));
            deadline->async_wait([socket](std::error_code error) {
                if (!error)
                    socket->cancel(error);
            });
        }
        socket->async_wait(asio::socket_base::wait_read,
                           [this, socket, target, path, upstream, deadline](std::error_code) {
                               readName(socket, target, path, upstream, deadline);
                           });
        return;
    }
    if (deadline)
        deadline->cancel();
    if (!m_started)
        return reset(*socket);
    const int one = 1;
    ::setsockopt(socket->native_handle(), SOL_SOCKET, SO_RCVLOWAT, &one, sizeof one);
    std::optional<std::string> name;
    if (result.outcome == ServerNameReader::Outcome::Name)
        name = std::move(result.name);
    dispatch(std::move(*socket), target, path, upstream, name);
}

void TransparentInterceptor::dispatch(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& target,
                                      const std::optional<std::string>& path, int upstream,
                                      const std::optional<std::string>& name) {
    const std::string address = TransparentProxyProvider::hostOf(target.address());
    const std::string resolved = hostFor(target.address());
    std::ostringstream remote;
    remote << target;
    const auto protocol = target.protocol();
    std::error_code error;
    const int fd = socket.release(error);
    if (error) {
        if (upstream >= 0)
            ::close(upstream);
        return;
    }
    if (!path) {
        // Not a simulator app: passed whatever the plan says, so without a trip to the queue.
        ++m_passedCount;
        m_passed.pass(fd, target);
        return;
    }
    // A flow the relay queue will most likely relay has its connection begun on a pass-through
    // loop: the kernel's work for a new connection is done on the thread that starts it, and the
    // relay queue and this thread carry every flow already. Never for a flow refused or cut as
    // things stand.
    const bool connectFirst =
        upstream >= 0 && m_provider.firstLook(path, address) == TransparentProxyProvider::Action::Relay &&
        m_provider.firstLook(path, name ? *name : resolved) == TransparentProxyProvider::Action::Relay;
    auto relay = [this, fd, protocol, target, path, name, address, resolved,
                  remote = remote.str()](int connection, bool connecting) {
        // A name read from the flow decides, as the name an app connected by would; an address
        // blocked as such is refused whatever name is sent to it; without a name, today's rule:
        // the blocked name the address resolves to, else the address.
        std::string host = resolved;
        if (name)
            host = ThrottlePlan::isBlocked(address, m_state.plan().blockedHosts) ? address : *name;
        auto decision = m_provider.decide(path, host, TransparentProxyProvider::Transport::TCP, remote);
        using Action = TransparentProxyProvider::Action;
        if (decision.action != Action::Relay)
            ::close(connection);
        switch (decision.action) {
        case Action::Refuse:
            return reset(fd);
        case Action::Close:
            ::shutdown(fd, SHUT_RDWR);
            ::close(fd);
            return;
        case Action::Relay: {
            asio::ip::tcp::socket moved(m_queue.context());
            std::error_code failure;
            moved.assign(protocol, fd, failure);
            if (failure) {
                // Refused, never let by unshaped.
                m_state.logger().error("Cannot relay a flow to %{public}s: %{public}s", remote,
                                       failure.message());
                ++m_refusedFlows;
                ::close(connection);
                return reset(fd);
            }
            TCPRelay::start(m_state, m_queue.context(),
                            std::make_unique<SocketTCPFlow>(std::move(moved), target, true), decision.link,
                            connection, connecting);
            return;
        }
        case Action::Pass:
            ++m_passedCount;
            m_passed.pass(fd, target);
            return;
        }
    };
    if (!connectFirst) {
        if (upstream >= 0)
            prepareUpstream(upstream);
        return m_queue.post([relay = std::move(relay), upstream] { relay(upstream, false); });
    }
    m_passed.run([this, upstream, target, relay = std::move(relay)]() mutable {
        prepareUpstream(upstream);
        ::fcntl(upstream, F_SETFL, ::fcntl(upstream, F_GETFL) | O_NONBLOCK);
        if (::connect(upstream, target.data(), static_cast<socklen_t>(target.size())) == 0 ||
            errno == EINPROGRESS)
            return m_queue.post([relay = std::move(relay), upstream] { relay(upstream, true); });
        ::close(upstream); // the relay opens one of its own, and reports what fails
        m_queue.post([relay = std::move(relay)] { relay(-1, false); });
    });
}

int TransparentInterceptor::openUpstream(const asio::ip::tcp& protocol) const {
    const int fd = ::socket(protocol.family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        const int error = errno;
        throw ResourceShortage(error, "no socket for a simulator app's connection");
    }
    return fd;
}

void TransparentInterceptor::prepareUpstream(int fd) {
    const int mark = ownMark;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_MARK, &mark, sizeof mark);
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    TCPRelay::keepAlive(fd);
}

template <typename Finish> void TransparentInterceptor::settle(bool waited, Finish&& finish) {
    finish();
    if (!waited || --m_waiting != 0)
        return;
    if (m_spare < 0)
        m_spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    auto paused = std::move(m_pausedAcceptors);
    m_pausedAcceptors.clear();
    for (auto* acceptor : paused)
        if (acceptor->is_open())
            accept(*acceptor);
}

} // namespace quorvex
