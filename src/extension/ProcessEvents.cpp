#include "extension/ProcessEvents.h"

#include <fcntl.h>
#include <linux/cn_proc.h>
#include <linux/connector.h>
#include <linux/netlink.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace quorvex {

namespace {

// A connector socket subscribed to process events, in the calling thread's network namespace;
// -1 when the connector does not answer there.
int subscribe() {
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_CONNECTOR);
    if (fd < 0)
        return -1;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = CN_IDX_PROC;
    // Every exec of the machine comes through here: room for a busy burst between two looks.
    const int room = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room);
    alignas(nlmsghdr) char message[NLMSG_SPACE(sizeof(cn_msg) + sizeof(proc_cn_mcast_op))] = {};
    auto* header = reinterpret_cast<nlmsghdr*>(message);
    header->nlmsg_len = NLMSG_LENGTH(sizeof(cn_msg) + sizeof(proc_cn_mcast_op));
    header->nlmsg_type = NLMSG_DONE;
    auto* body = static_cast<cn_msg*>(NLMSG_DATA(header));
    body->id.idx = CN_IDX_PROC;
    body->id.val = CN_VAL_PROC;
    body->len = sizeof(proc_cn_mcast_op);
    const proc_cn_mcast_op listen = PROC_CN_MCAST_LISTEN;
    std::memcpy(body->data, &listen, sizeof listen);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::send(fd, message, header->nlmsg_len, 0) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool isKernelThreadDaemon(const char* pid) {
    std::ifstream comm(std::string("/proc/") + pid + "/comm");
    std::string name;
    return std::getline(comm, name) && name == "kthreadd";
}

} // namespace

ProcessEvents::ProcessEvents() {
    m_socket = subscribe();
    if (m_socket >= 0 || !isKernelThreadDaemon("2"))
        return;
    // A namespace change holds for the thread that makes it: a thread of its own makes the socket
    // in the initial namespace, where it stays after the thread is gone.
    std::thread([this] {
        const int initial = ::open("/proc/2/ns/net", O_RDONLY | O_CLOEXEC);
        if (initial >= 0 && ::setns(initial, CLONE_NEWNET) == 0)
            m_socket = subscribe();
        if (initial >= 0)
            ::close(initial);
    }).join();
}

ProcessEvents::~ProcessEvents() {
    if (m_socket >= 0)
        ::close(m_socket);
}

std::vector<pid_t> ProcessEvents::execs(bool& lost) {
    std::vector<pid_t> execed;
    if (m_socket < 0)
        return execed;
    alignas(nlmsghdr) char buffer[8192];
    for (;;) {
        const ssize_t length = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            if (errno == ENOBUFS) {
                lost = true;
                continue;
            }
            break; // EAGAIN: all read
        }
        auto remaining = static_cast<unsigned int>(length);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, remaining);
             header = NLMSG_NEXT(header, remaining)) {
            if (header->nlmsg_len < NLMSG_LENGTH(sizeof(cn_msg) + sizeof(proc_event)))
                continue;
            const auto* body = static_cast<const cn_msg*>(NLMSG_DATA(header));
            proc_event event{};
            std::memcpy(&event, body->data, sizeof event);
            if (event.what == proc_event::PROC_EVENT_EXEC)
                execed.push_back(event.event_data.exec.process_tgid);
        }
    }
    return execed;
}

} // namespace quorvex
