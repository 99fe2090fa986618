#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvex::test {

/// A tiny HTTP/1.1 server on 127.0.0.1 (a free port) for tests of code that fetches over HTTP.
/// Each connection gets one answer, chosen by the request path from the routes the test set;
/// an unknown path gets 404. It serves on its own thread until destroyed. Loopback only.
class LoopbackHttpServer final {
public:
    struct Response {
        int status = 200;
        std::string body;
        std::vector<std::string> headers; // "Name: value"
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    void route(const std::string& path, Response response);
    /// "http://127.0.0.1:<port><path>"
    std::string url(const std::string& path) const;
    /// The paths requested so far, in order.
    std::vector<std::string> requests() const;

private:
    void serve();
    void answer(int client);

    int m_listener = -1;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::map<std::string, Response> m_routes;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace quorvex::test
