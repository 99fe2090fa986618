#pragma once

#include "extension/ProcessToken.h"

#include <asio/ip/address.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvex {

class ProcessEvents;

/// Finds the process that owns a local socket: the kernel's socket diagnostics (sock_diag
/// netlink) give the socket's inode from its address tuple, and the descriptors under
/// /proc/<pid>/fd tell which process holds that inode. Works in the caller's network namespace.
///
/// Only processes whose executable path `wanted` accepts are searched: the daemon asks about
/// simulator apps, and walking every descriptor of every process for each new flow cost
/// milliseconds. Each process's path is read once and kept with the inode of its /proc entry,
/// which a new process under a reused pid does not share, and with its executable's identity, so
/// a reused pid is read again, and so is a process that exec'd another program when it is next
/// listed. /proc is listed whole only when many pids were handed out since the last look (see
/// `refresh`). A process that exec'd since it was learned is learned again before the next lookup:
/// the kernel says which (ProcessEvents). Where it cannot, a socket no wanted process holds makes
/// the processes started within `execWindowSeconds` be looked at again (a stat each): one seen
/// between its fork and its exec of a wanted program is found that way.
/// Not thread-safe: one caller at a time. Every lookup throws ResourceShortage when it cannot be
/// made (out of descriptors or memory, no answer from the kernel): "no owner" is never guessed.
class SocketOwnerLookup final {
public:
    enum class Protocol { TCP, UDP };
    using PathFilter = std::function<bool(const std::string& executable)>;

    /// `watchExecs` false does without the kernel's exec events (as where they are not offered).
    explicit SocketOwnerLookup(std::filesystem::path procRoot = "/proc", PathFilter wanted = {},
                               bool watchExecs = true);
    ~SocketOwnerLookup();

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
    /// Processes started this recently are checked for an exec when a socket's owner is not found.
    static constexpr double execWindowSeconds = 60;
    /// Descriptors just above the highest one seen in a process that are tried first.
    static constexpr int probedAhead = 4;

private:
    std::optional<long> lastPid() const;
    void refresh();
    void scanAll();
    void learn(long pid, std::uint64_t entryInode);
    // Young processes not wanted that exec'd since they were learned: learned again; those now
    // wanted are answered.
    std::vector<long> recheckYoung();
    std::optional<ProcessToken> searchDescriptors(const std::vector<long>& candidates, std::uint64_t inode);
    bool isThreadGroupLeader(long pid) const;

    // What a wanted process's descriptors held when last read: descriptor to socket inode (0 for
    // anything but a socket), and back.
    struct Descriptors {
        std::unordered_map<int, std::uint64_t> socketOf;
        std::unordered_map<std::uint64_t, int> fdOf;
        int highest = -1;
        void remember(int fd, std::uint64_t socket);
    };
    bool holds(long pid, Descriptors& seen, std::uint64_t inode);

    struct Known {
        Descriptors descriptors;
        std::uint64_t entryInode = 0;
        std::pair<std::uint64_t, std::uint64_t> executable;
        unsigned long long startTime = 0;
        bool wanted = false;
        bool seen = false;
    };

    std::filesystem::path m_procRoot;
    PathFilter m_wanted;
    std::unique_ptr<ProcessEvents> m_execs; // none, or not available: young processes are checked
    std::unordered_map<long, Known> m_processes;
    std::optional<long> m_lastPid;
    long m_lastOwner = 0;
};

} // namespace quorvex
