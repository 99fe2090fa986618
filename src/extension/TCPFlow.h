#pragma once

#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace quorvex {

/// The app's side of an intercepted TCP connection, as the relay uses it. Completions run on the
/// relay queue. Closing a side with an error resets the app's connection; without one it ends
/// cleanly, after the writes already made.
class TCPFlow {
public:
    virtual ~TCPFlow() = default;

    /// Makes the flow ready for reading and writing.
    virtual void open(std::function<void(std::error_code)> completion) = 0;
    /// The next bytes the app sent; no bytes and no error once the app has closed its sending side.
    virtual void
    readData(std::function<void(std::vector<std::uint8_t> data, std::error_code error)> completion) = 0;
    /// Writes bytes to the app; the completion runs once they are handed over, or failed.
    virtual void write(std::vector<std::uint8_t> data, std::function<void(std::error_code)> completion) = 0;
    /// Bytes written and not yet handed over (the relay reads more only below a bound).
    virtual std::size_t queuedWriteBytes() const = 0;
    virtual void closeRead(std::error_code error) = 0;
    virtual void closeWrite(std::error_code error) = 0;
    /// Where the app wanted to go: the relay connects there.
    virtual asio::ip::tcp::endpoint remoteEndpoint() const = 0;
};

} // namespace quorvex
