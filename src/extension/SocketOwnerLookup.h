#pragma once

#include "extension/ProcessToken.h"

#include <asio/ip/address.hpp>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quorvex {

/// Finds the process that owns a local socket: the kernel's socket diagnostics (sock_diag
/// netlink) give the socket's inode from its address tuple, and the descriptors under
/// /proc/<pid>/fd tell which process holds that inode. Works in the caller's network namespace.
class SocketOwnerLookup final {
public:
    enum class Protocol { TCP, UDP };

    explicit SocketOwnerLookup(std::filesystem::path procRoot = "/proc");

    /// The inode of the socket bound to `local` and connected to `remote` (0 for an unconnected
    /// UDP socket's remote); none when the kernel knows no such socket.
    static std::optional<std::uint64_t> socketInode(Protocol protocol, const asio::ip::address& localAddress,
                                                    std::uint16_t localPort,
                                                    const asio::ip::address& remoteAddress,
                                                    std::uint16_t remotePort);

    /// The process holding a descriptor of the socket inode; none when no process does.
    std::optional<ProcessToken> ownerOfInode(std::uint64_t inode) const;

    /// Both steps.
    std::optional<ProcessToken> owner(Protocol protocol, const asio::ip::address& localAddress,
                                      std::uint16_t localPort, const asio::ip::address& remoteAddress,
                                      std::uint16_t remotePort) const;

private:
    std::filesystem::path m_procRoot;
};

} // namespace quorvex
