#pragma once

#include "devices/core/Apns.h"

#include <QByteArray>
#include <QFuture>
#include <QString>

#include <atomic>
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
///
/// The worker waits on the transfer in curl's multi loop, which the destructor wakes: a request
/// in flight is abandoned at once (its future ends with an error, as do those still queued), so
/// the program never waits out a 60 s request when it quits.
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

    /// The error of a request abandoned because the client is being destroyed.
    static inline const QString kStopped = QStringLiteral("The push was abandoned: the program is quitting.");

private:
    using Task = std::function<void(bool stopped)>;
    void run();
    Response perform(const Apns::Request& request);

    Options m_options;
    void* m_multi = nullptr; // curl's multi handle: the worker's, woken by the destructor
    void* m_easy = nullptr;  // the one transfer handle, whose connection is reused
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Task> m_queue;
    std::atomic<bool> m_stopping{false};
    std::thread m_worker;
};

} // namespace quorvex
