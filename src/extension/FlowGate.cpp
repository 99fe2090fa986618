#include "extension/FlowGate.h"

#include <linux/netfilter.h>
#include <linux/netfilter/nfnetlink.h>
#include <linux/netfilter/nfnetlink_queue.h>
#include <linux/netlink.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace quorvex {

namespace {

// Enough of a packet for an IPv6 header, one extension header and the ports.
constexpr std::uint32_t copiedBytes = 128;

std::uint16_t queueMessage(std::uint8_t kind) {
    return static_cast<std::uint16_t>((NFNL_SUBSYS_QUEUE << 8) | kind);
}

std::uint16_t readPort(const std::uint8_t* data) {
    return static_cast<std::uint16_t>((data[0] << 8) | data[1]);
}

// One netlink request to the queue subsystem: header, the queue's generic header, attributes.
class Request final {
public:
    Request(std::uint8_t kind, std::uint16_t flags, std::uint32_t sequence, std::uint16_t queue) {
        nlmsghdr header{};
        header.nlmsg_type = queueMessage(kind);
        header.nlmsg_flags = static_cast<std::uint16_t>(NLM_F_REQUEST | flags);
        header.nlmsg_seq = sequence;
        append(&header, sizeof header);
        nfgenmsg generic{};
        generic.nfgen_family = AF_UNSPEC;
        generic.version = NFNETLINK_V0;
        generic.res_id = htons(queue);
        append(&generic, sizeof generic);
        m_bytes.resize(NLMSG_ALIGN(m_bytes.size()));
    }

    Request& attribute(std::uint16_t type, const void* data, std::size_t size) {
        nlattr header{};
        header.nla_len = static_cast<std::uint16_t>(NLA_HDRLEN + size);
        header.nla_type = type;
        append(&header, sizeof header);
        append(data, size);
        m_bytes.resize(NLA_ALIGN(m_bytes.size()));
        return *this;
    }

    const std::vector<std::uint8_t>& bytes() {
        const auto length = static_cast<std::uint32_t>(m_bytes.size());
        std::memcpy(m_bytes.data() + offsetof(nlmsghdr, nlmsg_len), &length, sizeof length);
        return m_bytes;
    }

private:
    void append(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), bytes, bytes + size);
    }

    std::vector<std::uint8_t> m_bytes;
};

bool send(int fd, const std::vector<std::uint8_t>& bytes) {
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&kernel),
                    sizeof kernel) == static_cast<ssize_t>(bytes.size());
}

} // namespace

FlowGate::FlowGate(asio::io_context& context, std::uint16_t queue, Decide decide, std::uint32_t giveUpMark)
    : m_queue(queue)
    , m_decide(std::move(decide))
    , m_giveUpMark(giveUpMark)
    , m_socket(context)
    , m_retry(context)
    , m_buffer(16384) {}

FlowGate::~FlowGate() {
    std::error_code ignored;
    m_socket.close(ignored);
}

std::optional<std::string> FlowGate::open() {
    if (m_socket.is_open())
        return std::nullopt;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_NETFILTER);
    if (fd < 0)
        return std::string("no netfilter netlink: ") + std::strerror(errno);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        ::close(fd);
        return std::string("cannot bind netlink: ") + std::strerror(error);
    }
    // A burst of new flows must not overflow the socket: a lost message leaves its packet held.
    const int bufferBytes = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bufferBytes, sizeof bufferBytes);
    const int on = 1;
    ::setsockopt(fd, SOL_NETLINK, NETLINK_NO_ENOBUFS, &on, sizeof on);
    m_socket.assign(fd);

    const nfqnl_msg_config_cmd bind{NFQNL_CFG_CMD_BIND, 0, htons(AF_UNSPEC)};
    nfqnl_msg_config_params params{};
    params.copy_range = htonl(copiedBytes);
    params.copy_mode = NFQNL_COPY_PACKET;
    // A full queue drops new packets (the kernel's default): passing them unheld would let a
    // simulator app's flows by undecided whenever the daemon falls behind.
    const std::uint32_t maximumLength = htonl(queueLength);
    std::string failure;
    if (!configure(Request(NFQNL_MSG_CONFIG, NLM_F_ACK, ++m_sequence, m_queue)
                       .attribute(NFQA_CFG_CMD, &bind, sizeof bind)
                       .bytes(),
                   failure) ||
        !configure(Request(NFQNL_MSG_CONFIG, NLM_F_ACK, ++m_sequence, m_queue)
                       .attribute(NFQA_CFG_PARAMS, &params, sizeof params)
                       .attribute(NFQA_CFG_QUEUE_MAXLEN, &maximumLength, sizeof maximumLength)
                       .bytes(),
                   failure)) {
        std::error_code ignored;
        m_socket.close(ignored);
        return "cannot hold new flows in netfilter queue " + std::to_string(m_queue) + ": " + failure;
    }
    m_decided = 0;
    wait();
    return std::nullopt;
}

void FlowGate::close() {
    if (!m_socket.is_open())
        return;
    m_retry.cancel();
    m_heldPackets.clear(); // the tunnel stops: nothing is shaped any more
    const nfqnl_msg_config_cmd unbind{NFQNL_CFG_CMD_UNBIND, 0, htons(AF_UNSPEC)};
    send(m_socket.native_handle(), Request(NFQNL_MSG_CONFIG, 0, ++m_sequence, m_queue)
                                       .attribute(NFQA_CFG_CMD, &unbind, sizeof unbind)
                                       .bytes());
    std::error_code ignored;
    m_socket.close(ignored);
}

bool FlowGate::configure(const std::vector<std::uint8_t>& request, std::string& failure) {
    const int fd = m_socket.native_handle();
    if (!send(fd, request)) {
        failure = std::strerror(errno);
        return false;
    }
    std::uint32_t sequence = 0;
    std::memcpy(&sequence, request.data() + offsetof(nlmsghdr, nlmsg_seq), sizeof sequence);
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 1000) <= 0) {
            failure = "the kernel did not answer";
            return false;
        }
        const ssize_t length =
            ::recv(fd, m_buffer.data(), m_buffer.size() * sizeof m_buffer[0], MSG_DONTWAIT);
        if (length < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            failure = std::strerror(errno);
            return false;
        }
        auto remaining = static_cast<unsigned int>(length);
        for (auto* header = reinterpret_cast<nlmsghdr*>(m_buffer.data()); NLMSG_OK(header, remaining);
             header = NLMSG_NEXT(header, remaining)) {
            if (header->nlmsg_type != NLMSG_ERROR || header->nlmsg_seq != sequence)
                continue;
            const auto* answer = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
            if (answer->error == 0)
                return true;
            failure = std::strerror(-answer->error);
            return false;
        }
    }
}

void FlowGate::wait() {
    m_socket.async_wait(asio::posix::stream_descriptor::wait_read, [this](std::error_code error) {
        if (error || !m_socket.is_open())
            return;
        drain();
        wait();
    });
}

void FlowGate::drain() {
    const int fd = m_socket.native_handle();
    for (;;) {
        const ssize_t length =
            ::recv(fd, m_buffer.data(), m_buffer.size() * sizeof m_buffer[0], MSG_DONTWAIT);
        if (length < 0) {
            if (errno == EINTR || errno == ENOBUFS)
                continue;
            return; // EAGAIN: all read
        }
        auto remaining = static_cast<unsigned int>(length);
        for (auto* header = reinterpret_cast<nlmsghdr*>(m_buffer.data()); NLMSG_OK(header, remaining);
             header = NLMSG_NEXT(header, remaining))
            if (header->nlmsg_type == queueMessage(NFQNL_MSG_PACKET))
                handleMessage(reinterpret_cast<const std::uint8_t*>(header), header->nlmsg_len);
    }
}

void FlowGate::handleMessage(const std::uint8_t* message, std::size_t size) {
    std::optional<std::uint32_t> packetId;
    const std::uint8_t* payload = nullptr;
    std::size_t payloadSize = 0;
    std::size_t offset = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(nfgenmsg));
    while (offset + NLA_HDRLEN <= size) {
        nlattr attribute{};
        std::memcpy(&attribute, message + offset, sizeof attribute);
        if (attribute.nla_len < NLA_HDRLEN || offset + attribute.nla_len > size)
            break;
        const std::uint8_t* data = message + offset + NLA_HDRLEN;
        const std::size_t length = attribute.nla_len - NLA_HDRLEN;
        switch (attribute.nla_type & NLA_TYPE_MASK) {
        case NFQA_PACKET_HDR:
            if (length >= sizeof(nfqnl_msg_packet_hdr)) {
                nfqnl_msg_packet_hdr header{};
                std::memcpy(&header, data, sizeof header);
                packetId = ntohl(header.packet_id);
            }
            break;
        case NFQA_PAYLOAD:
            payload = data;
            payloadSize = length;
            break;
        default:
            break;
        }
        offset += NLA_ALIGN(attribute.nla_len);
    }
    if (!packetId)
        return;
    const auto packet = payload ? parse(payload, payloadSize) : std::nullopt;
    if (!packet) {
        // Not a flow's first packet as the rules send them (no ports): nothing to decide.
        ++m_decided;
        return sendVerdict(*packetId, 0);
    }
    if (const auto mark = ask(*packet)) {
        ++m_decided;
        return sendVerdict(*packetId, *mark);
    }
    ++m_held;
    m_heldPackets.push_back({*packetId, *packet, std::chrono::steady_clock::now()});
    if (m_heldPackets.size() == 1)
        retryHeld();
}

std::optional<std::uint32_t> FlowGate::ask(const Packet& packet) {
    try {
        return m_decide(packet);
    } catch (...) {
        return std::nullopt;
    }
}

void FlowGate::retryHeld() {
    m_retry.expires_after(std::chrono::milliseconds(retryMilliseconds));
    m_retry.async_wait([this](std::error_code error) {
        if (error || !m_socket.is_open())
            return;
        const auto giveUp = std::chrono::steady_clock::now() -
                            std::chrono::milliseconds(static_cast<int>(holdSeconds * 1000));
        std::erase_if(m_heldPackets, [&](const Held& held) {
            auto mark = ask(held.packet);
            if (!mark && held.since < giveUp) {
                ++m_givenUp;
                mark = m_giveUpMark;
            }
            if (!mark)
                return false;
            ++m_decided;
            sendVerdict(held.packetId, *mark);
            return true;
        });
        if (!m_heldPackets.empty())
            retryHeld();
    });
}

void FlowGate::sendVerdict(std::uint32_t packetId, std::uint32_t mark) {
    const nfqnl_msg_verdict_hdr verdict{htonl(NF_ACCEPT), htonl(packetId)};
    Request request(NFQNL_MSG_VERDICT, 0, ++m_sequence, m_queue);
    request.attribute(NFQA_VERDICT_HDR, &verdict, sizeof verdict);
    if (mark != 0) {
        const std::uint32_t value = htonl(mark);
        request.attribute(NFQA_MARK, &value, sizeof value);
    }
    send(m_socket.native_handle(), request.bytes());
}

std::optional<FlowGate::Packet> FlowGate::parse(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return std::nullopt;
    Packet packet;
    std::size_t transport = 0;
    std::uint8_t protocol = 0;
    const int version = data[0] >> 4;
    if (version == 4) {
        if (size < 20)
            return std::nullopt;
        transport = static_cast<std::size_t>(data[0] & 0x0f) * 4;
        if (transport < 20)
            return std::nullopt;
        if (((data[6] & 0x1f) << 8 | data[7]) != 0)
            return std::nullopt; // a later fragment carries no ports
        protocol = data[9];
        std::array<unsigned char, 4> address{};
        std::memcpy(address.data(), data + 12, 4);
        packet.source = asio::ip::address_v4(address);
        std::memcpy(address.data(), data + 16, 4);
        packet.destination = asio::ip::address_v4(address);
    } else if (version == 6) {
        if (size < 40)
            return std::nullopt;
        std::array<unsigned char, 16> address{};
        std::memcpy(address.data(), data + 8, 16);
        packet.source = asio::ip::address_v6(address);
        std::memcpy(address.data(), data + 24, 16);
        packet.destination = asio::ip::address_v6(address);
        protocol = data[6];
        transport = 40;
        // Hop-by-hop, routing and destination options headers may stand before the ports.
        while (protocol == 0 || protocol == 43 || protocol == 60) {
            if (size < transport + 2)
                return std::nullopt;
            protocol = data[transport];
            transport += (static_cast<std::size_t>(data[transport + 1]) + 1) * 8;
        }
    } else {
        return std::nullopt;
    }
    if (protocol == IPPROTO_TCP)
        packet.protocol = Protocol::TCP;
    else if (protocol == IPPROTO_UDP)
        packet.protocol = Protocol::UDP;
    else
        return std::nullopt;
    if (size < transport + 4)
        return std::nullopt;
    packet.sourcePort = readPort(data + transport);
    packet.destinationPort = readPort(data + transport + 2);
    return packet;
}

} // namespace quorvex
