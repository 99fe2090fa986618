#include "extension/TCPRelay.h"

#include "extension/RelayFixture.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using namespace quorvex;
using namespace quorvex::test;
using namespace std::chrono_literals;

namespace {

class TCPRelayTest : public RelayFixture {
protected:
    void SetUp() override {
        RelayFixture::SetUp();
        target = listenTcp();
    }

    std::shared_ptr<TCPRelay> onlyRelay() {
        return queue.sync([this]() -> std::shared_ptr<TCPRelay> {
            auto relays = state->registry().collect([](const Closable&) { return true; });
            return relays.size() == 1 ? std::dynamic_pointer_cast<TCPRelay>(relays.front()) : nullptr;
        });
    }

    Fd target;
};

ThrottlePlan planOf(const std::string& profileID) {
    const auto profile = NetworkProfile::builtIn(profileID);
    return ThrottlePlan{{{std::nullopt, profile->id, profile->phases}}, std::vector<std::string>{}};
}

} // namespace

TEST_F(TCPRelayTest, AppThatClosesItsSendingSideStillReceivesTheWholeResponse) {
    startForwarder(portOf(target.get()));
    const auto request = pattern(300000, 7);
    const auto response = pattern(3 * 1024 * 1024, 9);

    auto server = std::async(std::launch::async, [&] {
        Fd connection = acceptTcp(target.get());
        const Received got = receiveAll(connection.get());
        sendAll(connection.get(), response);
        return got;
    });
    Fd app = connectTcp(frontPort);
    sendAll(app.get(), request);
    ::shutdown(app.get(), SHUT_WR);
    std::this_thread::sleep_for(50ms); // let the relay's queues fill before the app reads
    const Received reply = receiveAll(app.get());
    const Received atServer = server.get();

    EXPECT_EQ(atServer.end, StreamEnd::Clean);
    EXPECT_EQ(atServer.data, request);
    EXPECT_EQ(reply.end, StreamEnd::Clean);
    EXPECT_EQ(reply.data.size(), response.size());
    EXPECT_TRUE(reply.data == response);
    EXPECT_TRUE(eventually([&] { return state->registry().size() == 0; }));
}

TEST_F(TCPRelayTest, ServerThatClosesFirstEndsTheAppsReadingWhileItsSendingGoesOn) {
    startForwarder(portOf(target.get()));
    Fd app = connectTcp(frontPort);
    Fd server = acceptTcp(target.get());
    sendAll(server.get(), pattern(1000, 1));
    ::shutdown(server.get(), SHUT_WR);

    const Received atApp = receiveAll(app.get());
    EXPECT_EQ(atApp.end, StreamEnd::Clean);
    EXPECT_EQ(atApp.data, pattern(1000, 1));
    EXPECT_EQ(liveRelays(), 1u) << "the app's direction is still open";

    sendAll(app.get(), pattern(5000, 2));
    ::shutdown(app.get(), SHUT_WR);
    const Received atServer = receiveAll(server.get());
    EXPECT_EQ(atServer.end, StreamEnd::Clean);
    EXPECT_EQ(atServer.data, pattern(5000, 2));
    EXPECT_TRUE(eventually([&] { return state->registry().size() == 0; }));
}

TEST_F(TCPRelayTest, UnreachableTargetResetsTheApp) {
    const std::uint16_t closedPort = portOf(target.get());
    target.reset();
    startForwarder(closedPort);
    Fd app = connectTcp(frontPort);
    EXPECT_EQ(receiveAll(app.get()).end, StreamEnd::Reset);
    EXPECT_TRUE(eventually([&] { return state->registry().size() == 0; }));
}

// A cut, a removed rule or a stop used to end both sides with a clean close, so a truncated
// download passed for a complete one.
TEST_F(TCPRelayTest, CutLinkResetsBothSidesInsteadOfEndingThemCleanly) {
    struct Case {
        const char* what;
        std::function<void(ExtensionState&)> cut;
    };
    const Case cases[] = {
        {"cut phase", [](ExtensionState& s) { s.applyPlan(planOf("off")); }},
        {"removed rule", [](ExtensionState& s) { s.applyPlan(ThrottlePlan{}); }},
        {"stop", [](ExtensionState& s) { s.link("*")->closeAllRelays(); }},
    };
    for (const Case& c : cases) {
        queue.sync([this] { forwarder.reset(); });
        startForwarder(portOf(target.get()), planOf("wifi"));
        Fd app = connectTcp(frontPort);
        Fd server = acceptTcp(target.get());
        sendAll(server.get(), pattern(20000, 3));
        EXPECT_EQ(receiveAll(app.get(), 20000).data.size(), 20000u) << c.what;

        queue.sync([&] { c.cut(*state); });
        EXPECT_EQ(receiveAll(app.get()).end, StreamEnd::Reset) << c.what;
        EXPECT_EQ(receiveAll(server.get()).end, StreamEnd::Reset) << c.what;
        EXPECT_EQ(liveRelays(), 0u) << c.what;
    }
}

// The relay read again as soon as a piece had left the link, without waiting for its writes: a
// slow reader let it buffer everything a fast server sent.
TEST_F(TCPRelayTest, SlowReaderStopsTheRelayFromReadingMoreThanItsBound) {
    startForwarder(portOf(target.get()));
    Fd app = connectTcp(frontPort);
    const int small = 16384;
    ::setsockopt(app.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    Fd server = acceptTcp(target.get());
    ::setsockopt(server.get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);

    // The server pushes up to 64 MiB while the app reads nothing, until its sending stalls.
    const auto chunk = pattern(65536, 4);
    std::size_t sent = 0;
    auto lastProgress = std::chrono::steady_clock::now();
    while (sent < 64u * 1024 * 1024 && std::chrono::steady_clock::now() - lastProgress < 300ms) {
        const ssize_t written = ::send(server.get(), chunk.data(), chunk.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            lastProgress = std::chrono::steady_clock::now();
        } else {
            std::this_thread::sleep_for(1ms);
        }
    }
    const auto relay = onlyRelay();
    ASSERT_TRUE(relay);
    const std::size_t peak = queue.sync([&] { return relay->peakHeldBytes(); });
    const std::size_t bound = queue.sync([&] { return TCPRelay::holdLimit(relay->link()->downlink); });
    EXPECT_LT(sent, 32u * 1024 * 1024) << "the server was never held back";
    EXPECT_LE(peak, bound + 65536);

    // Everything sent still arrives once the app reads.
    ::shutdown(server.get(), SHUT_WR);
    const Received atApp = receiveAll(app.get());
    EXPECT_EQ(atApp.data.size(), sent);
}

// Each relay was bounded on its own only: eight targets that never read under a 1 Gbps, 1000 ms
// plan held 728 MB between them.
TEST_F(TCPRelayTest, ProcessWideBudgetHoldsEveryRelayBackAndLetsThemGoOnWhenItDrops) {
    constexpr std::size_t budget = 256 * 1024;
    queue.sync([&] { state->setHeldBudget(budget); });
    startForwarder(portOf(target.get()));
    const int small = 16384;
    std::vector<Fd> apps;
    std::vector<Fd> servers;
    for (int index = 0; index < 3; ++index) {
        apps.push_back(connectTcp(frontPort));
        servers.push_back(acceptTcp(target.get()));
        ::setsockopt(servers.back().get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    }
    const auto chunk = pattern(65536, 4);
    std::vector<std::size_t> sent(servers.size(), 0);
    auto lastProgress = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - lastProgress < 300ms) {
        for (std::size_t index = 0; index < servers.size(); ++index) {
            const ssize_t written =
                ::send(servers[index].get(), chunk.data(), chunk.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (written > 0) {
                sent[index] += static_cast<std::size_t>(written);
                lastProgress = std::chrono::steady_clock::now();
            }
        }
        std::this_thread::sleep_for(1ms);
    }
    const std::size_t peak = queue.sync([&] { return state->peakHeldBytes(); });
    // Past the budget a relay holds at most its guaranteed share and one piece more.
    EXPECT_LE(peak, budget + servers.size() * (TCPRelay::guaranteedBytes + 65536));

    for (std::size_t index = 0; index < servers.size(); ++index) {
        ::shutdown(servers[index].get(), SHUT_WR);
        EXPECT_EQ(receiveAll(apps[index].get()).data.size(), sent[index]) << "relay " << index;
    }
    EXPECT_TRUE(eventually([&] { return state->heldBytes() == 0; }));
}

TEST_F(TCPRelayTest, BlockedTargetIsRefusedWithAReset) {
    ThrottlePlan plan = planOf("wifi");
    plan.blockedHosts = std::vector<std::string>{"127.0.0.1"};
    startForwarder(portOf(target.get()), plan);
    Fd app = connectTcp(frontPort);
    EXPECT_EQ(receiveAll(app.get()).end, StreamEnd::Reset);
    EXPECT_FALSE(waitReadable(target.get(), 50ms)) << "nothing reached the target";
}

namespace {

// The front and its relays on a fake clock that only the queue's thread advances, so the opening
// can be held by a stall without waiting for real time.
class TCPRelayOnFakeClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        target = listenTcp();
        queue.sync([this] { state = std::make_unique<ExtensionState>(clock); });
    }
    void TearDown() override {
        queue.sync([this] { forwarder.reset(); });
        queue.sync([this] { state.reset(); });
        queue.sync([] {});
    }

    void start(const std::vector<NetworkProfile::Phase>& phases) {
        queue.sync([&] {
            state->applyPlan(ThrottlePlan{{{std::nullopt, "custom", phases}}, {}});
            LocalForwarder::Options options;
            options.listen = {asio::ip::make_address("127.0.0.1"), 0};
            options.target = {asio::ip::make_address("127.0.0.1"), portOf(target.get())};
            options.udp = false;
            forwarder = std::make_unique<LocalForwarder>(*state, queue.context(), options);
            forwarder->start();
            frontPort = forwarder->tcpEndpoint().port();
        });
    }

    void advance(double seconds) {
        queue.sync([&] { clock.advance(seconds); });
    }

    // Runs what is due now, a few times over, letting real I/O complete in between.
    void pump() {
        for (int i = 0; i < 20; ++i) {
            advance(0);
            std::this_thread::sleep_for(2ms);
        }
    }

    RelayQueue queue;
    test::FakeClock clock;
    std::unique_ptr<ExtensionState> state;
    std::unique_ptr<LocalForwarder> forwarder;
    Fd target;
    std::uint16_t frontPort = 0;
};

} // namespace

TEST_F(TCPRelayOnFakeClockTest, OpeningWaitsUntilTheStallHasEnded) {
    LinkConditions stall;
    stall.stalled = true;
    start({{"No signal", 10, stall}, {"Wi-Fi", 10, {}}});
    Fd app = connectTcp(frontPort);
    sendAll(app.get(), pattern(100, 1));
    Fd server = acceptTcp(target.get()); // the relay connects at once...
    pump();
    EXPECT_FALSE(waitReadable(server.get(), 20ms)) << "...but opens the flow only after the stall";
    advance(10);
    pump();
    const Received atServer = receiveAll(server.get(), 100, 2s);
    EXPECT_EQ(atServer.data, pattern(100, 1));
}

// A relay to a target that dropped its SYNs held the app about 135 s; one to a client that
// vanished without a FIN lived on for good.
TEST_F(TCPRelayOnFakeClockTest, ConnectAndIdleDeadlinesRunOnTheClock) {
    // A listener whose accept queue is full drops further SYNs, as a filtered target would.
    target = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const auto address = loopback(0);
    ASSERT_EQ(::bind(target.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(target.get(), 0), 0);
    std::vector<Fd> fillers;
    for (int index = 0; index < 2; ++index) {
        Fd filler(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        const auto to = loopback(portOf(target.get()));
        ::connect(filler.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
        fillers.push_back(std::move(filler));
    }
    start({{"Wi-Fi", 10, {}}});
    Fd app = connectTcp(frontPort);
    pump();
    advance(TCPRelay::connectSeconds - 1);
    EXPECT_FALSE(waitReadable(app.get(), 20ms)) << "still connecting";
    advance(1);
    EXPECT_EQ(receiveAll(app.get(), SIZE_MAX, 2s).end, StreamEnd::Reset);
}

TEST_F(TCPRelayOnFakeClockTest, AQuietRelayEndsAfterTheIdleDeadline) {
    start({{"Wi-Fi", 10, {}}});
    Fd app = connectTcp(frontPort);
    Fd server = acceptTcp(target.get());
    pump();
    advance(TCPRelay::idleSeconds - 60);
    sendAll(app.get(), pattern(10, 1)); // activity moves the deadline
    pump();
    EXPECT_EQ(receiveAll(server.get(), 10, 2s).data, pattern(10, 1));
    advance(120);
    EXPECT_FALSE(waitReadable(app.get(), 20ms));
    advance(TCPRelay::idleSeconds);
    EXPECT_EQ(receiveAll(app.get(), SIZE_MAX, 2s).end, StreamEnd::Reset);
    EXPECT_EQ(receiveAll(server.get(), SIZE_MAX, 2s).end, StreamEnd::Reset);
}

// Every built-in profile carries a request and its echo. On the fake clock, so the profiles' delays
// cost no real time: the clock moves in 50 ms steps while the bytes travel.
TEST_F(TCPRelayOnFakeClockTest, FrontRelaysThroughEveryBuiltInProfile) {
    std::atomic<bool> serving{true};
    std::thread echo([&] {
        while (serving) {
            if (!waitReadable(target.get(), 20ms))
                continue;
            Fd connection = acceptTcp(target.get());
            const Received request = receiveAll(connection.get());
            sendAll(connection.get(), request.data);
        }
    });
    for (const NetworkProfile& profile : NetworkProfile::builtInAll()) {
        queue.sync([this] { forwarder.reset(); });
        start(profile.phases);
        Fd app = connectTcp(frontPort);
        sendAll(app.get(), pattern(100, 5));
        ::shutdown(app.get(), SHUT_WR);
        Received reply;
        for (int step = 0; step < 1200 && reply.end == StreamEnd::Timeout; ++step) { // 60 s of profile time
            advance(0.05);
            Received piece = receiveAll(app.get(), SIZE_MAX, 1ms);
            reply.data.insert(reply.data.end(), piece.data.begin(), piece.data.end());
            reply.end = piece.end;
        }
        if (profile.id == "off") {
            EXPECT_TRUE(reply.data.empty()) << "a cut link takes no flows";
            EXPECT_NE(reply.end, StreamEnd::Timeout);
        } else {
            EXPECT_EQ(reply.data, pattern(100, 5)) << profile.id;
            EXPECT_EQ(reply.end, StreamEnd::Clean) << profile.id;
        }
    }
    serving = false;
    echo.join();
}
