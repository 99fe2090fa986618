#include "Loopback.h"

#include "extension/ProcessClassifier.h"
#include "extension/ResourceShortage.h"
#include "extension/SocketOwnerLookup.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
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

// A TCP connection of this process on loopback, both ends open.
struct LoopbackConnection {
    test::Fd listener = test::listenTcp();
    std::uint16_t port = test::portOf(listener.get());
    test::Fd client = test::connectTcp(port);
    test::Fd server = test::acceptTcp(listener.get());
    std::uint16_t clientPort = test::portOf(client.get());
};

TEST(SocketOwnerLookup, FindsTheProcessBehindATcpConnection) {
    const LoopbackConnection connection;
    const auto port = connection.port;
    const auto clientPort = connection.clientPort;
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

// What a process's descriptors held is kept between lookups: a burst of new sockets must be found,
// and so must a socket given the number of one closed since.
TEST(SocketOwnerLookup, KeptDescriptorsNeverHideANewSocket) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    SocketOwnerLookup lookup("/proc", [&](const std::string& path) { return path == self; });
    const auto loopback = asio::ip::make_address("127.0.0.1");
    const auto found = [&](const test::Fd& socket) {
        const auto owner =
            lookup.owner(SocketOwnerLookup::Protocol::UDP, loopback, test::portOf(socket.get()), loopback, 9);
        return owner && owner->pid == ::getpid();
    };
    std::vector<test::Fd> burst;
    for (int index = 0; index < 50; ++index) {
        burst.push_back(test::bindUdp());
        EXPECT_TRUE(found(burst.back())) << "socket " << index << " of a burst";
    }
    for (const int index : {3, 20, 49}) {
        const int number = burst[static_cast<std::size_t>(index)].get();
        burst[static_cast<std::size_t>(index)].reset();
        burst[static_cast<std::size_t>(index)] = test::bindUdp();
        ASSERT_EQ(burst[static_cast<std::size_t>(index)].get(), number) << "the lowest free number is reused";
        EXPECT_TRUE(found(burst[static_cast<std::size_t>(index)])) << "a new socket under number " << number;
    }
    EXPECT_TRUE(found(burst.front())) << "and one seen before, where it was seen";
}

// A process is often seen between its fork and its exec (a launcher's child): what it runs after
// the exec decides, and its token after the exec is another one, as an audit token would be.
// Told by the kernel's exec events where they are offered (root), found by looking at young
// processes again where they are not.
class ExecTest : public testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(SocketOwnerLookup, ExecTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& events) {
                             return events.param ? "WithExecEvents" : "WithoutExecEvents";
                         });

TEST_P(ExecTest, AProcessSeenBeforeItExecsIsJudgedByWhatItRunsAfter) {
    const std::string sleep = std::filesystem::canonical("/bin/sleep").string();
    SocketOwnerLookup lookup(
        "/proc", [&](const std::string& path) { return path == sleep; }, GetParam());
    const auto loopback = asio::ip::make_address("127.0.0.1");
    int ready[2];
    int exec[2];
    int go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe2(exec, O_CLOEXEC), 0); // its write end closes when the child execs
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(exec[0]);
        ::close(go[1]);
        // Bound without CLOEXEC: the socket lives on in the program the child execs.
        const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in any = test::loopback(0);
        ::bind(socket, reinterpret_cast<sockaddr*>(&any), sizeof any);
        const std::uint16_t port = test::portOf(socket);
        (void)!::write(ready[1], &port, sizeof port);
        char byte;
        (void)!::read(go[0], &byte, 1);
        ::execl(sleep.c_str(), "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(exec[1]);
    ::close(go[0]);
    std::uint16_t port = 0;
    ASSERT_EQ(::read(ready[0], &port, sizeof port), static_cast<ssize_t>(sizeof port));
    const auto before = ProcessToken::of(child);
    EXPECT_EQ(lookup.owner(SocketOwnerLookup::Protocol::UDP, loopback, port, loopback, 9), std::nullopt)
        << "the test program is not wanted";

    (void)!::write(go[1], "g", 1);
    char byte;
    EXPECT_EQ(::read(exec[0], &byte, 1), 0) << "the child has exec'd";
    const auto owner = lookup.owner(SocketOwnerLookup::Protocol::UDP, loopback, port, loopback, 9);
    ASSERT_TRUE(owner) << "found once it runs a wanted program";
    EXPECT_EQ(owner->pid, child);
    ASSERT_TRUE(before);
    EXPECT_EQ(owner->startTime, before->startTime);
    EXPECT_NE(*owner, *before) << "the exec made it another token";
    EXPECT_EQ(before->executablePath(), std::nullopt) << "the old token names a program no longer run";
    EXPECT_EQ(owner->executablePath(), sleep);

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    for (const int fd : {ready[0], ready[1], exec[0], go[1]})
        ::close(fd);
}

// Takes every descriptor the process may open, for as long as it lives.
class DescriptorsExhausted final {
public:
    DescriptorsExhausted() {
        ::getrlimit(RLIMIT_NOFILE, &m_limit);
        rlimit lowered = m_limit;
        lowered.rlim_cur = std::min<rlim_t>(m_limit.rlim_cur, 1024);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            m_taken.emplace_back(fd);
    }
    ~DescriptorsExhausted() {
        m_taken.clear();
        ::setrlimit(RLIMIT_NOFILE, &m_limit);
    }

private:
    rlimit m_limit{};
    std::vector<test::Fd> m_taken;
};

// Out of descriptors, whose a socket is cannot be told: that is never answered as "nobody's", and
// nothing of it is cached, so the same flow is told right once descriptors come back.
TEST(SocketOwnerLookup, OutOfDescriptorsIsNeverTakenForNoOwner) {
    const LoopbackConnection connection;
    const auto port = connection.port;
    const auto clientPort = connection.clientPort;
    const auto loopback = asio::ip::make_address("127.0.0.1");
    const auto self = ProcessToken::of(::getpid());
    ASSERT_TRUE(self);

    SocketOwnerLookup lookup;
    ProcessClassifier classifier;
    {
        DescriptorsExhausted exhausted;
        EXPECT_THROW(lookup.owner(SocketOwnerLookup::Protocol::TCP, loopback, clientPort, loopback, port),
                     ResourceShortage);
        EXPECT_THROW(ProcessToken::of(::getpid()), ResourceShortage);
        EXPECT_THROW(classifier.simulatorAppPath(self), ResourceShortage);
    }
    EXPECT_EQ(classifier.cacheSize(), 0u);
    const auto owner = lookup.owner(SocketOwnerLookup::Protocol::TCP, loopback, clientPort, loopback, port);
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->pid, ::getpid());
}

} // namespace
} // namespace quorvex
