// The daemon's control socket: who may call, what survives a restart, and hostile frames.
#include "ControlDaemon.h"
#include "Loopback.h"

#include "network/control/ControlProtocol.h"
#include "network/plan/NetworkProfile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <thread>

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

// A one-byte message with room for one descriptor, as SCM_RIGHTS carries it.
struct DescriptorMessage {
    DescriptorMessage() {
        message.msg_iov = &vector;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
    }
    DescriptorMessage(const DescriptorMessage&) = delete;
    DescriptorMessage& operator=(const DescriptorMessage&) = delete;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    char byte = 'f';
    iovec vector{&byte, 1};
    msghdr message{};
};

// A connection to `path` made by a child process running as `uid` with the supplementary
// `groups`, handed back to this process: the kernel keeps the credentials of the connecting
// process. Only async-signal-safe calls run in the child.
Fd connectAs(uid_t uid, const std::string& path, const std::vector<gid_t>& groups = {}) {
    int channel[2];
    if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, channel) != 0)
        return Fd();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0)
            ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            ::_exit(3);
        DescriptorMessage sent;
        cmsghdr* header = CMSG_FIRSTHDR(&sent.message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &fd, sizeof fd);
        ::_exit(::sendmsg(channel[1], &sent.message, 0) == 1 ? 0 : 4);
    }
    ::close(channel[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    DescriptorMessage received;
    const ssize_t count = ::recvmsg(channel[0], &received.message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    ::close(channel[0]);
    const cmsghdr* header = count == 1 ? CMSG_FIRSTHDR(&received.message) : nullptr;
    if (!header || header->cmsg_type != SCM_RIGHTS)
        return Fd();
    int fd = -1;
    std::memcpy(&fd, CMSG_DATA(header), sizeof fd);
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return Fd(fd);
}

bool send(const Fd& fd, const std::string& bytes) {
    return ::send(fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// Sends `request` on a connection made as `uid` and answers the daemon's reply.
nlohmann::json requestAs(uid_t uid, const std::string& path, const nlohmann::json& request,
                         const std::vector<gid_t>& groups = {}) {
    const Fd fd = connectAs(uid, path, groups);
    if (fd.get() < 0)
        return nullptr;
    // A refused caller's answer is waiting already, and its socket may be closed to writing.
    send(fd, ControlProtocol::frame(request.dump()));
    return readReply(fd.get());
}

bool closedByPeer(const Fd& fd) {
    char byte;
    return ::recv(fd.get(), &byte, 1, 0) == 0;
}

// A header that announces the largest request and no body after it.
const std::string headerOnly = [] {
    constexpr std::uint32_t length = ControlProtocol::maximumRequestBytes;
    return std::string{static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                       static_cast<char>(length >> 8), static_cast<char>(length)};
}();

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

// A group is usually given with `usermod -aG`: held as a supplementary group, not the primary.
TEST(ControlServer, AnAllowedGroupCountsAsPrimaryOrSupplementary) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a caller as another user";
    ScratchFolder folder;
    std::filesystem::permissions(folder.path(), std::filesystem::perms(0755));
    constexpr gid_t developers = 4242;
    constexpr uid_t member = nobody - 2;
    ControlService::Options options;
    options.allowedGroups = {developers};
    ControlDaemon daemon(folder.path(), options);
    const nlohmann::json request = {{"operation", "activationState"}};
    const struct {
        const char* name;
        uid_t uid;
        std::vector<gid_t> groups;
        bool allowed;
    } cases[] = {
        {"supplementary", member, {100, developers}, true},
        {"primary", developers, {}, true},
        {"neither", member, {100}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // connectAs makes the primary group the uid itself.
        const auto reply = requestAs(c.uid, daemon.socketPath(), request, c.groups);
        EXPECT_EQ(reply.value("ok", false), c.allowed) << reply;
    }
}

// The daemon spends nothing on a caller it refuses: the answer comes before the caller writes.
TEST(ControlServer, ARefusedCallerIsAnsweredAndClosedBeforeItSendsAnything) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a caller as another user";
    ScratchFolder folder;
    std::filesystem::permissions(folder.path(), std::filesystem::perms(0755));
    ControlDaemon daemon(folder.path());
    const Fd fd = connectAs(nobody, daemon.socketPath());
    ASSERT_GE(fd.get(), 0);
    const auto reply = readReply(fd.get());
    EXPECT_EQ(reply.value("kind", ""), "denied") << reply;
    EXPECT_TRUE(closedByPeer(fd));
}

TEST(ControlServer, OpenSessionsAreCappedPerUserAndForAllButRoot) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run callers as other users";
    ScratchFolder folder;
    std::filesystem::permissions(folder.path(), std::filesystem::perms(0755));
    constexpr uid_t other = nobody - 1;
    ControlService::Options options;
    options.allowedUsers = {nobody, other};
    ControlServer::Limits limits;
    limits.sessionsPerUser = 2;
    limits.sessions = 3;
    ControlDaemon daemon(folder.path(), options, limits);
    const auto busy = [](const Fd& fd) {
        const auto reply = readReply(fd.get());
        return reply.value("ok", true) == false &&
               reply.value("error", "").find("busy") != std::string::npos && closedByPeer(fd);
    };

    // Held sessions: a header that promises a body, and nothing more.
    std::vector<Fd> held;
    for (const uid_t uid : {nobody, nobody, other}) {
        held.push_back(connectAs(uid, daemon.socketPath()));
        ASSERT_TRUE(send(held.back(), headerOnly));
    }
    EXPECT_TRUE(busy(connectAs(nobody, daemon.socketPath()))) << "past the user's own limit";
    EXPECT_TRUE(busy(connectAs(other, daemon.socketPath()))) << "past the limit of all users";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(daemon.client().call({{"operation", "overview"}})) << "root is always answered";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));

    // A session that ends makes room again (its end reaches the daemon asynchronously).
    held.front().reset();
    bool answered = false;
    for (int attempt = 0; attempt < 100 && !answered; ++attempt) {
        answered =
            requestAs(nobody, daemon.socketPath(), {{"operation", "activationState"}}).value("ok", false);
        if (!answered)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(answered);
}

// Copying or printing a parsed value recurses once per level: a deep request must be refused
// before it is parsed, whichever operation carries it.
TEST(ControlServer, NestingBeyondTheBoundIsRefusedForEveryOperation) {
    ScratchFolder folder;
    ControlService::Options options;
    options.autoApprove = true;
    ControlDaemon daemon(folder.path(), options);
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string deepObject = R"({"a":)" + deep + "}";
    for (const char* operation : {"saveConfiguration", "removeConfiguration", "startTunnel", "stopTunnel",
                                  "status", "sendMessage", "requestActivation", "overview", "approve"}) {
        for (const char* argument : {"configuration", "id", "message"}) {
            SCOPED_TRACE(std::string(operation) + " " + argument);
            auto fd = connectTo(daemon.socketPath());
            ASSERT_GE(fd.get(), 0);
            const std::string body = std::string(R"({"operation":")") + operation + R"(",")" + argument +
                                     R"(":)" + (operation[0] == 's' ? deep : deepObject) + "}";
            ASSERT_TRUE(send(fd, ControlProtocol::frame(body)));
            const auto reply = readReply(fd.get());
            EXPECT_EQ(reply.value("ok", true), false);
            EXPECT_NE(reply.value("error", "").find("nests deeper than"), std::string::npos) << reply;
        }
    }
    // Nesting that a real request has is read as before.
    const std::string shallow = R"({"operation":"status","id":{"a":[[[1]]]}})";
    auto fd = connectTo(daemon.socketPath());
    ASSERT_TRUE(send(fd, ControlProtocol::frame(shallow)));
    EXPECT_EQ(readReply(fd.get()).value("ok", false), true);
    EXPECT_TRUE(daemon.client().activationState()) << "the daemon lives on";
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
    // A configuration too large to come back in a reply with the others is not saved.
    ProxyConfiguration large;
    large.plan = std::string(ControlService::maximumConfigurationBytes, ' ');
    EXPECT_FALSE(client.saveConfiguration(large));
    EXPECT_TRUE(client.loadConfigurations().value().empty());
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

TEST(ControlServer, ASecondDaemonNeverTakesOverALiveOnesSocketOrStateFolder) {
    ScratchFolder folder;
    ControlDaemon first(folder.path());
    // The same state folder: refused by its lock.
    EXPECT_THROW(ControlDaemon second(folder.path()), std::system_error);
    // A state folder of its own, the same socket: refused because a daemon answers there.
    ScratchFolder other;
    ControlService::Options options;
    options.stateFolder = other.path() / "state";
    try {
        ControlDaemon second(folder.path(), options);
        ADD_FAILURE() << "the second daemon took the socket";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::address_in_use) << error.what();
    }
    EXPECT_TRUE(first.client().activationState()) << "the first daemon is still reachable";
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
