#pragma once

#include "devices/core/Apns.h"

#include <QByteArray>
#include <QFuture>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace quorvex {

/// Sends APNs requests over HTTP/2 with libcurl. One worker thread owns one curl handle and runs
/// the requests one after another, so the TLS connection to the service is reused from one push
/// to the next. Only the request's own four headers go out: curl's defaults are suppressed.
class ApnsClient final {
public:
    struct Options {
        /// "host:port:address:port" (CURLOPT_CONNECT_TO): tests aim the production URL at a local
        /// server while the URL and the TLS server name stay as they are.
        std::optional<std::string> connectTo;
        /// A CA bundle to trust instead of the system's (tests: the local server's certificate).
        std::optional<std::string> caFile;
    };

    struct Response {
        long status = 0; // HTTP status; 0 when none was received
        QByteArray body; // the service's answer
        QString error;   // why the exchange failed; empty when an HTTP answer arrived
        bool http2 = false;
    };

    ApnsClient();
    explicit ApnsClient(Options options);
    ~ApnsClient();
    ApnsClient(const ApnsClient&) = delete;
    ApnsClient& operator=(const ApnsClient&) = delete;

    /// Queues the request; the future finishes on the worker thread.
    QFuture<Response> send(Apns::Request request);

    /// The client the push window uses, created on first use.
    static ApnsClient& shared();

private:
    void run();
    Response perform(void* handle, const Apns::Request& request);

    Options m_options;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void(void*)>> m_queue;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace quorvex
