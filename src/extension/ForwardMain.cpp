// quorvex-forward: the local forwarding front. Listens on a loopback port and relays every TCP
// connection and UDP peer to one target through a shaped link made from a plan, so the shaping
// engine can be tried, tested and measured without the system's flow interception.
#include "extension/ExtensionState.h"
#include "extension/LocalForwarder.h"
#include "extension/RelayQueue.h"

#include <asio/ip/tcp.hpp>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <sys/resource.h>

using namespace quorvex;

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: quorvex-forward --target HOST:PORT [--listen HOST:PORT]\n"
                 "                       [--profile ID | --plan JSON | --plan @FILE] [--phase-scale X]\n"
                 "                       [--tcp-only | --udp-only] [--udp-idle SECONDS] [--relay-unshaped]\n"
                 "Relays TCP connections and UDP peers on the listen address (default 127.0.0.1:0)\n"
                 "to the target through the shaped link of the plan's rule for all apps (or its first\n"
                 "rule); an unshaped link's TCP flows are spliced unless --relay-unshaped. Plans are\n"
                 "at most 1 MiB. Prints the bound addresses, then \"ready\"; stops on SIGINT or SIGTERM.\n"
                 "Profiles:");
    for (const auto& profile : NetworkProfile::builtInAll())
        std::fprintf(stderr, " %s", profile.id.c_str());
    std::fprintf(stderr, "\n");
}

constexpr std::uintmax_t maximumPlanBytes = 1024 * 1024;

// A whole non-negative number, or the option named in the error.
unsigned long wholeNumber(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || text.front() == '-')
        throw std::invalid_argument(option + " needs a whole number, not \"" + text + "\"");
    return value;
}

// A finite number above zero, or the option named in the error.
double positiveNumber(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || !std::isfinite(value) || !(value > 0))
        throw std::invalid_argument(option + " needs a number above 0, not \"" + text + "\"");
    return value;
}

asio::ip::tcp::endpoint parseEndpoint(const std::string& option, const std::string& text) {
    std::string host;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find("]:");
        if (close == std::string::npos)
            throw std::invalid_argument(option + ": bad address " + text);
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string::npos)
            throw std::invalid_argument(option + ": bad address " + text + " (HOST:PORT)");
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    const unsigned long number = wholeNumber(option + " port", port);
    if (number > 65535)
        throw std::invalid_argument(option + ": bad port " + port);
    std::error_code error;
    const auto address = asio::ip::make_address(host, error);
    if (!error)
        return {address, static_cast<unsigned short>(number)};
    // A host name: its first address.
    asio::io_context context;
    asio::ip::tcp::resolver resolver(context);
    const auto results = resolver.resolve(host, port, error);
    if (error || results.empty())
        throw std::invalid_argument(option + ": cannot resolve " + host + ": " + error.message());
    return results.begin()->endpoint();
}

ThrottlePlan planFromArgument(const std::string& argument) {
    std::string json = argument;
    if (!argument.empty() && argument.front() == '@') {
        const std::string path = argument.substr(1);
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        if (error)
            throw std::invalid_argument("--plan: cannot read " + path + ": " + error.message());
        if (size > maximumPlanBytes)
            throw std::invalid_argument("--plan: " + path + " is larger than 1 MiB");
        std::ifstream file(path);
        if (!file)
            throw std::invalid_argument("--plan: cannot read " + path);
        std::stringstream content;
        content << file.rdbuf();
        json = content.str();
    }
    std::string error;
    auto plan = ThrottlePlan::decode(json, &error);
    if (!plan)
        throw std::invalid_argument("--plan: the plan does not decode: " + error);
    return *plan;
}

} // namespace

int main(int argc, char** argv) {
    LocalForwarder::Options options;
    options.passUnshaped = true;
    options.listen = {asio::ip::make_address("127.0.0.1"), 0};
    ThrottlePlan plan;
    plan.blockedHosts = std::vector<std::string>{};
    bool haveTarget = false;
    double phaseScale = 1.0;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string flag = argv[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= argc)
                    throw std::invalid_argument(flag + " needs a value");
                return argv[++i];
            };
            if (flag == "--target") {
                options.target = parseEndpoint(flag, value());
                haveTarget = true;
            } else if (flag == "--listen") {
                options.listen = parseEndpoint(flag, value());
            } else if (flag == "--profile") {
                const std::string id = value();
                const auto profile = NetworkProfile::builtIn(id);
                if (!profile)
                    throw std::invalid_argument("no built-in profile " + id);
                plan.rules = {{std::nullopt, profile->id, profile->phases}};
            } else if (flag == "--plan") {
                plan = planFromArgument(value());
            } else if (flag == "--phase-scale") {
                phaseScale = positiveNumber(flag, value());
            } else if (flag == "--tcp-only") {
                options.udp = false;
            } else if (flag == "--udp-only") {
                options.tcp = false;
            } else if (flag == "--udp-idle") {
                options.udpIdleSeconds = positiveNumber(flag, value());
            } else if (flag == "--relay-unshaped") {
                options.passUnshaped = false;
            } else if (flag == "--help" || flag == "-h") {
                usage();
                return 0;
            } else {
                throw std::invalid_argument("unknown option " + flag);
            }
        }
        if (!haveTarget)
            throw std::invalid_argument("--target is required");
        if (!options.tcp && !options.udp)
            throw std::invalid_argument("--tcp-only and --udp-only exclude each other");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvex-forward: %s\n", error.what());
        usage();
        return 2;
    }
    for (auto& rule : plan.rules)
        for (auto& phase : rule.phases)
            phase.seconds *= phaseScale;
    options.linkKey = "*";
    if (!plan.rules.empty() && std::none_of(plan.rules.begin(), plan.rules.end(),
                                            [](const auto& rule) { return rule.key() == "*"; }))
        options.linkKey = plan.rules.front().key();

    // The signals are taken by sigwait below; block them before the queue's thread starts so it
    // inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    RelayQueue queue;
    // The state and the front live and die on the queue, like everything they own.
    std::unique_ptr<ExtensionState> state;
    std::unique_ptr<LocalForwarder> forwarder;
    std::string failure;
    queue.sync([&] {
        try {
            state = std::make_unique<ExtensionState>(queue.clock());
            state->applyPlan(plan);
            forwarder = std::make_unique<LocalForwarder>(*state, queue.context(), options);
            forwarder->start();
            if (options.tcp) {
                const auto endpoint = forwarder->tcpEndpoint();
                std::printf("tcp %s %u\n", endpoint.address().to_string().c_str(), endpoint.port());
            }
            if (options.udp) {
                const auto endpoint = forwarder->udpEndpoint();
                std::printf("udp %s %u\n", endpoint.address().to_string().c_str(), endpoint.port());
            }
            std::printf("ready\n");
            std::fflush(stdout);
        } catch (const std::exception& error) {
            failure = error.what();
        }
    });
    if (!failure.empty()) {
        std::fprintf(stderr, "quorvex-forward: %s\n", failure.c_str());
        queue.sync([&] {
            forwarder.reset();
            state.reset();
        });
        return 1;
    }

    int received = 0;
    sigwait(&signals, &received);
    queue.sync([&] { forwarder.reset(); });
    queue.sync([&] { state.reset(); });
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak-rss-kib %ld\n", usage.ru_maxrss);
    std::fflush(stdout);
    return 0;
}
