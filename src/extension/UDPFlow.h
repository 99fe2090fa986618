#pragma once

#include <asio/ip/udp.hpp>

#include <cstdint>
#include <functional>
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

} // namespace quorvex
