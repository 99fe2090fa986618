// Unshaped flows spliced through the front: every byte, each end of stream in its place, and a
// reset passed on as a reset.
#include "RelayFixture.h"

#include <future>

namespace quorvex {
namespace {

using namespace std::chrono_literals;
using namespace test;

class PassThroughTest : public RelayFixture {
protected:
    void SetUp() override {
        RelayFixture::SetUp();
        target = listenTcp();
        queue.sync([&] {
            LocalForwarder::Options options;
            options.listen = {asio::ip::make_address("127.0.0.1"), 0};
            options.target = {asio::ip::make_address("127.0.0.1"), portOf(target.get())};
            options.udp = false;
            options.passUnshaped = true;
            forwarder = std::make_unique<LocalForwarder>(*state, queue.context(), options);
            forwarder->start();
            frontPort = forwarder->tcpEndpoint().port();
        });
    }

    Fd target;
};

TEST_F(PassThroughTest, CarriesBothDirectionsWithHalfCloseAndNeedsNoRelay) {
    Fd app = connectTcp(frontPort);
    Fd server = acceptTcp(target.get());
    const auto request = pattern(2 << 20, 7);
    const auto response = pattern(1 << 20, 9);
    auto sending = std::async(std::launch::async, [&] {
        sendAll(app.get(), request);
        ::shutdown(app.get(), SHUT_WR);
    });
    const Received atServer = receiveAll(server.get());
    sending.get();
    EXPECT_EQ(atServer.end, StreamEnd::Clean);
    EXPECT_TRUE(atServer.data == request);
    EXPECT_EQ(liveRelays(), 0u) << "an unshaped flow takes no relay";

    // The other direction still flows after the app's end of stream.
    sendAll(server.get(), response);
    server.reset();
    const Received atApp = receiveAll(app.get());
    EXPECT_EQ(atApp.end, StreamEnd::Clean);
    EXPECT_TRUE(atApp.data == response);
}

TEST_F(PassThroughTest, AResetOnOneSideResetsTheOther) {
    Fd app = connectTcp(frontPort);
    Fd server = acceptTcp(target.get());
    sendAll(app.get(), pattern(100, 1));
    EXPECT_EQ(receiveAll(server.get(), 100, 2s).data.size(), 100u);
    const linger abort{1, 0};
    ::setsockopt(server.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    server.reset();
    EXPECT_EQ(receiveAll(app.get(), SIZE_MAX, 2s).end, StreamEnd::Reset);
}

} // namespace
} // namespace quorvex
