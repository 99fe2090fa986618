#pragma once

#include <asio/ip/udp.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>

namespace quorvex {

/// One datagram of a UDP flow: its payload and the remote endpoint it goes to or comes from.
struct Datagram {
    std::vector<std::uint8_t> payload;
    asio::ip::udp::endpoint endpoint;
};

/// The app's side of an intercepted UDP flow, as the relay uses it. A flow may address many
/// remote endpoints. Completions run on the relay queue.
class UDPFlow {
public:
    virtual ~UDPFlow() = default;

    virtual void open(std::function<void(std::error_code)> completion) = 0;
    /// The next batch of datagrams the app sent; an empty batch and no error once the flow ended.
    virtual void readDatagrams(std::function<void(std::vector<Datagram>, std::error_code)> completion) = 0;
    /// Hands datagrams to the app, each marked with the endpoint it came from.
    virtual void writeDatagrams(std::vector<Datagram> datagrams,
                                std::function<void(std::error_code)> completion) = 0;
    virtual void closeRead(std::error_code error) = 0;
    virtual void closeWrite(std::error_code error) = 0;
};

/// Hands a relay (which owns its flow) a flow that its source also keeps, to feed it datagrams.
class SharedUDPFlow final : public UDPFlow {
public:
    explicit SharedUDPFlow(std::shared_ptr<UDPFlow> flow)
        : m_flow(std::move(flow)) {}
    void open(std::function<void(std::error_code)> completion) override {
        m_flow->open(std::move(completion));
    }
    void readDatagrams(std::function<void(std::vector<Datagram>, std::error_code)> completion) override {
        m_flow->readDatagrams(std::move(completion));
    }
    void writeDatagrams(std::vector<Datagram> datagrams,
                        std::function<void(std::error_code)> completion) override {
        m_flow->writeDatagrams(std::move(datagrams), std::move(completion));
    }
    void closeRead(std::error_code error) override { m_flow->closeRead(error); }
    void closeWrite(std::error_code error) override { m_flow->closeWrite(error); }

private:
    std::shared_ptr<UDPFlow> m_flow;
};

} // namespace quorvex
