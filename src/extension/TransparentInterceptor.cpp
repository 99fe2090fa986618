#include "extension/TransparentInterceptor.h"

#include "extension/ExtensionState.h"
#include "extension/RelayQueue.h"
#include "extension/SocketTCPFlow.h"
#include "extension/SystemCommand.h"
#include "extension/TCPRelay.h"
#include "extension/TransparentProxyProvider.h"

#include <asio/ip/v6_only.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <netinet/in.h>
#include <sys/socket.h>

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

} // namespace

TransparentInterceptor::TransparentInterceptor(RelayQueue& queue, ExtensionState& state,
                                               TransparentProxyProvider& provider, std::uint16_t port)
    : m_queue(queue)
    , m_state(state)
    , m_provider(provider)
    , m_port(port)
    , m_owners("/proc",
               [](const std::string& path) { return path.find("/CoreSimulator/") != std::string::npos; })
    , m_passed(ownMark) {
    m_acceptThread = std::thread([this] { m_acceptContext.run(); });
}

TransparentInterceptor::~TransparentInterceptor() {
    stop();
    m_acceptWork.reset();
    m_acceptContext.stop();
    m_acceptThread.join();
}

std::string TransparentInterceptor::ruleset(std::uint16_t port, bool ipv6) {
    const std::string own = hex(ownMark);
    const std::string intercept = hex(interceptMark);
    std::ostringstream rules;
    rules << "table inet quorvex {\n"
          << "  chain output {\n"
          << "    type route hook output priority mangle; policy accept;\n"
          << "    meta mark " << own << " return\n"
          << "    ip daddr 127.0.0.0/8 return\n"
          << "    ip6 daddr ::1 return\n"
          // Only connections this machine opened: replies of local servers keep their way.
          << "    meta l4proto tcp ct direction original meta mark set " << intercept << "\n"
          << "  }\n"
          << "  chain prerouting {\n"
          << "    type filter hook prerouting priority mangle; policy accept;\n"
          << "    meta mark " << intercept << " ip protocol tcp tproxy ip to 127.0.0.1:" << port
          << " accept\n";
    if (ipv6)
        rules << "    meta mark " << intercept << " ip6 nexthdr tcp tproxy ip6 to [::1]:" << port
              << " accept\n";
    rules << "  }\n"
          << "}\n";
    return rules.str();
}

std::optional<std::string> TransparentInterceptor::installRules() {
    const std::string nft = SystemCommand::locate("nft");
    const std::string ip = SystemCommand::locate("ip");
    const auto loaded = SystemCommand::run({nft, "-f", "-"}, ruleset(m_port, m_ipv6));
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
    m_state.setOutboundMark(ownMark);
    if (auto error = installRules()) {
        stop();
        removeRules(true);
        return error;
    }
    m_started = true;
    m_accepted = 0;
    m_passedCount = 0;
    runOn(context, [this] {
        accept(*m_v4);
        if (m_v6)
            accept(*m_v6);
    });
    return std::nullopt;
}

void TransparentInterceptor::stop() {
    if (m_v4 || m_v6) {
        runOn(m_acceptContext, [this] {
            std::error_code ignored;
            if (m_v4)
                m_v4->close(ignored);
            if (m_v6)
                m_v6->close(ignored);
        });
    }
    if (m_started)
        removeRules(false);
    m_started = false;
    m_passed.closeAll();
    runOn(m_acceptContext, [this] {
        m_v4.reset();
        m_v6.reset();
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
    const std::string host = TransparentProxyProvider::hostOf(target.address());
    std::ostringstream remote;
    remote << target;
    const auto decision = m_queue.sync([&] {
        return m_provider.decide(path, host, TransparentProxyProvider::Transport::TCP, remote.str());
    });

    using Action = TransparentProxyProvider::Action;
    switch (decision.action) {
    case Action::Refuse:
        return reset(socket);
    case Action::Close:
        socket.shutdown(asio::socket_base::shutdown_both, error);
        socket.close(error);
        return;
    case Action::Relay: {
        const auto protocol = target.protocol();
        const int fd = socket.release(error);
        if (error)
            return;
        m_queue.post([this, fd, protocol, target, link = decision.link] {
            asio::ip::tcp::socket moved(m_queue.context(), protocol, fd);
            TCPRelay::start(m_state, m_queue.context(),
                            std::make_unique<SocketTCPFlow>(std::move(moved), target), link);
        });
        return;
    }
    case Action::Pass: {
        ++m_passedCount;
        const int fd = socket.release(error);
        if (!error)
            m_passed.pass(fd, target);
        return;
    }
    }
}

} // namespace quorvex
