#pragma once

#include "extension/ProcessToken.h"

#include <asio/ip/address.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

namespace quorvex {

/// Finds the process that owns a local socket: the kernel's socket diagnostics (sock_diag
/// netlink) give the socket's inode from its address tuple, and the descriptors under
/// /proc/<pid>/fd tell which process holds that inode. Works in the caller's network namespace.
///
/// Only processes whose executable path `wanted` accepts are searched: the daemon asks about
/// simulator apps, and walking every descriptor of every process for each new flow cost
/// milliseconds. Each process's path is read once and kept with the inode of its /proc entry,
/// which a new process under a reused pid does not share, so a reused pid is read again. /proc is
/// listed whole only when many pids were handed out since the last look (see `refresh`).
/// Not thread-safe: one caller at a time.
class SocketOwnerLookup final {
public:
    enum class Protocol { TCP, UDP };
    using PathFilter = std::function<bool(const std::string& executable)>;

    explicit SocketOwnerLookup(std::filesystem::path procRoot = "/proc", PathFilter wanted = {});

    /// The inode of the socket bound to `local` and connected to `remote` (for UDP, also one that
    /// is unconnected or bound to the wildcard address and would receive from `remote`); none when
    /// the kernel knows no such socket.
    static std::optional<std::uint64_t> socketInode(Protocol protocol, const asio::ip::address& localAddress,
                                                    std::uint16_t localPort,
                                                    const asio::ip::address& remoteAddress,
                                                    std::uint16_t remotePort);

    /// The wanted process holding a descriptor of the socket inode; none when no wanted process
    /// does.
    std::optional<ProcessToken> ownerOfInode(std::uint64_t inode);

    /// Both steps.
    std::optional<ProcessToken> owner(Protocol protocol, const asio::ip::address& localAddress,
                                      std::uint16_t localPort, const asio::ip::address& remoteAddress,
                                      std::uint16_t remotePort);

    /// At most this many pids handed out since the last look are looked at one by one; more
    /// lists /proc whole.
    static constexpr long maximumProbedPids = 64;

private:
    std::optional<long> lastPid() const;
    void refresh();
    void scanAll();
    void learn(long pid, std::uint64_t entryInode);
    bool isThreadGroupLeader(long pid) const;

    struct Known {
        std::uint64_t entryInode = 0;
        bool wanted = false;
        bool seen = false;
    };

    std::filesystem::path m_procRoot;
    PathFilter m_wanted;
    std::unordered_map<long, Known> m_processes;
    std::optional<long> m_lastPid;
    long m_lastOwner = 0;
};

} // namespace quorvex
