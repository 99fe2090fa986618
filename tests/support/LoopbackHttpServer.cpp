#include "support/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace quorvex::test {
namespace {

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

void writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer() {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on the loopback interface");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    ::shutdown(m_listener, SHUT_RDWR); // wakes the blocked accept
    m_thread.join();
    ::close(m_listener);
}

void LoopbackHttpServer::route(const std::string& path, Response response) {
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(response);
}

std::string LoopbackHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> LoopbackHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackHttpServer::serve() {
    for (;;) {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        answer(client);
        ::close(client);
    }
}

void LoopbackHttpServer::answer(int client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, size_t(n));
    }
    // "GET /path HTTP/1.1"
    const size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);

    Response response{404, "not found", {}};
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(path);
        if (auto it = m_routes.find(path); it != m_routes.end())
            response = it->second;
    }
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + reason(response.status) + "\r\n";
    head += "Content-Length: " + std::to_string(response.body.size()) + "\r\nConnection: close\r\n";
    for (const std::string& header : response.headers)
        head += header + "\r\n";
    writeAll(client, head + "\r\n" + response.body);
}

} // namespace quorvex::test
