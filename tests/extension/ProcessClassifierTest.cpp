#include "Loopback.h"

#include "extension/ProcessClassifier.h"
#include "extension/SocketOwnerLookup.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <map>

namespace quorvex {
namespace {

constexpr const char* app = "/root/Library/Developer/CoreSimulator/Devices/0A1B/data/Containers/Bundle/"
                            "Application/C0FFEE/Demo.app/Demo";

TEST(ProcessClassifier, AppKeyComesFromTheBundleFolderAfterTheMarker) {
    const struct {
        const char* path;
        std::optional<std::string> key;
    } cases[] = {
        {app, "Demo.app"},
        {"/x/CoreSimulator/Devices/U/data/Containers/Bundle/Application//C0FFEE//Demo.app//Demo", "Demo.app"},
        {"/x/CoreSimulator/Devices/U/data/Containers/Bundle/Application/C0FFEE/Demo.app", "Demo.app"},
        {"/x/CoreSimulator/Devices/U/data/Containers/Bundle/Application/C0FFEE", std::nullopt},
        {"/x/CoreSimulator/Devices/U/data/Containers/Bundle/Application/C0FFEE/", std::nullopt},
        {"/x/CoreSimulator/Devices/U/data/Containers/Bundle/Application/", std::nullopt},
        {"/x/CoreSimulator/Runtimes/iOS.simruntime/usr/libexec/backboardd", std::nullopt},
        {"/x/containers/bundle/application/C0FFEE/Demo.app/Demo", std::nullopt}, // case matters
    };
    for (const auto& item : cases)
        EXPECT_EQ(ProcessClassifier::appKey(item.path), item.key) << item.path;
}

class ProcessClassifierCache : public testing::Test {
protected:
    ProcessClassifier classifier{[this](const ProcessToken& token) -> std::optional<std::string> {
        ++lookups[token.pid];
        const auto found = paths.find(token);
        return found == paths.end() ? std::nullopt : found->second;
    }};
    std::map<ProcessToken, std::optional<std::string>> paths;
    std::map<pid_t, int> lookups;
};

TEST_F(ProcessClassifierCache, KeepsOnlySimulatorProcessesAndAsksOncePerToken) {
    paths[{10, 1}] = app;
    paths[{11, 1}] = "/usr/bin/curl";
    EXPECT_EQ(classifier.simulatorAppPath(std::nullopt), std::nullopt);
    EXPECT_EQ(classifier.cacheSize(), 0u) << "no token never touches the cache";

    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(classifier.simulatorAppPath(ProcessToken{10, 1}), app);
        EXPECT_EQ(classifier.simulatorAppPath(ProcessToken{11, 1}), std::nullopt);
        EXPECT_EQ(classifier.simulatorAppPath(ProcessToken{12, 1}), std::nullopt) << "gone before the lookup";
    }
    EXPECT_EQ(lookups, (std::map<pid_t, int>{{10, 1}, {11, 1}, {12, 1}}));
}

TEST_F(ProcessClassifierCache, AReusedPidIsANewProcess) {
    paths[{10, 1}] = app;
    paths[{10, 2}] = "/usr/bin/curl";
    EXPECT_EQ(classifier.simulatorAppPath(ProcessToken{10, 1}), app);
    EXPECT_EQ(classifier.simulatorAppPath(ProcessToken{10, 2}), std::nullopt);
    EXPECT_EQ(lookups[10], 2);
}

TEST_F(ProcessClassifierCache, CacheIsEmptiedWhenItHoldsMoreThanTheLimit) {
    for (pid_t pid = 1; pid <= static_cast<pid_t>(ProcessClassifier::cacheLimit) + 1; ++pid)
        classifier.simulatorAppPath(ProcessToken{pid, 0});
    EXPECT_EQ(classifier.cacheSize(), ProcessClassifier::cacheLimit + 1);
    classifier.simulatorAppPath(ProcessToken{1, 0});
    EXPECT_EQ(lookups[1], 1) << "still cached at 4097 entries";
    classifier.simulatorAppPath(ProcessToken{99999, 0});
    EXPECT_EQ(classifier.cacheSize(), 1u) << "the 4098th token emptied the cache first";
    classifier.simulatorAppPath(ProcessToken{1, 0});
    EXPECT_EQ(lookups[1], 2);
}

TEST(ProcessToken, StartTimeIsReadPastAnAwkwardCommandName) {
    const std::string fields = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 4242 20 21";
    EXPECT_EQ(ProcessToken::startTimeFromStat("7 (a) b) c)" + fields), 4242u);
    EXPECT_EQ(ProcessToken::startTimeFromStat("7 (demo)" + fields), 4242u);
    EXPECT_EQ(ProcessToken::startTimeFromStat("7 (demo) S 1 2"), std::nullopt);
    EXPECT_EQ(ProcessToken::startTimeFromStat("garbage"), std::nullopt);
}

TEST(ProcessToken, AGoneProcessHasNoPath) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    const auto token = ProcessToken::of(child);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(token) << "a zombie still has its stat";
    EXPECT_EQ(token->executablePath(), std::nullopt);
    EXPECT_EQ(ProcessToken::of(child), std::nullopt);

    const auto self = ProcessToken::of(::getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->executablePath(), std::filesystem::read_symlink("/proc/self/exe").string());
    EXPECT_EQ((ProcessToken{self->pid, self->startTime + 1}).executablePath(), std::nullopt);
}

TEST(SocketOwnerLookup, FindsTheProcessBehindATcpConnection) {
    auto listener = test::listenTcp();
    const std::uint16_t port = test::portOf(listener.get());
    auto client = test::connectTcp(port);
    auto server = test::acceptTcp(listener.get());
    const std::uint16_t clientPort = test::portOf(client.get());

    const auto loopback = asio::ip::make_address("127.0.0.1");
    SocketOwnerLookup lookup;
    const auto owner = lookup.owner(SocketOwnerLookup::Protocol::TCP, loopback, clientPort, loopback, port);
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->pid, ::getpid());
    // The same tuple seen the other way round is the server's socket, a different inode.
    EXPECT_NE(SocketOwnerLookup::socketInode(SocketOwnerLookup::Protocol::TCP, loopback, clientPort, loopback,
                                             port),
              SocketOwnerLookup::socketInode(SocketOwnerLookup::Protocol::TCP, loopback, port, loopback,
                                             clientPort));
    EXPECT_EQ(SocketOwnerLookup::socketInode(SocketOwnerLookup::Protocol::TCP, loopback, 1, loopback, 2),
              std::nullopt);
}

// An app's UDP socket is found whether it is connected to the destination or not (the usual
// case: bound to the wildcard address, sending with sendto). The kernel's UDP lookup takes the
// remote first; with the TCP order neither socket was found.
TEST(SocketOwnerLookup, FindsUdpSocketsConnectedOrNot) {
    const auto loopback = asio::ip::make_address("127.0.0.1");
    const auto server = test::bindUdp();
    const std::uint16_t serverPort = test::portOf(server.get());

    test::Fd unconnected(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in any{};
    any.sin_family = AF_INET;
    ASSERT_EQ(::bind(unconnected.get(), reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    test::Fd connected(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const auto serverAddress = test::loopback(serverPort);
    ASSERT_EQ(
        ::connect(connected.get(), reinterpret_cast<const sockaddr*>(&serverAddress), sizeof serverAddress),
        0);

    SocketOwnerLookup lookup;
    for (const int fd : {unconnected.get(), connected.get()}) {
        const std::uint16_t port = test::portOf(fd);
        const auto owner =
            lookup.owner(SocketOwnerLookup::Protocol::UDP, loopback, port, loopback, serverPort);
        ASSERT_TRUE(owner) << "socket on port " << port;
        EXPECT_EQ(owner->pid, ::getpid());
    }
    EXPECT_NE(SocketOwnerLookup::socketInode(SocketOwnerLookup::Protocol::UDP, loopback,
                                             test::portOf(unconnected.get()), loopback, serverPort),
              SocketOwnerLookup::socketInode(SocketOwnerLookup::Protocol::UDP, loopback,
                                             test::portOf(connected.get()), loopback, serverPort));
}

// After the first look, only pids handed out since are looked at: a process started after it must
// still be found, and one that ended must not be reported.
TEST(SocketOwnerLookup, FindsAProcessStartedAfterTheFirstLook) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    SocketOwnerLookup lookup("/proc", [&](const std::string& path) { return path == self; });
    EXPECT_EQ(lookup.ownerOfInode(1), std::nullopt); // the first look lists everything

    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(release[1]); // so that the parent's close is the end of the pipe
        const auto socket = test::bindUdp();
        const std::uint16_t port = test::portOf(socket.get());
        (void)!::write(ready[1], &port, sizeof port);
        char byte;
        (void)!::read(release[0], &byte, 1);
        ::_exit(0);
    }
    std::uint16_t port = 0;
    ASSERT_EQ(::read(ready[0], &port, sizeof port), static_cast<ssize_t>(sizeof port));
    const auto loopback = asio::ip::make_address("127.0.0.1");
    const auto owner = lookup.owner(SocketOwnerLookup::Protocol::UDP, loopback, port, loopback, 9);
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->pid, child);

    const auto inode =
        SocketOwnerLookup::socketInode(SocketOwnerLookup::Protocol::UDP, loopback, port, loopback, 9);
    ASSERT_TRUE(inode);
    ::close(release[1]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(lookup.ownerOfInode(*inode), std::nullopt) << "the process has ended";
    for (const int fd : {ready[0], ready[1], release[0]})
        ::close(fd);
}

} // namespace
} // namespace quorvex
