// The daemon's control socket: who may call, what survives a restart, and hostile frames.
#include "ControlDaemon.h"
#include "Loopback.h"

#include "network/control/ControlProtocol.h"
#include "network/plan/NetworkProfile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <fstream>

namespace quorvex {
namespace {

using test::ControlDaemon;
using test::Fd;
using test::ScratchFolder;

constexpr uid_t nobody = 65534;

std::string goodPlan() {
    ThrottlePlan plan;
    plan.rules.push_back({"Demo.app", "3g", NetworkProfile::builtIn("3g")->phases});
    return plan.encode();
}

Fd connectTo(const std::string& path) {
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    timeval timeout{5, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return Fd();
    return fd;
}

// Reads one reply frame; an empty object when the daemon closed or went silent.
nlohmann::json readReply(int fd) {
    unsigned char header[4];
    if (::recv(fd, header, 4, MSG_WAITALL) != 4)
        return nlohmann::json::object();
    std::string body(ControlProtocol::frameLength(header), '\0');
    if (::recv(fd, body.data(), body.size(), MSG_WAITALL) != static_cast<ssize_t>(body.size()))
        return nlohmann::json::object();
    return nlohmann::json::parse(body, nullptr, false);
}

// Sends `request` from a child process running as `uid` and answers the daemon's reply. Only
// async-signal-safe calls run in the child; the frame is built before the fork.
nlohmann::json requestAs(uid_t uid, const std::string& path, const nlohmann::json& request) {
    const std::string frame = ControlProtocol::frame(request.dump());
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return nullptr;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgid(uid) != 0 || ::setuid(uid) != 0)
            ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        timeval timeout{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            ::_exit(3);
        if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
            ::_exit(4);
        char buffer[4096];
        ssize_t count;
        while ((count = ::read(fd, buffer, sizeof buffer)) > 0) {
            if (::write(pipeFds[1], buffer, static_cast<size_t>(count)) != count)
                ::_exit(5);
            break; // a reply fits in one read here
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string reply;
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        reply.append(buffer, static_cast<size_t>(count));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (reply.size() < 4)
        return nullptr;
    return nlohmann::json::parse(reply.substr(4), nullptr, false);
}

TEST(ControlServer, CallersAreCheckedByTheirKernelCredentials) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a caller as another user";
    ScratchFolder folder;
    std::filesystem::permissions(folder.path(), std::filesystem::perms(0755));
    {
        ControlDaemon daemon(folder.path());
        const auto reply = requestAs(nobody, daemon.socketPath(), {{"operation", "activationState"}});
        ASSERT_TRUE(reply.is_object()) << "no reply";
        EXPECT_EQ(reply.value("kind", ""), "denied");
    }
    ControlService::Options options;
    options.allowedUsers = {nobody};
    ControlDaemon daemon(folder.path(), options);
    EXPECT_EQ(requestAs(nobody, daemon.socketPath(), {{"operation", "activationState"}}).value("ok", false),
              true);
    // An allowed user is still not the administrator.
    const auto approve = requestAs(nobody, daemon.socketPath(), {{"operation", "approve"}});
    EXPECT_EQ(approve.value("kind", ""), "denied");
    EXPECT_FALSE(daemon.service().activation().approved);
}

TEST(ControlServer, ActivationAndConfigurationsSurviveARestart) {
    ScratchFolder folder;
    std::string id;
    {
        ControlDaemon daemon(folder.path());
        auto client = daemon.client();
        ASSERT_TRUE(client.call({{"operation", "approve"}}));
        ASSERT_TRUE(client.call({{"operation", "allowProxy"}}));
        ASSERT_TRUE(client.requestActivation());
        ProxyConfiguration configuration;
        configuration.plan = goodPlan();
        id = client.saveConfiguration(configuration).value().id;
        ASSERT_TRUE(client.startTunnel(id));
    }
    ControlDaemon daemon(folder.path());
    auto client = daemon.client();
    EXPECT_TRUE(client.activationState().value().enabled);
    const auto loaded = client.loadConfigurations().value();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].id, id);
    EXPECT_EQ(loaded[0].plan, goodPlan());
    // A tunnel does not outlive its daemon.
    EXPECT_EQ(client.status(id).value(), SessionStatus::Disconnected);

    ASSERT_TRUE(client.call({{"operation", "reset"}}));
    EXPECT_EQ(client.activationState().value(), ActivationState{});
    EXPECT_TRUE(client.loadConfigurations().value().empty());
}

TEST(ControlServer, AnAcknowledgedMessageHasBeenApplied) {
    ScratchFolder folder;
    ControlService::Options options;
    options.autoApprove = true;
    ControlDaemon daemon(folder.path(), options);
    auto client = daemon.client();
    ASSERT_TRUE(client.requestActivation().value().enabled);
    ProxyConfiguration configuration;
    configuration.plan = goodPlan();
    const auto id = client.saveConfiguration(configuration).value().id;
    ASSERT_TRUE(client.startTunnel(id));
    EXPECT_TRUE(daemon.queue().sync([&] { return daemon.state().link("Demo.app") != nullptr; }));

    ThrottlePlan next;
    next.rules.push_back({std::nullopt, "edge", NetworkProfile::builtIn("edge")->phases});
    ASSERT_TRUE(client.sendMessage(id, next.encode()));
    EXPECT_TRUE(daemon.queue().sync([&] { return daemon.state().plan() == next; }));
    EXPECT_FALSE(client.sendMessage(id, "not a plan"));
    EXPECT_TRUE(daemon.queue().sync([&] { return daemon.state().plan() == next; }));
}

TEST(ControlServer, HostileFramesAreAnsweredOrCut) {
    ScratchFolder folder;
    ControlDaemon daemon(folder.path());

    // Not JSON: an error reply, and the connection stays usable.
    auto fd = connectTo(daemon.socketPath());
    ASSERT_GE(fd.get(), 0);
    const std::string garbage = ControlProtocol::frame("{{{");
    ASSERT_EQ(::write(fd.get(), garbage.data(), garbage.size()), static_cast<ssize_t>(garbage.size()));
    EXPECT_EQ(readReply(fd.get()).value("ok", true), false);
    const std::string fine = ControlProtocol::frame(R"({"operation":"activationState"})");
    ASSERT_EQ(::write(fd.get(), fine.data(), fine.size()), static_cast<ssize_t>(fine.size()));
    EXPECT_EQ(readReply(fd.get()).value("ok", false), true);

    // An announced length past the bound: refused and closed without reading the body.
    const unsigned char huge[4] = {0x7f, 0xff, 0xff, 0xff};
    ASSERT_EQ(::write(fd.get(), huge, 4), 4);
    EXPECT_EQ(readReply(fd.get()).value("ok", true), false);
    char byte;
    EXPECT_EQ(::recv(fd.get(), &byte, 1, 0), 0) << "the connection is closed";

    // An unknown operation and a request without one.
    auto client = daemon.client();
    EXPECT_FALSE(client.call({{"operation", "format"}}));
    EXPECT_FALSE(client.call({{"op", "status"}}));
}

TEST(ControlServer, SocketPathIsReclaimedOnlyFromAStaleSocket) {
    ScratchFolder folder;
    const auto path = folder.path() / "control.sock";
    { ControlDaemon daemon(folder.path()); }
    // A socket file left behind (a crash) is replaced; anything else at the path is kept.
    {
        Fd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        ASSERT_EQ(::bind(stale.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    {
        ControlDaemon daemon(folder.path());
        EXPECT_TRUE(daemon.client().activationState());
    }
    std::ofstream(path) << "precious";
    EXPECT_THROW(ControlDaemon daemon(folder.path()), std::system_error);
    std::ifstream kept(path);
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "precious");
}

TEST(ControlServer, NoDaemonIsReportedAsUnreachable) {
    ScratchFolder folder;
    SocketExtensionControl client((folder.path() / "absent.sock").string(), 1);
    const auto state = client.activationState();
    EXPECT_EQ(state.errorKind(), ControlErrorKind::Unreachable);
    EXPECT_NE(state.error().find("not running"), std::string::npos);
}

} // namespace
} // namespace quorvex
