#include "extension/SocketOwnerLookup.h"

#include "extension/ProcFile.h"
#include "extension/ProcessEvents.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace quorvex {

namespace {

class Descriptor final {
public:
    explicit Descriptor(int fd)
        : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(Descriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    void reset(int fd) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

void putAddress(__be32 target[4], const asio::ip::address& address) {
    if (address.is_v4()) {
        const auto bytes = address.to_v4().to_bytes();
        std::memcpy(target, bytes.data(), bytes.size());
    } else {
        const auto bytes = address.to_v6().to_bytes();
        std::memcpy(target, bytes.data(), bytes.size());
    }
}

} // namespace

SocketOwnerLookup::SocketOwnerLookup(std::filesystem::path procRoot, PathFilter wanted, bool watchExecs)
    : m_procRoot(std::move(procRoot))
    , m_wanted(std::move(wanted))
    , m_execs(watchExecs ? std::make_unique<ProcessEvents>() : nullptr) {}

SocketOwnerLookup::~SocketOwnerLookup() = default;

std::optional<std::uint64_t> SocketOwnerLookup::socketInode(Protocol protocol,
                                                            const asio::ip::address& localAddress,
                                                            std::uint16_t localPort,
                                                            const asio::ip::address& remoteAddress,
                                                            std::uint16_t remotePort) {
    // Both addresses must be of one family: an IPv4 peer seen on an IPv6 socket comes mapped.
    asio::ip::address local = localAddress;
    asio::ip::address remote = remoteAddress;
    if (local.is_v6() && local.to_v6().is_v4_mapped() && (remote.is_v4() || remote.to_v6().is_v4_mapped()))
        local = asio::ip::make_address_v4(asio::ip::v4_mapped, local.to_v6());
    if (remote.is_v6() && remote.to_v6().is_v4_mapped() && local.is_v4())
        remote = asio::ip::make_address_v4(asio::ip::v4_mapped, remote.to_v6());
    if (local.is_v4() != remote.is_v4())
        return std::nullopt;

    // One netlink socket per thread, kept: making and closing one for every new flow was a
    // measurable part of what interception adds to a connect. Answers carry their request's
    // sequence number, so a late answer to an earlier request is never taken for this one.
    // One that could not be made (out of descriptors) is tried again on the next flow.
    thread_local Descriptor socket(-1);
    thread_local std::uint32_t sequence = 0;
    if (socket.get() < 0) {
        socket.reset(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
        if (const int error = errno; socket.get() < 0)
            throw ResourceShortage(error, "no socket to ask the kernel about sockets");
        timeval timeout{1, 0};
        ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }

    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    message.header.nlmsg_seq = ++sequence;
    message.request.sdiag_family = local.is_v4() ? AF_INET : AF_INET6;
    message.request.sdiag_protocol = protocol == Protocol::TCP ? IPPROTO_TCP : IPPROTO_UDP;
    message.request.idiag_states = ~0U;
    // The kernel looks a UDP socket up as the receiver of a datagram from src to dst, so for UDP
    // the remote goes first; that lookup also finds unconnected and wildcard-bound sockets.
    const bool udp = protocol == Protocol::UDP;
    message.request.id.idiag_sport = htons(udp ? remotePort : localPort);
    message.request.id.idiag_dport = htons(udp ? localPort : remotePort);
    putAddress(message.request.id.idiag_src, udp ? remote : local);
    putAddress(message.request.id.idiag_dst, udp ? local : remote);
    message.request.id.idiag_if = 0;
    message.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    message.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(socket.get(), &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        const int error = errno;
        throw ResourceShortage(error, "the kernel was not asked about a socket");
    }

    std::uint32_t buffer[2048]; // words: netlink messages start 4-byte aligned
    for (;;) {
        const ssize_t length = ::recv(socket.get(), buffer, sizeof buffer, 0);
        if (length < 0 && errno == EINTR)
            continue;
        if (const int error = length < 0 ? errno : EIO; length <= 0)
            throw ResourceShortage(error, "the kernel did not say whose socket it is");
        auto remaining = static_cast<unsigned int>(length);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, remaining);
             header = NLMSG_NEXT(header, remaining)) {
            if (header->nlmsg_seq != message.header.nlmsg_seq)
                continue; // the answer to a request that timed out
            if (header->nlmsg_type == NLMSG_ERROR || header->nlmsg_type == NLMSG_DONE)
                return std::nullopt;
            if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
                header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                continue;
            const auto* reply = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
            return reply->idiag_inode != 0 ? std::optional<std::uint64_t>(reply->idiag_inode) : std::nullopt;
        }
    }
}

std::optional<long> SocketOwnerLookup::lastPid() const {
    // The fifth field of loadavg is the pid most recently handed out in our pid namespace.
    const auto text = readProcFile(m_procRoot / "loadavg");
    if (!text)
        return std::nullopt;
    const char* last = std::strrchr(text->c_str(), ' ');
    if (!last)
        return std::nullopt;
    char* end = nullptr;
    const long pid = std::strtol(last + 1, &end, 10);
    return pid > 0 && end != last + 1 ? std::optional<long>(pid) : std::nullopt;
}

void SocketOwnerLookup::learn(long pid, std::uint64_t entryInode) {
    Known& known = m_processes[pid];
    known.seen = true;
    const auto identity = ProcessToken::executableIdentity(static_cast<pid_t>(pid), m_procRoot);
    if (known.entryInode == entryInode && known.executable == identity)
        return;
    // New here, a new process under a reused pid, or a process that exec'd another program.
    known.entryInode = entryInode;
    known.descriptors = {};
    known.executable = identity;
    if (const auto token = ProcessToken::of(static_cast<pid_t>(pid), m_procRoot))
        known.startTime = token->startTime;
    std::error_code error;
    const auto path = std::filesystem::read_symlink(m_procRoot / std::to_string(pid) / "exe", error);
    known.wanted = !error && (!m_wanted || m_wanted(path.string()));
}

std::vector<long> SocketOwnerLookup::recheckYoung() {
    // Start times are clock ticks after boot, on the boot clock.
    timespec boot{};
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    static const long ticks = ::sysconf(_SC_CLK_TCK);
    const auto now = static_cast<unsigned long long>(boot.tv_sec) * static_cast<unsigned long long>(ticks) +
                     static_cast<unsigned long long>(boot.tv_nsec) * static_cast<unsigned long long>(ticks) /
                         1000000000ULL;
    const auto window = static_cast<unsigned long long>(execWindowSeconds * static_cast<double>(ticks));
    std::vector<long> nowWanted;
    for (auto& [pid, known] : m_processes) {
        if (known.wanted || known.startTime + window < now)
            continue;
        if (ProcessToken::executableIdentity(static_cast<pid_t>(pid), m_procRoot) == known.executable)
            continue;
        learn(pid, known.entryInode);
        if (known.wanted)
            nowWanted.push_back(pid);
    }
    return nowWanted;
}

void SocketOwnerLookup::scanAll() {
    DIR* processes = ::opendir(m_procRoot.c_str());
    if (!processes) {
        const int error = errno;
        ResourceShortage::check(error, "cannot list processes");
        return;
    }
    for (auto& [pid, known] : m_processes)
        known.seen = false;
    while (const dirent* entry = ::readdir(processes)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid > 0 && *end == '\0')
            learn(pid, entry->d_ino);
    }
    ::closedir(processes);
    std::erase_if(m_processes, [](const auto& item) { return !item.second.seen; });
}

void SocketOwnerLookup::refresh() {
    // Listing /proc instantiates an entry for every process: with a few hundred of them it was
    // most of what a new flow cost. Pids are handed out in increasing order, so when only a few
    // were handed out since the last look, those are looked at alone; a wrap or a larger gap
    // lists everything. A pid read before looking can only make the next look do more.
    const auto last = lastPid();
    if (!last || !m_lastPid || *last < *m_lastPid || *last - *m_lastPid > maximumProbedPids) {
        scanAll();
    } else {
        for (long pid = *m_lastPid + 1; pid <= *last; ++pid) {
            struct stat entry {};
            if (::stat((m_procRoot / std::to_string(pid)).c_str(), &entry) != 0)
                continue; // gone already
            if (!isThreadGroupLeader(pid))
                continue; // a thread: its process is (or will be) known under its own pid
            learn(pid, entry.st_ino);
        }
    }
    m_lastPid = last;
    if (!m_execs || !m_execs->isAvailable())
        return;
    bool lost = false;
    for (const pid_t pid : m_execs->execs(lost))
        if (const auto known = m_processes.find(pid); known != m_processes.end())
            learn(pid, known->second.entryInode);
    if (lost) // any of them may have exec'd
        for (auto& [pid, known] : m_processes)
            learn(pid, known.entryInode);
}

bool SocketOwnerLookup::isThreadGroupLeader(long pid) const {
    // /proc/PID/task/PID exists for threads as well; the status file says which group it leads.
    const auto status = readProcFile(m_procRoot / std::to_string(pid) / "status");
    const auto found = status ? status->find("\nTgid:") : std::string::npos;
    return found != std::string::npos && std::strtol(status->c_str() + found + 6, nullptr, 10) == pid;
}

std::optional<ProcessToken> SocketOwnerLookup::ownerOfInode(std::uint64_t inode) {
    refresh();
    std::vector<long> candidates;
    for (const auto& [pid, known] : m_processes)
        if (known.wanted)
            candidates.push_back(pid);
    // Each candidate costs a walk through its descriptors: the owner of the last flow first (an
    // app opens flows in bursts), then in pid order, the same from one flow to the next.
    std::sort(candidates.begin(), candidates.end(), [this](long left, long right) {
        return std::make_pair(left != m_lastOwner, left) < std::make_pair(right != m_lastOwner, right);
    });
    if (auto owner = searchDescriptors(candidates, inode))
        return owner;
    if (m_execs && m_execs->isAvailable())
        return std::nullopt; // every exec was heard of already
    // None of the processes known to be wanted holds it: one seen before it exec'd a wanted
    // program may, and a young process is the one likely to have.
    return searchDescriptors(recheckYoung(), inode);
}

std::optional<ProcessToken> SocketOwnerLookup::searchDescriptors(const std::vector<long>& candidates,
                                                                 std::uint64_t inode) {
    for (const long pid : candidates) {
        const auto known = m_processes.find(pid);
        if (known == m_processes.end() || !holds(pid, known->second.descriptors, inode))
            continue;
        m_lastOwner = pid;
        // Learned when it was first seen and again whenever its executable changed: /proc need
        // not be read once more for every flow of a burst.
        const auto found = m_processes.find(pid);
        if (found == m_processes.end() || found->second.startTime == 0)
            return ProcessToken::of(static_cast<pid_t>(pid), m_procRoot);
        return ProcessToken{static_cast<pid_t>(pid), found->second.startTime, found->second.executable.first,
                            found->second.executable.second};
    }
    return std::nullopt;
}

namespace {

// The socket inode behind descriptor `fd` of the folder `fdFolder` (0 when it is no socket);
// none when the descriptor is not open.
std::optional<std::uint64_t> socketBehind(const std::string& fdFolder, const char* fd) {
    char target[64];
    const std::string link = fdFolder + "/" + fd;
    const ssize_t size = ::readlink(link.c_str(), target, sizeof target - 1);
    if (size < 0)
        return std::nullopt;
    target[size] = '\0';
    constexpr std::string_view prefix = "socket:[";
    if (std::string_view(target, static_cast<std::size_t>(size)).substr(0, prefix.size()) != prefix)
        return 0;
    return std::strtoull(target + prefix.size(), nullptr, 10);
}

} // namespace

void SocketOwnerLookup::Descriptors::remember(int fd, std::uint64_t socket) {
    const auto old = socketOf.find(fd);
    if (old != socketOf.end() && old->second != 0 && old->second != socket)
        fdOf.erase(old->second);
    socketOf[fd] = socket;
    if (socket != 0)
        fdOf[socket] = fd;
    highest = std::max(highest, fd);
}

bool SocketOwnerLookup::holds(long pid, Descriptors& seen, std::uint64_t inode) {
    // Walking every descriptor of a process that holds thousands of connections, once per new
    // flow, made a burst of them quadratic. What each descriptor held is kept: the socket is looked
    // for where it was seen, then just above the highest descriptor seen (where a burst's new
    // sockets are), then among descriptors never seen, and only then in every descriptor again (a
    // number closed and given to a new socket).
    const std::string fdFolder = (m_procRoot / std::to_string(pid) / "fd").string();
    const auto check = [&](int fd) {
        const auto socket = socketBehind(fdFolder, std::to_string(fd).c_str());
        if (socket)
            seen.remember(fd, *socket);
        return socket && *socket == inode;
    };
    if (const auto where = seen.fdOf.find(inode); where != seen.fdOf.end() && check(where->second))
        return true;
    for (int fd = seen.highest + 1; fd <= seen.highest + probedAhead; ++fd)
        if (check(fd))
            return true;

    DIR* descriptors = ::opendir(fdFolder.c_str());
    if (!descriptors) {
        // Not knowing whether this process holds the socket is not knowing whose it is.
        const int error = errno;
        ResourceShortage::check(error, "cannot look at the descriptors of process " + std::to_string(pid));
        if (error == ENOENT)
            m_processes.erase(pid); // ended since it was listed
        return false;               // or not ours to read
    }
    bool found = false;
    for (const bool everyOne : {false, true}) {
        ::rewinddir(descriptors);
        while (const dirent* entry = ::readdir(descriptors)) {
            if (entry->d_name[0] == '.')
                continue;
            const int fd = std::atoi(entry->d_name);
            if (!everyOne && seen.socketOf.count(fd) != 0)
                continue;
            if (check(fd)) {
                found = true;
                break;
            }
        }
        if (found)
            break;
    }
    ::closedir(descriptors);
    return found;
}

std::optional<ProcessToken> SocketOwnerLookup::owner(Protocol protocol, const asio::ip::address& localAddress,
                                                     std::uint16_t localPort,
                                                     const asio::ip::address& remoteAddress,
                                                     std::uint16_t remotePort) {
    const auto inode = socketInode(protocol, localAddress, localPort, remoteAddress, remotePort);
    if (!inode)
        return std::nullopt;
    return ownerOfInode(*inode);
}

} // namespace quorvex
