// quorvex-network-extension: the network extension daemon. Serves the control socket, keeps the
// activation state and proxy configurations in its state folder, and while a tunnel runs takes
// the TCP flows of this network namespace, keeps those of simulator apps, refuses blocked hosts
// and relays the rest through the plan's shaped links. Runs as root.
#include "extension/ControlServer.h"
#include "extension/ControlService.h"
#include "extension/ExtensionState.h"
#include "extension/RelayQueue.h"
#include "extension/TransparentInterceptor.h"
#include "extension/TransparentProxyProvider.h"
#include "network/control/ControlProtocol.h"

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace quorvex;

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: quorvex-network-extension [--socket PATH] [--state-dir DIR] [--auto-approve]\n"
                 "                                 [--allow-user NAME|UID]... [--allow-group NAME|GID]...\n"
                 "                                 [--no-intercept] [--no-queue] [--port PORT]\n"
                 "       quorvex-network-extension --clean-up [--socket PATH]\n"
                 "Serves the control socket (default %s, or QUORVEX_EXTENSION_SOCKET) for root, this\n"
                 "user and the users and groups allowed. State lives in --state-dir (default\n"
                 "/var/lib/quorvex-network-extension, or QUORVEX_EXTENSION_STATE). While a tunnel runs,\n"
                 "the TCP and UDP flows of this network namespace are intercepted (nftables, policy\n"
                 "routing and tproxy to PORT, default %u) unless --no-intercept; new flows wait in a\n"
                 "netfilter queue for the daemon's decision unless --no-queue. Stops on SIGINT or SIGTERM.\n"
                 "--clean-up removes what a daemon that did not stop left behind (its rules and socket)\n"
                 "and exits; it leaves a running daemon alone.\n",
                 ControlProtocol::defaultSocketPath().c_str(), TransparentInterceptor::defaultPort);
}

uid_t userId(const std::string& text) {
    if (const passwd* entry = ::getpwnam(text.c_str()))
        return entry->pw_uid;
    std::size_t used = 0;
    const unsigned long value = std::stoul(text, &used);
    if (used != text.size())
        throw std::invalid_argument("");
    return static_cast<uid_t>(value);
}

gid_t groupId(const std::string& text) {
    if (const group* entry = ::getgrnam(text.c_str()))
        return entry->gr_gid;
    std::size_t used = 0;
    const unsigned long value = std::stoul(text, &used);
    if (used != text.size())
        throw std::invalid_argument("");
    return static_cast<gid_t>(value);
}

// Removes what a daemon that ended without stopping left: its interception and its socket.
int cleanUp(const std::string& socketPath) {
    if (ControlServer::answers(socketPath)) {
        std::fprintf(stderr, "quorvex-network-extension: a daemon is running on %s; nothing was removed.\n",
                     socketPath.c_str());
        return 1;
    }
    struct stat status {};
    if (::lstat(socketPath.c_str(), &status) == 0 && S_ISSOCK(status.st_mode))
        ::unlink(socketPath.c_str());
    if (const auto other = TransparentInterceptor::removeLeftovers()) {
        std::fprintf(stderr, "quorvex-network-extension: %s; its rules were left alone.\n", other->c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ControlService::Options options;
    const char* stateFolder = std::getenv("QUORVEX_EXTENSION_STATE");
    options.stateFolder = stateFolder && *stateFolder ? stateFolder : "/var/lib/quorvex-network-extension";
    std::string socketPath = ControlProtocol::defaultSocketPath();
    bool intercept = true;
    bool mayQueue = true;
    bool cleanUpOnly = false;
    unsigned port = TransparentInterceptor::defaultPort;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "quorvex-network-extension: %s needs a value\n", flag.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        try {
            if (flag == "--socket")
                socketPath = value();
            else if (flag == "--state-dir")
                options.stateFolder = value();
            else if (flag == "--auto-approve")
                options.autoApprove = true;
            else if (flag == "--allow-user")
                options.allowedUsers.insert(userId(value()));
            else if (flag == "--allow-group")
                options.allowedGroups.insert(groupId(value()));
            else if (flag == "--no-intercept")
                intercept = false;
            else if (flag == "--no-queue")
                mayQueue = false;
            else if (flag == "--clean-up")
                cleanUpOnly = true;
            else if (flag == "--port") {
                const std::string text = value();
                std::size_t used = 0;
                port = static_cast<unsigned>(std::stoul(text, &used));
                if (used != text.size() || port == 0 || port > 65535)
                    throw std::invalid_argument("");
            } else if (flag == "--help" || flag == "-h") {
                usage();
                return 0;
            } else {
                std::fprintf(stderr, "quorvex-network-extension: unknown option %s\n", flag.c_str());
                usage();
                return 2;
            }
        } catch (const std::exception&) {
            std::fprintf(stderr, "quorvex-network-extension: bad value for %s: %s\n", flag.c_str(), argv[i]);
            return 2;
        }
    }

    if (cleanUpOnly)
        return cleanUp(socketPath);

    // Every flow the daemon carries holds descriptors; the soft limit is often a tenth of what
    // the administrator allows.
    rlimit descriptors{};
    if (::getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur < descriptors.rlim_max) {
        descriptors.rlim_cur = descriptors.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &descriptors);
    }

    RelayQueue queue;
    std::unique_ptr<ExtensionState> state;
    queue.sync([&] { state = std::make_unique<ExtensionState>(queue.clock()); });
    TransparentProxyProvider provider(queue, *state);
    std::unique_ptr<TransparentInterceptor> interceptor;
    if (intercept) {
        interceptor = std::make_unique<TransparentInterceptor>(queue, *state, provider,
                                                               static_cast<std::uint16_t>(port), mayQueue);
        provider.setFlowSource(interceptor.get());
    }

    int status = 0;
    {
        std::unique_ptr<ControlService> made;
        try {
            made = std::make_unique<ControlService>(options, provider);
        } catch (const std::system_error& error) {
            std::fprintf(stderr, "quorvex-network-extension: %s\n", error.what());
            return 1;
        }
        ControlService& service = *made;
        asio::io_context context;
        ControlServer server(context, service, socketPath);
        try {
            server.start();
        } catch (const std::system_error& error) {
            if (error.code() == std::errc::address_in_use)
                std::fprintf(stderr, "quorvex-network-extension: %s; stop it before starting another.\n",
                             error.what());
            else
                std::fprintf(stderr, "quorvex-network-extension: cannot serve %s: %s\n", socketPath.c_str(),
                             error.what());
            return 1;
        }
        // This daemon owns the socket and the state folder now: what a predecessor that did not
        // stop left goes before any tunnel needs it gone.
        if (intercept)
            if (const auto other = TransparentInterceptor::removeLeftovers())
                std::fprintf(stderr, "quorvex-network-extension: %s\n", other->c_str());
        asio::signal_set signals(context, SIGINT, SIGTERM);
        signals.async_wait([&](std::error_code, int) {
            server.stop();
            context.stop();
        });
        std::printf("ready %s\n", socketPath.c_str());
        std::fflush(stdout);
        context.run();
        service.shutdown();
    }
    provider.setFlowSource(nullptr);
    interceptor.reset();
    queue.sync([&] { state.reset(); });
    return status;
}
