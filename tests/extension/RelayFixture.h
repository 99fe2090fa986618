#pragma once

#include "extension/ExtensionState.h"
#include "extension/LocalForwarder.h"
#include "extension/Loopback.h"
#include "extension/RelayQueue.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>

namespace quorvex::test {

/// A real relay queue with the extension state on it, and a forwarding front on 127.0.0.1 that
/// relays to a target socket of the test. Every interaction with the state runs on the queue.
class RelayFixture : public ::testing::Test {
protected:
    void SetUp() override {
        state = queue.sync([this] { return std::make_unique<ExtensionState>(queue.clock()); });
    }

    void TearDown() override {
        queue.sync([this] { forwarder.reset(); });
        queue.sync([this] { state.reset(); });
    }

    /// Starts the front for `plan`, relaying to `targetPort`.
    void startForwarder(std::uint16_t targetPort, const ThrottlePlan& plan = {}, bool udp = false) {
        queue.sync([&] {
            state->applyPlan(plan);
            LocalForwarder::Options options;
            options.listen = {asio::ip::make_address("127.0.0.1"), 0};
            options.target = {asio::ip::make_address("127.0.0.1"), targetPort};
            options.tcp = !udp;
            options.udp = udp;
            forwarder = std::make_unique<LocalForwarder>(*state, queue.context(), options);
            forwarder->start();
            frontPort = udp ? forwarder->udpEndpoint().port() : forwarder->tcpEndpoint().port();
        });
    }

    std::size_t liveRelays() {
        return queue.sync([this] { return state->registry().size(); });
    }

    /// Polls `condition` on the queue until it holds or five seconds pass.
    bool eventually(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (queue.sync(condition))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    RelayQueue queue;
    std::unique_ptr<ExtensionState> state;
    std::unique_ptr<LocalForwarder> forwarder;
    std::uint16_t frontPort = 0;
};

} // namespace quorvex::test
