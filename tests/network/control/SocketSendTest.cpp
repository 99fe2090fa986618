#include "network/control/SocketSend.h"

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace quorvex {
namespace {

void ignoreSignal(int) {}

// Both ends of a stream socket pair, closed when the test ends.
struct SocketPair {
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0); }
    ~SocketPair() {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
    void close(int end) {
        ::close(fds[end]);
        fds[end] = -1;
    }
    int fds[2] = {-1, -1};
};

TEST(SocketSendTest, EveryByteArrivesThoughTheSocketTakesLittleAtATimeAndSignalsInterrupt) {
    // A handler without SA_RESTART, so a signal that lands while send() blocks ends it early.
    struct sigaction action {};
    action.sa_handler = ignoreSignal;
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    SocketPair pair;
    const int small = 4096;
    ::setsockopt(pair.fds[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    std::string bytes(4 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 131 % 251);

    std::atomic<bool> done = false;
    bool sent = false;
    std::thread writer([&] {
        sent = sendAll(pair.fds[0], bytes);
        done = true;
        // The reader sees the end here, whether or not every byte went.
        ::shutdown(pair.fds[0], SHUT_WR);
    });
    const pthread_t writerThread = writer.native_handle();
    std::string received;
    char buffer[1024];
    int signals = 0;
    while (received.size() < bytes.size()) {
        // Read slowly, so the writer blocks again and again, and interrupt it meanwhile.
        if (!done && signals < 200) {
            ::pthread_kill(writerThread, SIGUSR1);
            ++signals;
        }
        const ssize_t count = ::read(pair.fds[1], buffer, sizeof buffer);
        if (count <= 0)
            break;
        received.append(buffer, std::size_t(count));
    }
    writer.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_TRUE(sent);
    EXPECT_EQ(received.size(), bytes.size());
    EXPECT_TRUE(received == bytes) << "bytes lost, repeated or out of order";
}

TEST(SocketSendTest, APeerThatHasGoneIsAFailureNotASignalThatEndsTheProcess) {
    SocketPair pair;
    pair.close(1);
    EXPECT_FALSE(sendAll(pair.fds[0], "hello"));
    EXPECT_FALSE(sendAll(-1, "hello")) << "not a socket";
    EXPECT_TRUE(sendAll(-1, "")) << "nothing to write is done at once";
}

} // namespace
} // namespace quorvex
