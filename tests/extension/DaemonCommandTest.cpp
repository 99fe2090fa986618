// The daemon and quorvexctl as programs: what they say and do at the command line.
#include "ControlDaemon.h"
#include "NamespacePair.h"

#include "extension/SystemCommand.h"
#include "network/control/SocketExtensionControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace quorvex {
namespace {

using test::Background;
using test::ScratchFolder;

class DaemonCommandTest : public testing::Test {
protected:
    std::vector<std::string> daemonCommand(const std::string& state) const {
        return {QUORVEX_EXTENSION_DAEMON,          "--no-intercept", "--socket", socket(), "--state-dir",
                (m_folder.path() / state).string()};
    }
    std::string socket() const { return (m_folder.path() / "control.sock").string(); }

    // Starts the daemon and waits until it answers.
    std::unique_ptr<Background> startDaemon(const std::string& state = "state") {
        auto daemon = std::make_unique<Background>(daemonCommand(state));
        SocketExtensionControl control(socket(), 1);
        for (int attempt = 0; attempt < 200 && !control.activationState(); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(control.activationState()) << "the daemon did not come up";
        return daemon;
    }

    ScratchFolder m_folder;
};

TEST_F(DaemonCommandTest, ASecondDaemonRefusesToStartAndTheFirstStaysReachable) {
    const auto first = startDaemon();
    for (const char* state : {"state", "other-state"}) {
        SCOPED_TRACE(state);
        const auto second = SystemCommand::run(daemonCommand(state));
        EXPECT_EQ(second.status, 1);
        EXPECT_NE(second.output.find("another network extension daemon"), std::string::npos) << second.output;
    }
    EXPECT_TRUE(SocketExtensionControl(socket(), 1).activationState());
}

// Another user's description must reach root's terminal as text, never as escape sequences.
TEST_F(DaemonCommandTest, StatusShowsControlCharactersAsEscapes) {
    const auto daemon = startDaemon();
    SocketExtensionControl control(socket(), 5);
    ASSERT_TRUE(control.call({{"operation", "approve"}}));
    ProxyConfiguration configuration;
    configuration.localizedDescription = "Quorvex\x1b]0;owned\x07\r\x1b[2J\xc2\x9b"
                                         "31m back\\slash é";
    ASSERT_TRUE(control.saveConfiguration(configuration));

    const auto status = SystemCommand::run({QUORVEX_CTL, "--socket", socket(), "status"});
    EXPECT_EQ(status.status, 0) << status.output;
    EXPECT_NE(status.output.find(R"("Quorvex\x1b]0;owned\x07\x0d\x1b[2J\x9b31m back\x5cslash é")"),
              std::string::npos)
        << status.output;
    for (const char byte : {'\x1b', '\x07', '\r'})
        EXPECT_EQ(status.output.find(byte), std::string::npos) << int(byte);
    EXPECT_NE(status.output.find("0 waited, 0 refused"), std::string::npos) << status.output;
}

// A caller who may not use the daemon is told so, and how to be allowed, whether the socket's
// folder keeps it out or the daemon refuses it; "not running" is kept for no daemon at all.
TEST_F(DaemonCommandTest, ACallerWhoMayNotUseTheDaemonIsToldHowToBeAllowed) {
    if (::geteuid() != 0 || SystemCommand::locate("setpriv") == "setpriv")
        GTEST_SKIP() << "needs root and setpriv to run quorvexctl as another user";
    std::filesystem::permissions(m_folder.path(), std::filesystem::perms(0755));
    const auto daemon = startDaemon();
    const auto asNobody = [&](const std::string& path) {
        return SystemCommand::run({SystemCommand::locate("setpriv"), "--reuid=65534", "--regid=65534",
                                   "--clear-groups", QUORVEX_CTL, "--socket", path, "status"});
    };
    const auto refused = asNobody(socket());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("may not use the network extension"), std::string::npos) << refused.output;
    EXPECT_NE(refused.output.find("--allow-user"), std::string::npos) << refused.output;
    EXPECT_NE(refused.output.find("sudo quorvexctl status"), std::string::npos) << refused.output;

    std::filesystem::permissions(m_folder.path(), std::filesystem::perms(0700));
    const auto keptOut = asNobody(socket());
    EXPECT_EQ(keptOut.status, 1);
    EXPECT_NE(keptOut.output.find("may not use the network extension"), std::string::npos) << keptOut.output;
    EXPECT_EQ(keptOut.output.find("not running"), std::string::npos) << keptOut.output;

    const auto absent =
        SystemCommand::run({QUORVEX_CTL, "--socket", (m_folder.path() / "absent.sock").string(), "status"});
    EXPECT_NE(absent.output.find("not running"), std::string::npos) << absent.output;
}

} // namespace
} // namespace quorvex
