// End to end in network namespaces this test makes: the daemon intercepts in a client namespace
// joined by veth to a server namespace on 198.18.0.0/15. Nothing is installed in the machine's
// own namespace; deleting the namespaces on every exit path removes whatever the test made.
#include "ControlDaemon.h"
#include "NamespacePair.h"

#include "extension/SystemCommand.h"
#include "extension/TransparentInterceptor.h"
#include "network/control/SocketExtensionControl.h"

#include <gtest/gtest.h>

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
        m_processes.push_back(std::make_unique<Background>(
            m_spaces->in(m_spaces->client, {QUORVEX_EXTENSION_DAEMON, "--socket", m_socket, "--state-dir",
                                            (m_folder.path() / "state").string(), "--auto-approve"})));
        m_control = std::make_unique<SocketExtensionControl>(m_socket, 5);
        for (int attempt = 0; attempt < 100 && !m_control->activationState(); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ASSERT_TRUE(m_control->activationState()) << "the daemon did not come up";
        // The servers are up once the ordinary probe gets its echo.
        for (int attempt = 0; attempt < 100 && probe(m_ordinary, "198.18.0.2", 9000).outcome != "ok";
             ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        for (const char* address : {"198.18.0.2", "198.18.0.3"})
            for (int attempt = 0; attempt < 20 && probe(m_ordinary, address, 9000, true).outcome != "ok";
                 ++attempt)
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }

    void TearDown() override {
        m_processes.clear();
        m_spaces.reset();
    }

    Probe probe(const std::string& binary, const std::string& host, int port, bool udp = false) const {
        return test::runProbe(*m_spaces, binary, host, port, udp);
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
    std::unique_ptr<SocketExtensionControl> m_control;
    std::string m_socket;
    std::string m_ordinary;
    std::string m_app;
};

TEST_F(InterceptionTest, ShapesSimulatorAppsOnlyAndStoppingRestoresDirectTraffic) {
    LinkConditions slow;
    slow.upDelayMs = 250;
    slow.downDelayMs = 250;
    ThrottlePlan plan;
    plan.rules.push_back({"Demo.app", "custom", {{"slow", 10, slow}}});
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

// The kernel shows the daemon addresses only: a blocked name meets the flows to the addresses it
// resolves to here (the client namespace's hosts file names the servers).
TEST_F(InterceptionTest, ABlockedNameRefusesFlowsToItsAddresses) {
    ThrottlePlan plan;
    plan.rules.push_back({"Demo.app", "custom", {{"fine", 10, LinkConditions{}}}});
    plan.blockedHosts = std::vector<std::string>{"blocked.test"};
    const auto id = startTunnel(plan);
    EXPECT_EQ(probe(m_app, "198.18.0.3", 9000).outcome, gated() ? "refused" : "reset");
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

// UDP is intercepted like TCP: the app's datagrams go through its rule's link and come back
// from the address it sent to, another process's are passed, a blocked host gets nothing.
TEST_F(InterceptionTest, UdpFlowsAreShapedPassedAndRefusedLikeConnections) {
    LinkConditions slow;
    slow.upDelayMs = 250;
    slow.downDelayMs = 250;
    ThrottlePlan plan;
    plan.rules.push_back({"Demo.app", "custom", {{"slow", 10, slow}}});
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

} // namespace
} // namespace quorvex
