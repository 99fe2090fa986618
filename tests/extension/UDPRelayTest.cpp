#include "extension/UDPRelay.h"

#include "extension/ExtensionState.h"
#include "extension/Loopback.h"
#include "extension/RelayQueue.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <deque>
#include <thread>

using namespace quorvex;
using namespace quorvex::test;
using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// The app's side, driven by the test: batches it "sends", and what the relay wrote back.
class FakeUDPFlow final : public UDPFlow {
public:
    struct Record {
        std::deque<std::vector<Datagram>> batches;
        std::function<void(std::vector<Datagram>, std::error_code)> pendingRead;
        std::vector<Datagram> written;
        int reads = 0;
        bool ended = false;
        bool readClosed = false;
        bool writeClosed = false;

        void push(std::vector<Datagram> batch) {
            batches.push_back(std::move(batch));
            serve();
        }
        void end() {
            ended = true;
            serve();
        }
        void serve() {
            if (!pendingRead || (batches.empty() && !ended))
                return;
            auto read = std::move(pendingRead);
            pendingRead = nullptr;
            std::vector<Datagram> batch;
            if (!batches.empty()) {
                batch = std::move(batches.front());
                batches.pop_front();
            }
            read(std::move(batch), {});
        }
    };

    explicit FakeUDPFlow(std::shared_ptr<Record> record)
        : m_record(std::move(record)) {}

    void open(std::function<void(std::error_code)> completion) override { completion({}); }
    void readDatagrams(std::function<void(std::vector<Datagram>, std::error_code)> completion) override {
        ++m_record->reads;
        m_record->pendingRead = std::move(completion);
        m_record->serve();
    }
    void writeDatagrams(std::vector<Datagram> datagrams,
                        std::function<void(std::error_code)> completion) override {
        for (auto& datagram : datagrams)
            m_record->written.push_back(std::move(datagram));
        completion({});
    }
    void closeRead(std::error_code) override {
        m_record->readClosed = true;
        m_record->pendingRead = nullptr; // a closed flow completes no read
    }
    void closeWrite(std::error_code) override { m_record->writeClosed = true; }

private:
    std::shared_ptr<Record> m_record;
};

// A UDP relay on a real queue (its sockets are real) with the shaping state on a fake clock that
// only the queue's thread touches.
class UDPRelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        queue.sync([this] {
            state = std::make_unique<ExtensionState>(clock);
            state->seedRandom(42);
        });
    }
    void TearDown() override {
        queue.sync([this] {
            if (relay)
                relay->close();
            relay.reset();
        });
        // The completions of the closed sockets run before this, and may hold the last link.
        queue.sync([this] { state.reset(); });
        queue.sync([] {});
    }

    void start(const std::vector<NetworkProfile::Phase>& phases) {
        queue.sync([&] {
            state->applyPlan(ThrottlePlan{{{std::nullopt, "custom", phases}}, {}});
            relay = UDPRelay::start(*state, queue.context(), std::make_unique<FakeUDPFlow>(flow),
                                    state->link("*"));
        });
    }

    void send(std::vector<Datagram> batch) {
        queue.sync([&] { flow->push(std::move(batch)); });
    }

    void advance(double seconds) {
        queue.sync([&] { clock.advance(seconds); });
    }

    bool eventually(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (queue.sync([&] {
                    clock.advance(0);
                    return condition();
                }))
                return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    static asio::ip::udp::endpoint endpointOf(const Fd& socket) {
        return {asio::ip::make_address("127.0.0.1"), portOf(socket.get())};
    }

    // Every datagram waiting on `socket` (waiting briefly for the first), with its sender.
    static std::vector<std::pair<Bytes, sockaddr_in>> drain(const Fd& socket,
                                                            std::chrono::milliseconds wait = 200ms) {
        std::vector<std::pair<Bytes, sockaddr_in>> result;
        while (waitReadable(socket.get(), result.empty() ? wait : 20ms)) {
            Bytes buffer(65536);
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t count = ::recvfrom(socket.get(), buffer.data(), buffer.size(), 0,
                                             reinterpret_cast<sockaddr*>(&from), &length);
            if (count < 0)
                break;
            buffer.resize(static_cast<std::size_t>(count));
            result.push_back({std::move(buffer), from});
        }
        return result;
    }

    static void reply(const Fd& socket, const sockaddr_in& to, const Bytes& payload) {
        ::sendto(socket.get(), payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
    }

    RelayQueue queue;
    test::FakeClock clock;
    std::unique_ptr<ExtensionState> state;
    std::shared_ptr<FakeUDPFlow::Record> flow = std::make_shared<FakeUDPFlow::Record>();
    std::shared_ptr<UDPRelay> relay;
};

NetworkProfile::Phase steady(LinkConditions conditions) {
    return {"steady", 0, conditions};
}

} // namespace

TEST_F(UDPRelayTest, EachEndpointGetsItsOwnConnectionAndItsRepliesComeBackMarkedWithIt) {
    start({steady({})});
    Fd serverA = bindUdp();
    Fd serverB = bindUdp();
    send({{bytes("a1"), endpointOf(serverA)},
          {bytes("b1"), endpointOf(serverB)},
          {Bytes{}, endpointOf(serverA)}});
    advance(0);

    const auto atA = drain(serverA);
    const auto atB = drain(serverB);
    ASSERT_EQ(atA.size(), 2u);
    EXPECT_EQ(atA[0].first, bytes("a1"));
    EXPECT_TRUE(atA[1].first.empty()) << "empty datagrams from the app pass";
    ASSERT_EQ(atB.size(), 1u);
    EXPECT_EQ(queue.sync([&] { return relay->connectionCount(); }), 2u);

    reply(serverA, atA[0].second, bytes("from A"));
    reply(serverA, atA[0].second, Bytes{});
    reply(serverB, atB[0].second, bytes("from B"));
    ASSERT_TRUE(eventually([&] { return relay->receivedCount() == 3 && flow->written.size() == 2; }));
    const auto written = queue.sync([&] { return flow->written; });
    for (const Datagram& datagram : written) {
        const bool fromA = datagram.payload == bytes("from A");
        EXPECT_EQ(datagram.endpoint, fromA ? endpointOf(serverA) : endpointOf(serverB));
        EXPECT_FALSE(datagram.payload.empty()) << "empty datagrams are never written to the app";
    }
}

TEST_F(UDPRelayTest, ReadingResumesOnlyWhenTheWholeBatchHasLeftTheLink) {
    LinkConditions slow;
    slow.upKbps = 8; // 1000 bytes per second
    start({steady(slow)});
    Fd server = bindUdp();
    const Bytes kilobyte(1000, 7);
    send({{kilobyte, endpointOf(server)}, {kilobyte, endpointOf(server)}, {kilobyte, endpointOf(server)}});
    EXPECT_EQ(queue.sync([&] { return flow->reads; }), 1);
    advance(2.5);
    EXPECT_EQ(queue.sync([&] { return flow->reads; }), 1);
    advance(0.5);
    EXPECT_EQ(queue.sync([&] { return flow->reads; }), 2);
    EXPECT_EQ(drain(server).size(), 3u);
}

TEST_F(UDPRelayTest, LossDropsAboutThatShareIndependentlyInEachDirection) {
    LinkConditions lossy;
    lossy.packetLoss = 0.5;
    start({steady(lossy)});
    Fd server = bindUdp();
    std::size_t arrived = 0;
    std::optional<sockaddr_in> relayAddress;
    for (int batch = 0; batch < 20; ++batch) {
        std::vector<Datagram> datagrams(100, Datagram{bytes("x"), endpointOf(server)});
        send(std::move(datagrams));
        advance(0);
        for (auto& [payload, from] : drain(server, 20ms)) {
            ++arrived;
            relayAddress = from;
        }
    }
    EXPECT_NEAR(static_cast<double>(arrived), 1000, 100);

    ASSERT_TRUE(relayAddress);
    for (int batch = 0; batch < 50; ++batch) {
        for (int i = 0; i < 40; ++i)
            reply(server, *relayAddress, bytes("y"));
        const std::size_t expected = static_cast<std::size_t>(batch + 1) * 40;
        ASSERT_TRUE(eventually([&] { return relay->receivedCount() >= expected; }));
    }
    const std::size_t written = queue.sync([&] { return flow->written.size(); });
    EXPECT_NEAR(static_cast<double>(written), 1000, 100);
}

TEST_F(UDPRelayTest, StallDropsEveryDatagramAtOnceInBothDirections) {
    LinkConditions stalled;
    stalled.stalled = true;
    start({{"LTE", 10, {}}, {"No signal", 6, stalled}});
    Fd server = bindUdp();
    send({{bytes("before"), endpointOf(server)}});
    advance(0);
    const auto first = drain(server);
    ASSERT_EQ(first.size(), 1u);

    advance(10); // the stall begins
    send({{bytes("during"), endpointOf(server)}});
    EXPECT_EQ(queue.sync([&] { return flow->reads; }), 3) << "nothing waits for the stall to end";
    reply(server, first[0].second, bytes("reply"));
    ASSERT_TRUE(eventually([&] { return relay->receivedCount() == 1; }));
    advance(7);
    EXPECT_TRUE(drain(server, 50ms).empty());
    EXPECT_TRUE(queue.sync([&] { return flow->written.empty(); }));
}

TEST_F(UDPRelayTest, CutLinkAndEndOfFlowCloseTheRelayAndItsConnections) {
    LinkConditions cut;
    cut.packetLoss = 1.0;
    start({{"Wi-Fi", 15, {}}, {"Offline", 3, cut}});
    Fd server = bindUdp();
    send({{bytes("x"), endpointOf(server)}});
    advance(0);
    EXPECT_EQ(queue.sync([&] { return relay->connectionCount(); }), 1u);
    advance(15);
    EXPECT_TRUE(queue.sync([&] { return relay->isClosed() && relay->connectionCount() == 0; }));
    EXPECT_TRUE(queue.sync([&] { return flow->readClosed && flow->writeClosed; }));
    EXPECT_EQ(queue.sync([&] { return state->registry().size(); }), 0u);

    // A flow whose datagrams end closes its relay too.
    flow = std::make_shared<FakeUDPFlow::Record>();
    start({steady({})});
    queue.sync([&] { flow->end(); });
    EXPECT_TRUE(queue.sync([&] { return relay->isClosed() && flow->readClosed; }));
}

// Datagrams from the network were scheduled without any bound: a flood into a slow link queued
// every one of them, and memory grew with the flood.
TEST_F(UDPRelayTest, FloodIntoASlowLinkDropsWhatExceedsTheQueueBound) {
    LinkConditions slow;
    slow.downKbps = 50; // 6250 bytes per second
    start({steady(slow)});
    Fd server = bindUdp();
    send({{bytes("hello"), endpointOf(server)}});
    advance(0);
    const auto first = drain(server);
    ASSERT_EQ(first.size(), 1u);

    const Bytes payload(1000, 1);
    // Bursts small enough for the socket's receive buffer, so the kernel drops none of them.
    for (int batch = 0; batch < 15; ++batch) {
        for (int i = 0; i < 20; ++i)
            reply(server, first[0].second, payload);
        const std::size_t expected = static_cast<std::size_t>(batch + 1) * 20;
        ASSERT_TRUE(eventually([&] { return relay->receivedCount() >= expected; }));
    }
    const std::size_t peak = queue.sync([&] { return relay->peakHeldBytes(); });
    EXPECT_LE(peak, static_cast<std::size_t>(UDPRelay::maximumHeldSeconds * 6250) + 2 * payload.size());
    advance(60);
    const std::size_t written = queue.sync([&] { return flow->written.size(); });
    EXPECT_GE(written, 6u);
    EXPECT_LE(written, 10u);
}
