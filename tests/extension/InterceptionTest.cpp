// End to end in network namespaces this test makes: the daemon intercepts in a client namespace
// joined by veth to a server namespace on 198.18.0.0/15. Nothing is installed in the machine's
// own namespace; deleting the namespaces on every exit path removes whatever the test made.
#include "ControlDaemon.h"
#include "NamespacePair.h"

#include "extension/SystemCommand.h"
#include "extension/TransparentInterceptor.h"
#include "network/control/SocketExtensionControl.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace quorvex {
namespace {

using test::Background;
using test::NamespacePair;
using test::ScratchFolder;

const std::string ip = SystemCommand::locate("ip");

using test::Probe;

// A plan that delays Demo.app's traffic by `delayMs` each way, in one phase of `seconds`.
ThrottlePlan slowAppPlan(int delayMs = 250, double seconds = 10) {
    LinkConditions slow;
    slow.upDelayMs = delayMs;
    slow.downDelayMs = delayMs;
    ThrottlePlan plan;
    plan.rules.push_back({"Demo.app", "custom", {{"slow", seconds, slow}}});
    return plan;
}

class InterceptionTest : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "intercepting needs root to make network namespaces";
        if (SystemCommand::locate("nft") == "nft" || SystemCommand::locate("socat") == "socat")
            GTEST_SKIP() << "nft and socat are needed (scripts/install-deps installs them)";
        m_spaces = std::make_unique<NamespacePair>();
        if (!m_spaces->failure.empty())
            GTEST_SKIP() << m_spaces->failure;
        const auto tables = SystemCommand::run(
            m_spaces->in(m_spaces->client, {SystemCommand::locate("nft"), "list", "tables"}));
        if (!tables.ok())
            GTEST_SKIP() << "nftables is not usable here: " << tables.output;

        // The same probe binary as an ordinary process and as an app in a simulator's app container.
        m_ordinary = QUORVEX_NETPROBE;
        m_app = test::installSimulatorApp(m_folder.path(), m_ordinary);
        m_processes = test::startEchoServers(*m_spaces);
        m_socket = (m_folder.path() / "control.sock").string();
        m_control = std::make_unique<SocketExtensionControl>(m_socket, 5);
        startDaemon();
        ASSERT_TRUE(m_control->activationState()) << "the daemon did not come up";
        // The servers are up once the ordinary probe gets its echo.
        for (int attempt = 0; attempt < 100 && probe(m_ordinary, "198.18.0.2", 9000).outcome != "ok";
             ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        for (const char* address : {"fd00:5177::2", "fd00:5177::3"})
            for (int attempt = 0; attempt < 100 && probe(m_ordinary, address, 9000).outcome != "ok";
                 ++attempt)
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
        for (const char* address : {"198.18.0.2", "198.18.0.3", "fd00:5177::2", "fd00:5177::3"})
            for (int attempt = 0; attempt < 20 && probe(m_ordinary, address, 9000, true).outcome != "ok";
                 ++attempt)
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }

    void TearDown() override {
        m_daemon.reset();
        m_processes.clear();
        m_spaces.reset();
    }

    // The daemon in the client namespace, with `m_daemonOptions`; waits until it answers.
    void startDaemon() {
        const std::string state = (m_folder.path() / "state").string();
        std::vector<std::string> command = m_daemonPrefix;
        for (const auto& word : {QUORVEX_EXTENSION_DAEMON, "--socket", m_socket.c_str(), "--state-dir",
                                 state.c_str(), "--auto-approve"})
            command.push_back(word);
        command.insert(command.end(), m_daemonOptions.begin(), m_daemonOptions.end());
        m_daemon = std::make_unique<Background>(m_spaces->in(m_spaces->client, command));
        for (int attempt = 0; attempt < 100 && !m_control->activationState(); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }

    // The daemon run as a command in the client namespace (such as --clean-up).
    SystemCommand::Result runDaemon(const std::vector<std::string>& options) const {
        std::vector<std::string> command = {QUORVEX_EXTENSION_DAEMON, "--socket", m_socket};
        command.insert(command.end(), options.begin(), options.end());
        return SystemCommand::run(m_spaces->in(m_spaces->client, command));
    }

    Probe probe(const std::string& binary, const std::string& host, int port, bool udp = false,
                const std::vector<std::string>& options = {}) const {
        return test::runProbe(*m_spaces, binary, host, port, udp, options);
    }

    std::string startTunnel(const ThrottlePlan& plan) {
        EXPECT_TRUE(m_control->requestActivation().value().enabled);
        ProxyConfiguration configuration;
        configuration.plan = plan.encode();
        const auto saved = m_control->saveConfiguration(configuration);
        EXPECT_TRUE(saved) << saved.error();
        const auto started = m_control->startTunnel(saved.value().id);
        EXPECT_TRUE(started) << started.error();
        return saved.value().id;
    }

    std::string clientState() const {
        const auto tables = SystemCommand::run(
            m_spaces->in(m_spaces->client, {SystemCommand::locate("nft"), "list", "tables"}));
        const auto rules = SystemCommand::run({ip, "-n", m_spaces->client, "rule"});
        const auto gate =
            SystemCommand::run(m_spaces->in(m_spaces->client, {SystemCommand::locate("iptables-save")}));
        return tables.output + rules.output + gate.output;
    }

    // Whether new flows wait for the daemon's verdict in the kernel: where the kernel or the
    // machine has no netfilter queue, the daemon decides once it has accepted the connection.
    bool gated() const { return clientState().find("QUORVEX_GATE") != std::string::npos; }

    // Where both are here, the gate must be used.
    static bool gateAvailable() {
        std::ifstream targets("/proc/net/ip_tables_targets");
        const std::string text((std::istreambuf_iterator<char>(targets)), std::istreambuf_iterator<char>());
        return text.find("NFQUEUE") != std::string::npos &&
               SystemCommand::locate("iptables-restore") != "iptables-restore";
    }

    ScratchFolder m_folder;
    std::unique_ptr<NamespacePair> m_spaces;
    std::vector<std::unique_ptr<Background>> m_processes;
    std::unique_ptr<Background> m_daemon;
    std::vector<std::string> m_daemonOptions;
    std::vector<std::string> m_daemonPrefix; // a command the daemon runs under (prlimit)
    std::unique_ptr<SocketExtensionControl> m_control;
    std::string m_socket;
    std::string m_ordinary;
    std::string m_app;
};

TEST_F(InterceptionTest, ShapesSimulatorAppsOnlyAndStoppingRestoresDirectTraffic) {
    ThrottlePlan plan = slowAppPlan();
    plan.blockedHosts = std::vector<std::string>{"198.18.0.3"};
    const auto id = startTunnel(plan);
    ASSERT_NE(clientState().find("quorvex"), std::string::npos) << "the table is installed";
    if (gateAvailable()) {
        EXPECT_TRUE(gated()) << clientState();
    }

    // Delays: connect waits for both directions, then the echo goes up and down: about 1 s.
    const auto shaped = probe(m_app, "198.18.0.2", 9000);
    EXPECT_EQ(shaped.outcome, "ok");
    EXPECT_GE(shaped.milliseconds, 700);
    const auto ordinary = probe(m_ordinary, "198.18.0.2", 9000);
    EXPECT_EQ(ordinary.outcome, "ok");
    EXPECT_LT(ordinary.milliseconds, 400);

    // Refused before any handshake where the gate holds new flows; reset right after it elsewhere.
    EXPECT_EQ(probe(m_app, "198.18.0.3", 9000).outcome, gated() ? "refused" : "reset")
        << "a blocked host is refused to the app";
    EXPECT_EQ(probe(m_ordinary, "198.18.0.3", 9000).outcome, "ok") << "and to nobody else";
    const auto loopback = probe(m_app, "127.0.0.1", 9001);
    EXPECT_EQ(loopback.outcome, "ok");
    EXPECT_LT(loopback.milliseconds, 400) << "loopback is never intercepted";

    ASSERT_TRUE(m_control->stopTunnel(id));
    const auto after = probe(m_app, "198.18.0.2", 9000);
    EXPECT_EQ(after.outcome, "ok");
    EXPECT_LT(after.milliseconds, 400);
    const auto state = clientState();
    EXPECT_EQ(state.find("quorvex"), std::string::npos) << state;
    EXPECT_EQ(state.find("0x5177"), std::string::npos) << state;
    EXPECT_EQ(state.find("QUORVEX_GATE"), std::string::npos) << state;
}

// A flow whose first bytes give no name (here a plain line) meets a blocked name by the addresses
// the name resolves to here (the client namespace's hosts file names the servers).
TEST_F(InterceptionTest, ABlockedNameRefusesFlowsToItsAddresses) {
    ThrottlePlan plan;
    plan.rules.push_back({"Demo.app", "custom", {{"fine", 10, LinkConditions{}}}});
    plan.blockedHosts = std::vector<std::string>{"blocked.test"};
    const auto id = startTunnel(plan);
    EXPECT_EQ(probe(m_app, "198.18.0.3", 9000).outcome, "reset") << "refused once its first bytes were read";
    EXPECT_EQ(probe(m_app, "198.18.0.2", 9000).outcome, "ok") << "other names' addresses are not";
    EXPECT_EQ(probe(m_ordinary, "198.18.0.3", 9000).outcome, "ok") << "and other processes are not";

    plan.blockedHosts = std::vector<std::string>{};
    ASSERT_TRUE(m_control->sendMessage(id, plan.encode()));
    EXPECT_EQ(probe(m_app, "198.18.0.3", 9000).outcome, "ok") << "unblocked with the next plan";
}

TEST_F(InterceptionTest, PlanUpdatesTakeEffectOnTheNextFlow) {
    ThrottlePlan plan;
    plan.rules.push_back({"Demo.app", "custom", {{"fine", 10, LinkConditions{}}}});
    const auto id = startTunnel(plan);
    EXPECT_EQ(probe(m_app, "198.18.0.2", 9000).outcome, "ok");

    LinkConditions cut;
    cut.packetLoss = 1;
    ThrottlePlan cutting;
    cutting.rules.push_back({"Demo.app", "custom", {{"cut", 10, cut}}});
    ASSERT_TRUE(m_control->sendMessage(id, cutting.encode()));
    EXPECT_NE(probe(m_app, "198.18.0.2", 9000).outcome, "ok") << "a cut link closes the app's flows";
    EXPECT_EQ(probe(m_ordinary, "198.18.0.2", 9000).outcome, "ok");
    EXPECT_FALSE(m_control->sendMessage(id, "{}")) << "an undecodable plan is refused";
    EXPECT_NE(probe(m_app, "198.18.0.2", 9000).outcome, "ok") << "and the plan in force stays";
}

// A process the daemon saw before it exec'd a simulator app is judged by the app: here a shell,
// seen while an ordinary flow was looked up, then exec'ing the app, which connects.
TEST_F(InterceptionTest, AProcessThatExecsAnAppAfterItWasSeenIsShaped) {
    ThrottlePlan plan = slowAppPlan();
    startTunnel(plan);

    int input[2];
    int output[2];
    ASSERT_EQ(::pipe2(input, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
    const auto command =
        m_spaces->in(m_spaces->client, {"/bin/sh", "-c", R"(read go && exec "$0" 198.18.0.2 9000)", m_app});
    std::vector<char*> argv;
    for (const auto& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    pid_t shell = -1;
    ASSERT_EQ(::posix_spawn(&shell, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);

    // The shell waits; an ordinary flow makes the daemon look at the processes, the shell among them.
    EXPECT_EQ(probe(m_ordinary, "198.18.0.2", 9000).outcome, "ok");
    ASSERT_EQ(::write(input[1], "go\n", 3), 3);
    ::close(input[1]);
    std::string said;
    char buffer[256];
    for (ssize_t count; (count = ::read(output[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(count));
    ::close(output[0]);
    ::waitpid(shell, nullptr, 0);
    Probe seen;
    std::istringstream(said) >> seen.outcome >> seen.milliseconds;
    EXPECT_EQ(seen.outcome, "ok") << said;
    EXPECT_GE(seen.milliseconds, 700) << "shaped as the app it became";
}

// UDP is intercepted like TCP: the app's datagrams go through its rule's link and come back
// from the address it sent to, another process's are passed, a blocked host gets nothing.
TEST_F(InterceptionTest, UdpFlowsAreShapedPassedAndRefusedLikeConnections) {
    ThrottlePlan plan = slowAppPlan();
    plan.blockedHosts = std::vector<std::string>{"198.18.0.3"};
    const auto id = startTunnel(plan);

    const auto shaped = probe(m_app, "198.18.0.2", 9000, true);
    EXPECT_EQ(shaped.outcome, "ok") << "the answer comes from the original destination";
    EXPECT_GE(shaped.milliseconds, 450);
    const auto ordinary = probe(m_ordinary, "198.18.0.2", 9000, true);
    EXPECT_EQ(ordinary.outcome, "ok");
    EXPECT_LT(ordinary.milliseconds, 400);
    EXPECT_EQ(probe(m_app, "198.18.0.3", 9000, true).outcome, "timeout") << "a blocked host is dropped";
    EXPECT_EQ(probe(m_ordinary, "198.18.0.3", 9000, true).outcome, "ok") << "for the app only";

    ASSERT_TRUE(m_control->stopTunnel(id));
    const auto after = probe(m_app, "198.18.0.2", 9000, true);
    EXPECT_EQ(after.outcome, "ok");
    EXPECT_LT(after.milliseconds, 400);
}

// Both ways of deciding flows: held in the kernel until the daemon decides (a netfilter queue),
// and decided after the daemon accepted them (the fallback where the kernel has no queue).
class InterceptionModeTest : public InterceptionTest, public testing::WithParamInterface<bool> {
protected:
    InterceptionModeTest() {
        if (!GetParam())
            m_daemonOptions = {"--no-queue"};
    }
    bool queued() const { return GetParam(); }

    // An app probe and an ordinary one, over TCP and UDP, all answered and none shaped.
    void expectTrafficFlowsUnshaped() {
        for (const bool udp : {false, true})
            for (const auto* binary : {&m_app, &m_ordinary}) {
                SCOPED_TRACE(std::string(udp ? "UDP " : "TCP ") + (binary == &m_app ? "app" : "ordinary"));
                const auto seen = probe(*binary, "198.18.0.2", 9000, udp);
                EXPECT_EQ(seen.outcome, "ok");
                EXPECT_LT(seen.milliseconds, 400);
            }
    }
};

std::string modeName(const testing::TestParamInfo<bool>& mode) {
    return mode.param ? "Queue" : "Fallback";
}

INSTANTIATE_TEST_SUITE_P(Modes, InterceptionModeTest, testing::Bool(), modeName);

// The daemon sees addresses; the name an app connected by is in its first bytes: a TLS
// ClientHello's server name or an HTTP request's Host. While names are blocked, an app's TCP flows
// are read for it (a flow that sends nothing first falls back to the addresses after a second);
// an ordinary process's never are.
TEST_P(InterceptionModeTest, BlockedNamesAreReadFromTheFirstBytesOfAppFlows) {
    if (queued() && !gateAvailable())
        GTEST_SKIP() << "the kernel here has no netfilter queue";
    ThrottlePlan plan;
    plan.blockedHosts = std::vector<std::string>{"blocked.test"}; // 198.18.0.3; echo.test is .2
    startTunnel(plan);
    const struct {
        const char* name;
        bool app;
        std::vector<std::string> options;
        const char* address;
        const char* outcome;
    } cases[] = {
        {"a subdomain over TLS on another address",
         true,
         {"--tls", "api.blocked.test"},
         "198.18.0.2",
         "reset"},
        {"a subdomain over HTTP on another address",
         true,
         {"--http", "API.Blocked.Test"},
         "198.18.0.2",
         "reset"},
        {"another name over TLS on the blocked name's address",
         true,
         {"--tls", "other.test"},
         "198.18.0.3",
         "ok"},
        {"another name over HTTP on the blocked name's address",
         true,
         {"--http", "other.test"},
         "198.18.0.3",
         "ok"},
        {"a name with the same ending", true, {"--tls", "notblocked.test"}, "198.18.0.2", "ok"},
        {"an app that speaks late, to the blocked name's address",
         true,
         {"--late", "1500"},
         "198.18.0.3",
         "reset"},
        {"an app that speaks late, elsewhere", true, {"--late", "1500"}, "198.18.0.2", "ok"},
        {"an ordinary process naming a blocked name",
         false,
         {"--tls", "api.blocked.test"},
         "198.18.0.2",
         "ok"},
        {"an ordinary process to the blocked name's address", false, {}, "198.18.0.3", "ok"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto seen = probe(c.app ? m_app : m_ordinary, c.address, 9000, false, c.options);
        EXPECT_EQ(seen.outcome, c.outcome);
        if (!c.app) {
            EXPECT_LT(seen.milliseconds, 400) << "never held to be read";
        }
    }
}

// IPv6 is intercepted as IPv4 is: an app's flows shaped, another process's passed, a blocked
// address refused to the app only.
TEST_P(InterceptionModeTest, Ipv6FlowsAreShapedPassedAndRefusedLikeIpv4) {
    if (queued() && !gateAvailable())
        GTEST_SKIP() << "the kernel here has no netfilter queue";
    ThrottlePlan plan = slowAppPlan();
    plan.blockedHosts = std::vector<std::string>{"fd00:5177::3"};
    startTunnel(plan);
    for (const bool udp : {false, true}) {
        SCOPED_TRACE(udp ? "UDP" : "TCP");
        const auto shaped = probe(m_app, "fd00:5177::2", 9000, udp);
        EXPECT_EQ(shaped.outcome, "ok");
        EXPECT_GE(shaped.milliseconds, udp ? 450 : 700);
        const auto ordinary = probe(m_ordinary, "fd00:5177::2", 9000, udp);
        EXPECT_EQ(ordinary.outcome, "ok");
        EXPECT_LT(ordinary.milliseconds, 400);
        EXPECT_EQ(probe(m_app, "fd00:5177::3", 9000, udp).outcome, udp       ? "timeout"
                                                                   : gated() ? "refused"
                                                                             : "reset")
            << "a blocked address is refused to the app";
        EXPECT_EQ(probe(m_ordinary, "fd00:5177::3", 9000, udp).outcome, "ok") << "and to nobody else";
    }
}

// The namespace's traffic never depends on the daemon being alive: killed mid-tunnel, it leaves no
// rule that steers a flow to it, and what it does leave is gone when a daemon starts again or the
// clean-up command runs.
TEST_P(InterceptionModeTest, AKilledDaemonLeavesNothingThatStopsTraffic) {
    if (queued() && !gateAvailable())
        GTEST_SKIP() << "the kernel here has no netfilter queue";
    ThrottlePlan plan = slowAppPlan();
    startTunnel(plan);
    ASSERT_EQ(gated(), queued()) << clientState();
    ASSERT_GE(probe(m_app, "198.18.0.2", 9000).milliseconds, 700) << "the app is shaped";

    m_daemon->end(SIGKILL);
    expectTrafficFlowsUnshaped();
    EXPECT_EQ(clientState().find("table inet quorvex"), std::string::npos) << clientState();

    // A new daemon clears what the dead one left before any tunnel starts.
    startDaemon();
    ASSERT_TRUE(m_control->activationState()) << "the daemon did not come up again";
    auto state = clientState();
    EXPECT_EQ(state.find("0x5177"), std::string::npos) << state;
    EXPECT_EQ(state.find("QUORVEX_GATE"), std::string::npos) << state;

    // The clean-up command of service managers, after another kill.
    startTunnel(plan);
    m_daemon->end(SIGKILL);
    const auto cleaned = runDaemon({"--clean-up"});
    EXPECT_EQ(cleaned.status, 0) << cleaned.output;
    state = clientState();
    EXPECT_EQ(state.find("0x5177"), std::string::npos) << state;
    EXPECT_EQ(state.find("QUORVEX_GATE"), std::string::npos) << state;
    EXPECT_FALSE(std::filesystem::exists(m_socket)) << "the stale socket is removed";
    expectTrafficFlowsUnshaped();
}

// Out of descriptors, the daemon cannot tell whose a new flow is, nor relay it: such a flow waits
// or is refused, and is counted; it never runs unshaped as if an ordinary process had opened it.
TEST_P(InterceptionModeTest, UnderADescriptorShortageNoAppFlowBypassesTheDaemon) {
    if (queued() && !gateAvailable())
        GTEST_SKIP() << "the kernel here has no netfilter queue";
    if (SystemCommand::locate("prlimit") == "prlimit")
        GTEST_SKIP() << "prlimit is needed";
    m_daemon.reset();
    m_daemonPrefix = {SystemCommand::locate("prlimit"), "--nofile=64:64", "--"};
    startDaemon();
    ASSERT_TRUE(m_control->activationState()) << "the daemon did not come up with 64 descriptors";
    ThrottlePlan plan = slowAppPlan(100, 60);
    startTunnel(plan);

    const auto result =
        SystemCommand::run(m_spaces->in(m_spaces->client, {m_app, "--many", "60", "198.18.0.2", "9000"}));
    std::istringstream words(result.output);
    std::string word;
    int echoed = 0;
    int failed = 0;
    long long fastest = -1;
    words >> word >> echoed >> failed >> fastest;
    ASSERT_EQ(word, "many") << result.output;
    EXPECT_GT(echoed, 0) << "flows go on as descriptors come back";
    EXPECT_GE(fastest, 350) << "no echo came back faster than the shaped link allows: " << echoed
                            << " echoed, " << failed << " failed";
    const auto overview = m_control->call({{"operation", "overview"}});
    ASSERT_TRUE(overview);
    const auto undecided = overview.value().value("undecidedFlows", nlohmann::json::object());
    EXPECT_GT(undecided.value("held", 0) + undecided.value("refused", 0), 0) << overview.value();
}

// The clean-up command never undoes a live daemon's interception.
TEST_F(InterceptionTest, TheCleanUpCommandLeavesALiveDaemonAlone) {
    ThrottlePlan plan = slowAppPlan();
    startTunnel(plan);
    const auto cleaned = runDaemon({"--clean-up"});
    EXPECT_NE(cleaned.status, 0);
    EXPECT_NE(cleaned.output.find("running"), std::string::npos) << cleaned.output;
    EXPECT_GE(probe(m_app, "198.18.0.2", 9000).milliseconds, 700) << "still shaped";
    EXPECT_TRUE(m_control->activationState());
}

} // namespace
} // namespace quorvex
