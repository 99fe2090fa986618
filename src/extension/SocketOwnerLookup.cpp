#include "extension/SocketOwnerLookup.h"

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
#include <fstream>
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

SocketOwnerLookup::SocketOwnerLookup(std::filesystem::path procRoot, PathFilter wanted)
    : m_procRoot(std::move(procRoot))
    , m_wanted(std::move(wanted)) {}

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
    thread_local const Descriptor socket = [] {
        Descriptor made(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
        if (made.get() >= 0) {
            timeval timeout{1, 0};
            ::setsockopt(made.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        }
        return made;
    }();
    thread_local std::uint32_t sequence = 0;
    if (socket.get() < 0)
        return std::nullopt;

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
                 sizeof kernel) < 0)
        return std::nullopt;

    std::uint32_t buffer[2048]; // words: netlink messages start 4-byte aligned
    for (;;) {
        const ssize_t length = ::recv(socket.get(), buffer, sizeof buffer, 0);
        if (length <= 0)
            return std::nullopt;
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
    const int fd = ::open((m_procRoot / "loadavg").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char text[128];
    const ssize_t size = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (size <= 0)
        return std::nullopt;
    text[size] = '\0';
    const char* last = std::strrchr(text, ' ');
    if (!last)
        return std::nullopt;
    char* end = nullptr;
    const long pid = std::strtol(last + 1, &end, 10);
    return pid > 0 && end != last + 1 ? std::optional<long>(pid) : std::nullopt;
}

void SocketOwnerLookup::learn(long pid, std::uint64_t entryInode) {
    Known& known = m_processes[pid];
    known.seen = true;
    if (known.entryInode == entryInode)
        return;
    // New here, or a new process under a reused pid.
    known.entryInode = entryInode;
    std::error_code error;
    const auto path = std::filesystem::read_symlink(m_procRoot / std::to_string(pid) / "exe", error);
    known.wanted = !error && (!m_wanted || m_wanted(path.string()));
}

void SocketOwnerLookup::scanAll() {
    DIR* processes = ::opendir(m_procRoot.c_str());
    if (!processes)
        return;
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
}

bool SocketOwnerLookup::isThreadGroupLeader(long pid) const {
    // /proc/PID/task/PID exists for threads as well; the status file says which group it leads.
    std::ifstream status(m_procRoot / std::to_string(pid) / "status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Tgid:", 0) == 0)
            return std::strtol(line.c_str() + 5, nullptr, 10) == pid;
    return false;
}

std::optional<ProcessToken> SocketOwnerLookup::ownerOfInode(std::uint64_t inode) {
    const std::string wanted = "socket:[" + std::to_string(inode) + "]";
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

    char target[64];
    for (const long pid : candidates) {
        const std::string fdFolder = (m_procRoot / std::to_string(pid) / "fd").string();
        DIR* descriptors = ::opendir(fdFolder.c_str());
        if (!descriptors) {
            if (errno == ENOENT)
                m_processes.erase(pid); // ended since it was listed
            continue;                   // or not ours to read
        }
        const int folder = ::dirfd(descriptors);
        bool found = false;
        while (const dirent* fd = ::readdir(descriptors)) {
            if (fd->d_name[0] == '.')
                continue;
            const ssize_t size = ::readlinkat(folder, fd->d_name, target, sizeof target - 1);
            if (size > 0 && static_cast<std::size_t>(size) == wanted.size() &&
                std::memcmp(target, wanted.data(), wanted.size()) == 0) {
                found = true;
                break;
            }
        }
        ::closedir(descriptors);
        if (found) {
            m_lastOwner = pid;
            return ProcessToken::of(static_cast<pid_t>(pid), m_procRoot);
        }
    }
    return std::nullopt;
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
